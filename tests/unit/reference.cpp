#include "reference.h"

#include <cstring>

#include "convert/kana.h"

namespace Ref {

namespace {

unsigned char* Bytes(char* s) { return reinterpret_cast<unsigned char*>(s); }

bool IsDoubleByteAt(const unsigned char* s, size_t i)
{
    return IsLeadByte(s[i]) && s[i + 1] != 0;
}

// Opens a gap at i: every byte from i up to and including the terminator
// moves one place right, one at a time from the end.
void ShiftRightFrom(unsigned char* s, size_t i, size_t n)
{
    for (size_t j = n + 1; j > i; --j)
        s[j] = s[j - 1];
}

// Removes the byte at i: every following byte, terminator included, moves
// one place left.
void ShiftLeftOnto(unsigned char* s, size_t i)
{
    for (size_t j = i; s[j] != 0; ++j)
        s[j] = s[j + 1];
}

bool IsHalfSmall(unsigned char c) { return c >= 0x61 && c <= 0x7A; }
bool IsHalfCapital(unsigned char c) { return c >= 0x41 && c <= 0x5A; }
bool IsHalfLetter(unsigned char c) { return IsHalfSmall(c) || IsHalfCapital(c); }
bool IsFullSmallTrail(unsigned char c) { return c >= 0x81 && c <= 0x9A; }
bool IsFullCapitalTrail(unsigned char c) { return c >= 0x60 && c <= 0x79; }

} // namespace

std::string Hex(const std::string& s)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : s) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (!out.empty())
            out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string Hex(const char* s) { return Hex(std::string(s)); }

bool IsSingleByteChar(unsigned char b)
{
    return (b >= 0x20 && b <= 0x7F) || (b >= 0xA1 && b <= 0xDF);
}

bool IsLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsFullWidthLetterTrail(unsigned char b)
{
    return IsFullCapitalTrail(b) || IsFullSmallTrail(b);
}

bool IsIdeographicSpace(unsigned char b1, unsigned char b2)
{
    return b1 == 0x81 && b2 == 0x40;
}

size_t CharLength(const unsigned char* s, size_t i)
{
    return IsDoubleByteAt(s, i) ? 2 : 1;
}

size_t FindLastSeparator(const char* path)
{
    const unsigned char* s = reinterpret_cast<const unsigned char*>(path);
    size_t found = NONE;
    for (size_t i = 0; s[i] != 0; i += CharLength(s, i)) {
        if (!IsDoubleByteAt(s, i) && (s[i] == '\\' || s[i] == '/'))
            found = i;
    }
    return found;
}

void SpacesToUnderbar(char* name)
{
    unsigned char* s = Bytes(name);
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            i += 2;
        } else {
            if (s[i] == 0x20)
                s[i] = 0x5F;
            i += 1;
        }
    }
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            if (IsIdeographicSpace(s[i], s[i + 1])) {
                s[i] = 0x5F;
                ShiftLeftOnto(s, i + 1);
                i += 1;
            } else {
                i += 2;
            }
        } else {
            i += 1;
        }
    }
}

void DigitsToFullWidth(char* name)
{
    unsigned char* s = Bytes(name);
    size_t n = std::strlen(name);
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            i += 2;
        } else if (s[i] >= 0x30 && s[i] <= 0x39) {
            unsigned char d = s[i];
            ShiftRightFrom(s, i, n);
            s[i] = 0x82;
            s[i + 1] = static_cast<unsigned char>(d + 0x1F);
            n += 1;
            i += 2;
        } else {
            i += 1;
        }
    }
}

void DigitsToHalfWidth(char* name)
{
    unsigned char* s = Bytes(name);
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            if (s[i] == 0x82 && s[i + 1] >= 0x4F && s[i + 1] <= 0x58) {
                ShiftLeftOnto(s, i);
                s[i] = static_cast<unsigned char>(s[i] - 0x1F);
                i += 1;
            } else {
                i += 2;
            }
        } else {
            i += 1;
        }
    }
}

void LettersToFullWidth(char* name)
{
    unsigned char* s = Bytes(name);
    size_t n = std::strlen(name);
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            i += 2;
        } else if (IsHalfLetter(s[i])) {
            unsigned char c = s[i];
            ShiftRightFrom(s, i, n);
            s[i] = 0x82;
            s[i + 1] = static_cast<unsigned char>(IsHalfCapital(c) ? c + 0x1F : c + 0x20);
            n += 1;
            i += 2;
        } else {
            i += 1;
        }
    }
}

void LettersToHalfWidth(char* name)
{
    unsigned char* s = Bytes(name);
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            if (s[i] == 0x82 && IsFullCapitalTrail(s[i + 1])) {
                ShiftLeftOnto(s, i);
                s[i] = static_cast<unsigned char>(s[i] - 0x1F);
                i += 1;
            } else if (s[i] == 0x82 && IsFullSmallTrail(s[i + 1])) {
                ShiftLeftOnto(s, i);
                s[i] = static_cast<unsigned char>(s[i] - 0x20);
                i += 1;
            } else {
                i += 2;
            }
        } else {
            i += 1;
        }
    }
}

void LettersToUpper(char* name)
{
    unsigned char* s = Bytes(name);
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            i += 2;
        } else {
            if (IsHalfSmall(s[i]))
                s[i] = static_cast<unsigned char>(s[i] - 0x20);
            i += 1;
        }
    }
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            if (s[i] == 0x82 && IsFullSmallTrail(s[i + 1]))
                s[i + 1] = static_cast<unsigned char>(s[i + 1] - 0x21);
            i += 2;
        } else {
            i += 1;
        }
    }
}

void LettersToLower(char* name)
{
    unsigned char* s = Bytes(name);
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            i += 2;
        } else {
            if (IsHalfCapital(s[i]))
                s[i] = static_cast<unsigned char>(s[i] + 0x20);
            i += 1;
        }
    }
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            if (s[i] == 0x82 && IsFullCapitalTrail(s[i + 1]))
                s[i + 1] = static_cast<unsigned char>(s[i + 1] + 0x21);
            i += 2;
        } else {
            i += 1;
        }
    }
}

void CapitalizeWords(char* name)
{
    unsigned char* s = Bytes(name);
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i)) {
            i += 2;
        } else if (IsHalfLetter(s[i])) {
            if (IsHalfSmall(s[i]))
                s[i] = static_cast<unsigned char>(s[i] - 0x20);
            i += 1;
            while (IsHalfLetter(s[i])) {
                if (IsHalfCapital(s[i]))
                    s[i] = static_cast<unsigned char>(s[i] + 0x20);
                i += 1;
            }
        } else {
            i += 1;
        }
    }
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i) && s[i] == 0x82 && IsFullWidthLetterTrail(s[i + 1])) {
            if (IsFullSmallTrail(s[i + 1]))
                s[i + 1] = static_cast<unsigned char>(s[i + 1] - 0x21);
            i += 2;
            while (IsDoubleByteAt(s, i) && s[i] == 0x82 && IsFullWidthLetterTrail(s[i + 1])) {
                if (IsFullCapitalTrail(s[i + 1]))
                    s[i + 1] = static_cast<unsigned char>(s[i + 1] + 0x21);
                i += 2;
            }
        } else {
            i += CharLength(s, i);
        }
    }
}

void ApplyCaseOptions(char* name, bool upper, bool lower, bool capitalize)
{
    if (upper)
        LettersToUpper(name);
    if (lower)
        LettersToLower(name);
    if (capitalize)
        CapitalizeWords(name);
}

const char* const JOINS[53] = {
    "\x81\x52\x81\x4A\x81\x53", // ヽ゛ ヾ
    "\x81\x54\x81\x4A\x81\x55", // ゝ゛ ゞ
    "\x82\xA9\x81\x4A\x82\xAA", // か゛ が
    "\x82\xAB\x81\x4A\x82\xAC", // き゛ ぎ
    "\x82\xAD\x81\x4A\x82\xAE", // く゛ ぐ
    "\x82\xAF\x81\x4A\x82\xB0", // け゛ げ
    "\x82\xB1\x81\x4A\x82\xB2", // こ゛ ご
    "\x82\xB3\x81\x4A\x82\xB4", // さ゛ ざ
    "\x82\xB5\x81\x4A\x82\xB6", // し゛ じ
    "\x82\xB7\x81\x4A\x82\xB8", // す゛ ず
    "\x82\xB9\x81\x4A\x82\xBA", // せ゛ ぜ
    "\x82\xBB\x81\x4A\x82\xBC", // そ゛ ぞ
    "\x82\xBD\x81\x4A\x82\xBE", // た゛ だ
    "\x82\xBF\x81\x4A\x82\xC0", // ち゛ ぢ
    "\x82\xC2\x81\x4A\x82\xC3", // つ゛ づ
    "\x82\xC4\x81\x4A\x82\xC5", // て゛ で
    "\x82\xC6\x81\x4A\x82\xC7", // と゛ ど
    "\x82\xCD\x81\x4A\x82\xCE", // は゛ ば
    "\x82\xCD\x81\x4B\x82\xCF", // は゜ ぱ
    "\x82\xD0\x81\x4A\x82\xD1", // ひ゛ び
    "\x82\xD0\x81\x4B\x82\xD2", // ひ゜ ぴ
    "\x82\xD3\x81\x4A\x82\xD4", // ふ゛ ぶ
    "\x82\xD3\x81\x4B\x82\xD5", // ふ゜ ぷ
    "\x82\xD6\x81\x4A\x82\xD7", // へ゛ べ
    "\x82\xD6\x81\x4B\x82\xD8", // へ゜ ぺ
    "\x82\xD9\x81\x4A\x82\xDA", // ほ゛ ぼ
    "\x82\xD9\x81\x4B\x82\xDB", // ほ゜ ぽ
    "\x83\x45\x81\x4A\x83\x94", // ウ゛ ヴ
    "\x83\x4A\x81\x4A\x83\x4B", // カ゛ ガ
    "\x83\x4C\x81\x4A\x83\x4D", // キ゛ ギ
    "\x83\x4E\x81\x4A\x83\x4F", // ク゛ グ
    "\x83\x50\x81\x4A\x83\x51", // ケ゛ ゲ
    "\x83\x52\x81\x4A\x83\x53", // コ゛ ゴ
    "\x83\x54\x81\x4A\x83\x55", // サ゛ ザ
    "\x83\x56\x81\x4A\x83\x57", // シ゛ ジ
    "\x83\x58\x81\x4A\x83\x59", // ス゛ ズ
    "\x83\x5A\x81\x4A\x83\x5B", // セ゛ ゼ
    "\x83\x5C\x81\x4A\x83\x5D", // ソ゛ ゾ
    "\x83\x5E\x81\x4A\x83\x5F", // タ゛ ダ
    "\x83\x60\x81\x4A\x83\x61", // チ゛ ヂ
    "\x83\x63\x81\x4A\x83\x64", // ツ゛ ヅ
    "\x83\x65\x81\x4A\x83\x66", // テ゛ デ
    "\x83\x67\x81\x4A\x83\x68", // ト゛ ド
    "\x83\x6E\x81\x4A\x83\x6F", // ハ゛ バ
    "\x83\x6E\x81\x4B\x83\x70", // ハ゜ パ
    "\x83\x71\x81\x4A\x83\x72", // ヒ゛ ビ
    "\x83\x71\x81\x4B\x83\x73", // ヒ゜ ピ
    "\x83\x74\x81\x4A\x83\x75", // フ゛ ブ
    "\x83\x74\x81\x4B\x83\x76", // フ゜ プ
    "\x83\x77\x81\x4A\x83\x78", // ヘ゛ ベ
    "\x83\x77\x81\x4B\x83\x79", // ヘ゜ ペ
    "\x83\x7A\x81\x4A\x83\x7B", // ホ゛ ボ
    "\x83\x7A\x81\x4B\x83\x7C", // ホ゜ ポ
};

void JoinSpacingMarks(char* name)
{
    unsigned char* s = Bytes(name);
    for (size_t i = 0; s[i] != 0; i += CharLength(s, i)) {
        if (!IsDoubleByteAt(s, i) || !IsDoubleByteAt(s, i + 2))
            continue;
        for (const char* join : JOINS) {
            if (std::memcmp(s + i, join, 4) == 0) {
                std::memcpy(s + i, join + 4, 2);
                ShiftLeftOnto(s, i + 2);
                ShiftLeftOnto(s, i + 2);
                break;
            }
        }
    }
}

void KatakanaToFullWidth(char* name)
{
    unsigned char* s = Bytes(name);
    size_t n = std::strlen(name);
    for (size_t i = 0; s[i] != 0;) {
        if (IsDoubleByteAt(s, i) || s[i] < HALF_KANA_FIRST || s[i] > HALF_KANA_LAST) {
            i += CharLength(s, i);
            continue;
        }
        const HalfKana& k = HALF_KANA[s[i] - HALF_KANA_FIRST];
        if (s[i + 1] == 0xDE && k.voiced != 0) {
            s[i] = k.lead;
            s[i + 1] = k.voiced;
        } else if (s[i + 1] == 0xDF && k.semiVoiced != 0) {
            s[i] = k.lead;
            s[i + 1] = k.semiVoiced;
        } else {
            ShiftRightFrom(s, i, n);
            n += 1;
            s[i] = k.lead;
            s[i + 1] = k.trail;
        }
        i += 2;
    }
}

void KatakanaToHalfWidth(char* name)
{
    unsigned char* s = Bytes(name);
    for (size_t i = 0; s[i] != 0;) {
        if (!IsDoubleByteAt(s, i)) {
            i += 1;
            continue;
        }
        bool done = false;
        for (int b = HALF_KANA_FIRST; b <= HALF_KANA_LAST && !done; ++b) {
            const HalfKana& k = HALF_KANA[b - HALF_KANA_FIRST];
            if (s[i] != k.lead)
                continue;
            if (s[i + 1] == k.trail) {
                ShiftLeftOnto(s, i);
                s[i] = static_cast<unsigned char>(b);
                i += 1;
                done = true;
            } else if ((k.voiced != 0 && s[i + 1] == k.voiced) ||
                       (k.semiVoiced != 0 && s[i + 1] == k.semiVoiced)) {
                s[i + 1] = s[i + 1] == k.voiced ? 0xDE : 0xDF;
                s[i] = static_cast<unsigned char>(b);
                i += 2;
                done = true;
            }
        }
        if (!done)
            i += 2;
    }
}

size_t ConvertNameWithWord(int word, char* name)
{
    size_t needed = std::strlen(name) + 1;
    auto grew = [&]() {
        size_t size = std::strlen(name) + 1;
        if (size > needed)
            needed = size;
    };
    const bool upper = (word & 0x200) != 0;
    const bool lower = (word & 0x400) != 0;
    const bool capitalize = (word & 0x800) != 0;

    if (word & 0x8000)
        JoinSpacingMarks(name);
    if (word & 0x001)
        SpacesToUnderbar(name);
    if (word & 0x002) {
        if (word & 0x008) {
            DigitsToFullWidth(name);
            grew();
        }
        if (word & 0x010)
            DigitsToHalfWidth(name);
    }
    if (word & 0x004) {
        if (word & 0x020)
            ApplyCaseOptions(name, upper, lower, capitalize);
        if (word & 0x040) {
            LettersToFullWidth(name);
            grew();
            ApplyCaseOptions(name, upper, lower, capitalize);
        }
        if (word & 0x080) {
            LettersToHalfWidth(name);
            ApplyCaseOptions(name, upper, lower, capitalize);
        }
    }
    if (word & 0x1000) {
        if (word & 0x2000) {
            KatakanaToFullWidth(name);
            grew();
        }
        if (word & 0x4000)
            KatakanaToHalfWidth(name);
    }
    return needed;
}


namespace {

struct CodecEntry { char16_t unit; const char* bytes; };
const CodecEntry CODE_PAGE[] = {
    {u'\u3042', "\x82\xA0"}, {u'\u3000', "\x81\x40"}, {u'\uFF5E', "\x81\x60"},
    {u'\uFF21', "\x82\x60"}, {u'\uFF41', "\x82\x81"}, {u'\uFF10', "\x82\x4F"},
    {u'\u30BD', "\x83\x5C"}, {u'\u30EB', "\x83\x8B"}, {u'\u8868', "\x95\x5C"},
    {u'\uFF71', "\xB1"},      {u'\uE000', "\xF0\x40"},
    // Katakana of both widths and the voiced mark, so that whatever the
    // katakana steps make of these can be read back: ア カ ハ ガ バ ゛ and
    // ｱ ｶ ﾊ ﾞ, and ｿ ﾙ for ソ ル.
    {u'\u30A2', "\x83\x41"}, {u'\u30AB', "\x83\x4A"}, {u'\u30CF', "\x83\x6E"},
    {u'\u30AC', "\x83\x4B"}, {u'\u30D0', "\x83\x6F"}, {u'\u309B', "\x81\x4A"},
    {u'\uFF76', "\xB6"},      {u'\uFF8A', "\xCA"},      {u'\uFF9E', "\xDE"},
    {u'\uFF7F', "\xBF"},      {u'\uFF99', "\xD9"},
};

size_t SmallEncode(const WideChar* units, size_t count, char* bytes)
{
    for (const CodecEntry& entry : CODE_PAGE) {
        if (count == 1 && entry.unit == units[0]) {
            const size_t size = std::strlen(entry.bytes);
            std::memcpy(bytes, entry.bytes, size);
            return size;
        }
    }
    return 0;
}

size_t SmallDecode(const char* bytes, size_t length, WideChar* units)
{
    for (const CodecEntry& entry : CODE_PAGE) {
        if (std::strlen(entry.bytes) == length && std::memcmp(entry.bytes, bytes, length) == 0) {
            units[0] = entry.unit;
            return 1;
        }
    }
    return 0;
}

} // namespace

const Cp932Codec SMALL_CODE_PAGE = {SmallEncode, SmallDecode};

} // namespace Ref
