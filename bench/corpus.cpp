#include "corpus.h"

#include <cstring>

namespace {

uint64_t NextRandom(CorpusRandom* random)
{
    // splitmix64: small, fast, and the same everywhere.
    uint64_t z = (random->state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// 0 <= result < n.
unsigned Below(CorpusRandom* random, unsigned n)
{
    return static_cast<unsigned>(((NextRandom(random) >> 32) * n) >> 32);
}

bool Chance(CorpusRandom* random, unsigned percent)
{
    return Below(random, 100) < percent;
}

// Room for the longest token past the end of the longest name
// (MakeNameOfLength allows twice the corpus maximum).
constexpr size_t SCRATCH_SIZE = 2 * CORPUS_MAX_LENGTH + 128;

struct Scratch {
    unsigned char bytes[SCRATCH_SIZE];
    size_t used;
};

void PutByte(Scratch* s, unsigned b)
{
    if (s->used < SCRATCH_SIZE)
        s->bytes[s->used++] = static_cast<unsigned char>(b);
}

void PutPair(Scratch* s, unsigned lead, unsigned trail)
{
    if (s->used + 2 <= SCRATCH_SIZE) {
        s->bytes[s->used++] = static_cast<unsigned char>(lead);
        s->bytes[s->used++] = static_cast<unsigned char>(trail);
    }
}

void PutBytes(Scratch* s, const char* bytes)
{
    for (; *bytes; ++bytes)
        PutByte(s, static_cast<unsigned char>(*bytes));
}

// JIS X 0208 row and cell (0x21-0x7E each) to their Shift-JIS pair.
void PutJis(Scratch* s, unsigned row, unsigned cell)
{
    const unsigned lead = ((row + 1) >> 1) + (row <= 0x5E ? 0x70u : 0xB0u);
    unsigned trail;
    if (row & 1)
        trail = cell + (cell >= 0x60 ? 0x20u : 0x1Fu);
    else
        trail = cell + 0x7Eu;
    PutPair(s, lead, trail);
}

void PutKanji(Scratch* s, CorpusRandom* random)
{
    // Rows 0x30-0x4F are the common (level 1) kanji, 88 9F-98 72; rows
    // 0x50-0x73 the rarer level 2 ones, 98 9F-EA 9E.
    if (Chance(random, 85)) {
        const unsigned row = 0x30 + Below(random, 0x20);
        const unsigned cells = row == 0x4F ? 0x33u : 0x5Eu;
        PutJis(s, row, 0x21 + Below(random, cells));
    } else {
        PutJis(s, 0x50 + Below(random, 0x24), 0x21 + Below(random, 0x5E));
    }
}

const char* const KANJI_WORDS[] = {
    "\x89\xEF\x8B\x63",                 // 会議
    "\x8E\x91\x97\xBF",                 // 資料
    "\x95\xF1\x8D\x90\x8F\x91",         // 報告書
    "\x8B\x63\x8E\x96\x98\x5E",         // 議事録
    "\x8E\xCA\x90\x5E",                 // 写真
    "\x90\xBF\x8B\x81\x8F\x91",         // 請求書
    "\x8C\xA9\x90\xCF\x8F\x91",         // 見積書
    "\x8C\x5F\x96\xF1\x8F\x91",         // 契約書
    "\x95\x5C",                         // 表 (trail 5C)
    "\x88\xEA\x97\x97\x95\x5C",         // 一覧表
    "\x8B\x40\x94\x5C",                 // 機能 (trail 5C)
    "\x97\x5C\x8E\x5A",                 // 予算 (trail 5C)
    "\x8D\x5C\x90\xAC",                 // 構成 (trail 5C)
    "\x94\x4E", "\x8C\x8E", "\x93\xFA", // 年 月 日
    "\x91\xE6", "\x89\xF1", "\x94\xC5", // 第 回 版
    "\x8D\x82\x8B\xB4",                 // 高橋 (trail 82)
    "\x8C\x82\x94\x6A",                 // 撃破 (trail 82)
    "\x90\xBB\x8D\xEC",                 // 製作
    "\x8C\xA9\x96\x7B",                 // 見本
    "\x8D\xC5\x8F\x49\x94\xC5",         // 最終版
    "\x89\xFC\x92\xF9",                 // 改訂
};

const char* const KATAKANA_WORDS[] = {
    "\x83\x74\x83\x40\x83\x43\x83\x8B",             // ファイル
    "\x83\x66\x81\x5B\x83\x5E",                     // データ
    "\x83\x5C\x83\x74\x83\x67",                     // ソフト
    "\x83\x54\x81\x5B\x83\x6F\x81\x5B",             // サーバー
    "\x83\x6F\x83\x62\x83\x4E\x83\x41\x83\x62\x83\x76", // バックアップ
    "\x83\x65\x83\x58\x83\x67",                     // テスト
    "\x83\x52\x83\x73\x81\x5B",                     // コピー
    "\x83\x8A\x83\x58\x83\x67",                     // リスト
    "\x83\x5C\x81\x5B\x83\x58",                     // ソース
    "\x83\x74\x83\x48\x83\x8B\x83\x5F",             // フォルダ
    "\x83\x7B\x83\x5E\x83\x93",                     // ボタン
};

const char* const ENGLISH_WORDS[] = {
    "report", "final", "ver", "draft", "copy", "backup", "data", "photo",
    "meeting", "scan", "img", "dsc", "pdf", "readme", "memo", "project",
    "invoice", "budget", "minutes", "summary", "new", "old", "test",
    "sample", "design", "rev", "jpg", "tokyo", "osaka", "quib", "v",
};

template <size_t N>
const char* Pick(CorpusRandom* random, const char* const (&words)[N])
{
    return words[Below(random, static_cast<unsigned>(N))];
}

void PutKanjiWord(Scratch* s, CorpusRandom* random)
{
    if (Chance(random, 40)) {
        PutBytes(s, Pick(random, KANJI_WORDS));
        return;
    }
    const unsigned count = 1 + Below(random, 4);
    for (unsigned i = 0; i < count; ++i)
        PutKanji(s, random);
}

void PutHiragana(Scratch* s, CorpusRandom* random)
{
    // 82 9F-82 F1: ぁ to ん.
    const unsigned count = 1 + Below(random, 5);
    for (unsigned i = 0; i < count; ++i)
        PutPair(s, 0x82, 0x9F + Below(random, 0x53));
}

void PutKatakana(Scratch* s, CorpusRandom* random)
{
    if (Chance(random, 40)) {
        PutBytes(s, Pick(random, KATAKANA_WORDS));
        return;
    }
    // 83 40-83 96: ァ to ヶ; 0x7F is never a trail byte. 81 5B is ー.
    const unsigned count = 2 + Below(random, 5);
    for (unsigned i = 0; i < count; ++i) {
        if (i > 0 && Chance(random, 12)) {
            PutPair(s, 0x81, 0x5B);
            continue;
        }
        unsigned trail = 0x40 + Below(random, 0x56);
        if (trail >= 0x7F)
            ++trail;
        PutPair(s, 0x83, trail);
    }
}

void PutHalfWidthKatakana(Scratch* s, CorpusRandom* random)
{
    // A6-DD are the kana ｦ to ﾝ, DE and DF the voiced marks, B0 is ｰ,
    // A1-A5 the half-width punctuation ｡｢｣､･.
    const unsigned count = 2 + Below(random, 6);
    for (unsigned i = 0; i < count; ++i) {
        const unsigned r = Below(random, 100);
        if (i > 0 && r < 12)
            PutByte(s, 0xDE + Below(random, 2));
        else if (r < 16)
            PutByte(s, 0xA1 + Below(random, 5));
        else
            PutByte(s, 0xA6 + Below(random, 0x38));
    }
}

void PutDigits(Scratch* s, CorpusRandom* random, bool fullWidth)
{
    const unsigned count = Chance(random, 25) ? 8 : 1 + Below(random, 4);
    for (unsigned i = 0; i < count; ++i) {
        const unsigned d = Below(random, 10);
        if (fullWidth)
            PutPair(s, 0x82, 0x4F + d); // ０-９
        else
            PutByte(s, 0x30 + d);
    }
}

void PutEnglishWord(Scratch* s, CorpusRandom* random, bool fullWidth)
{
    const char* word = Pick(random, ENGLISH_WORDS);
    const unsigned style = Below(random, 10); // lower, Capital, UPPER, mIxEd
    for (size_t i = 0; word[i]; ++i) {
        unsigned c = static_cast<unsigned char>(word[i]);
        bool upper = false;
        if (style >= 4 && style < 7)
            upper = i == 0;
        else if (style == 7 || style == 8)
            upper = true;
        else if (style == 9)
            upper = Chance(random, 50);
        if (upper)
            c -= 0x20;
        if (!fullWidth)
            PutByte(s, c);
        else if (upper)
            PutPair(s, 0x82, c + 0x1F); // Ａ-Ｚ
        else
            PutPair(s, 0x82, c + 0x20); // ａ-ｚ
    }
}

void PutSeparator(Scratch* s, CorpusRandom* random, CorpusMix mix)
{
    if (mix == MIX_ALNUM) {
        if (Chance(random, 50))
            PutByte(s, 0x20);
        else
            PutPair(s, 0x81, 0x40);
        return;
    }
    static const char ascii[] = "___---..()[]~#&+,!@='%$;{}^`";
    const unsigned r = Below(random, 100);
    if (r < 35) {
        PutByte(s, 0x20);
    } else if (r < 55) {
        PutPair(s, 0x81, 0x40); // ideographic space
    } else if (r < 85) {
        PutByte(s, static_cast<unsigned char>(ascii[Below(random, sizeof ascii - 1)]));
    } else {
        // Full-width marks that file names carry: 、・～「」『』【】※○.
        // The full-width forms of ASCII punctuation (（ ＿ －) are left out
        // so that the corpus also compares byte for byte with nkf -Z0,
        // which turns those into ASCII as well.
        static const unsigned char trails[] = {
            0x41, 0x45, 0x60, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0xA6, 0x9B,
        };
        PutPair(s, 0x81, trails[Below(random, sizeof trails)]);
    }
}

// Percent of tokens of each kind, as running totals: kanji, hiragana,
// katakana, half-width katakana, digits, full-width digits, English words,
// full-width English words; separators take the rest.
const unsigned TOKEN_MIX[][8] = {
    {20, 28, 40, 45, 54, 59, 70, 76},  // MIX_JAPANESE
    {15, 22, 31, 35, 46, 50, 72, 78},  // MIX_ALNUM
    {15, 25, 50, 70, 78, 78, 88, 88},  // MIX_KANA
};

void PutToken(Scratch* s, CorpusRandom* random, CorpusMix mix)
{
    const unsigned* const upTo = TOKEN_MIX[mix == MIX_ALNUM ? 1 : mix == MIX_KANA ? 2 : 0];
    const unsigned r = Below(random, 100);
    if (r < upTo[0])
        PutKanjiWord(s, random);
    else if (r < upTo[1])
        PutHiragana(s, random);
    else if (r < upTo[2])
        PutKatakana(s, random);
    else if (r < upTo[3])
        PutHalfWidthKatakana(s, random);
    else if (r < upTo[4])
        PutDigits(s, random, false);
    else if (r < upTo[5])
        PutDigits(s, random, true);
    else if (r < upTo[6])
        PutEnglishWord(s, random, false);
    else if (r < upTo[7])
        PutEnglishWord(s, random, true);
    else
        PutSeparator(s, random, mix);
}

bool IsGeneratedLead(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

} // namespace

void SeedCorpusRandom(CorpusRandom* random, uint64_t seed)
{
    random->state = seed;
}

size_t MakeNameOfLength(CorpusRandom* random, char* out, size_t length, CorpusMix mix)
{
    if (length > CORPUS_MAX_LENGTH * 2)
        length = CORPUS_MAX_LENGTH * 2;
    Scratch s;
    s.used = 0;
    size_t done = 0;
    while (done < length) {
        // Tokens are whole characters: keep those that fit in length.
        PutToken(&s, random, mix);
        size_t end = done;
        while (end < s.used) {
            const size_t next = end + (IsGeneratedLead(s.bytes[end]) ? 2 : 1);
            if (next > length)
                break;
            end = next;
        }
        s.used = end;
        if (end == done)
            break; // one byte left and the token begins with a pair
        done = end;
    }
    // At most one byte short: fill with a half-width letter or digit.
    while (done < length) {
        const unsigned r = Below(random, 36);
        s.bytes[done++] = static_cast<unsigned char>(r < 10 ? 0x30 + r : 0x61 + r - 10);
    }
    std::memcpy(out, s.bytes, length);
    out[length] = '\0';
    return length;
}

size_t MakeNextName(CorpusRandom* random, char* out, CorpusMix mix)
{
    size_t length;
    if (Chance(random, mix == MIX_ALNUM ? 76 : 70))
        length = CORPUS_MIN_LENGTH + Below(random, 71);
    else
        length = 80 + Below(random, CORPUS_MAX_LENGTH - 80 + 1);
    return MakeNameOfLength(random, out, length, mix);
}

namespace {

void AddName(Corpus* corpus, const char* name, size_t length)
{
    corpus->offset.push_back(corpus->text.size());
    corpus->length.push_back(length);
    corpus->text.insert(corpus->text.end(), name, name + length + 1);
    corpus->bytes += length;
}

} // namespace

Corpus MakeCorpus(size_t count, uint64_t seed, CorpusMix mix)
{
    Corpus corpus;
    corpus.bytes = 0;
    corpus.text.reserve(count * 80);
    CorpusRandom random;
    SeedCorpusRandom(&random, seed);
    char name[CORPUS_MAX_LENGTH + 1];
    for (size_t i = 0; i < count; ++i) {
        const size_t length = MakeNextName(&random, name, mix);
        AddName(&corpus, name, length);
    }
    return corpus;
}

Corpus MakeFixedLengthCorpus(size_t count, size_t length, uint64_t seed, CorpusMix mix)
{
    Corpus corpus;
    corpus.bytes = 0;
    corpus.text.reserve(count * (length + 1));
    CorpusRandom random;
    SeedCorpusRandom(&random, seed);
    char name[CORPUS_MAX_LENGTH * 2 + 1];
    for (size_t i = 0; i < count; ++i) {
        AddName(&corpus, name, MakeNameOfLength(&random, name, length, mix));
    }
    return corpus;
}

FILE* OpenStream(const char* path, const char* mode, FILE* standard)
{
    if (path == nullptr || std::strcmp(path, "-") == 0)
        return standard;
    FILE* file = std::fopen(path, mode);
    if (file == nullptr)
        std::perror(path);
    return file;
}
