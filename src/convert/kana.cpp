#include "convert/kana.h"

#include <cstring>

#include "convert/charmap.h"
#include "convert/sjis.h"

#if BLANKMENDER_SSE2_WALK
#include <emmintrin.h>
#endif

// Each conversion is one walk with a read and a write position, as in
// convert.cpp, so the cost stays linear in the name's length. Lookups go
// through tables of 256 entries per lead byte, made from HALF_KANA when the
// program is compiled.

namespace {

typedef unsigned char uchar;

// Full-width katakana and their signs live under leads 81 and 83 only.
constexpr int NARROW_LEADS = 2;
constexpr int NarrowLeadIndex(uchar lead) { return lead == 0x83 ? 1 : 0; }

// For each full-width counterpart of the half-width block: its half-width
// bytes, the first in the low byte and the mark (ﾞ or ﾟ, or 0) in the high
// byte. 0 for everything else.
struct NarrowTable {
    unsigned short half[NARROW_LEADS][256];

    constexpr NarrowTable() : half()
    {
        for (int b = HALF_KANA_FIRST; b <= HALF_KANA_LAST; ++b) {
            const HalfKana& k = HALF_KANA[b - HALF_KANA_FIRST];
            unsigned short* row = half[NarrowLeadIndex(k.lead)];
            row[k.trail] = static_cast<unsigned short>(b);
            if (k.voiced != 0)
                row[k.voiced] = static_cast<unsigned short>(b | HALF_VOICED_MARK << 8);
            if (k.semiVoiced != 0)
                row[k.semiVoiced] = static_cast<unsigned short>(b | HALF_SEMI_VOICED_MARK << 8);
        }
    }
};

constexpr NarrowTable NARROW;

// The kana that join a following ゛ or ゜, under leads 81-83: the trail of
// the joined form, by mark (0 for ゛, 1 for ゜), then by trail; 0 for none.
// The katakana come from HALF_KANA. Hiragana stand in the same order as
// katakana, 5F places further on (か A9 for カ 4A), except ゔ, which code
// page 932 lacks; and ゝ゛ is ゞ, ヽ゛ is ヾ.
struct JoinTable {
    uchar joined[3][2][256];

    constexpr JoinTable() : joined()
    {
        for (const HalfKana& k : HALF_KANA) {
            if (k.lead != 0x83)
                continue;
            const uchar forms[2] = {k.voiced, k.semiVoiced};
            for (int mark = 0; mark < 2; ++mark) {
                if (forms[mark] == 0)
                    continue;
                joined[2][mark][k.trail] = forms[mark];
                if (forms[mark] < 0x7F)
                    joined[1][mark][k.trail + 0x5F] = static_cast<uchar>(forms[mark] + 0x5F);
            }
        }
        joined[0][0][0x52] = 0x53; // ヽ ヾ
        joined[0][0][0x54] = 0x55; // ゝ ゞ
    }
};

constexpr JoinTable JOIN;

inline bool IsHalfKana(uchar c) { return c >= HALF_KANA_FIRST && c <= HALF_KANA_LAST; }

// The quick test before a walk: whether any of the length bytes at s lies in
// lo-hi or is also. A trail byte can answer yes for nothing to convert,
// never no for something; most names hold no katakana of the width asked
// for, and this looks at 16 bytes at a time.
bool AnyByteIn(const uchar* s, size_t length, uchar lo, uchar hi, uchar also)
{
    size_t i = 0;
#if BLANKMENDER_SSE2_WALK
    // SSE2 compares signed bytes only: move lo to -128 first.
    const __m128i shift = _mm_set1_epi8(static_cast<char>(0x80 - lo));
    const __m128i limit = _mm_set1_epi8(static_cast<char>(hi - lo - 0x7F));
    const __m128i other = _mm_set1_epi8(static_cast<char>(also));
    for (; i + 16 <= length; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i hit = _mm_or_si128(_mm_cmplt_epi8(_mm_add_epi8(v, shift), limit),
                                         _mm_cmpeq_epi8(v, other));
        if (_mm_movemask_epi8(hit) != 0)
            return true;
    }
#endif
    for (; i < length; ++i) {
        if ((s[i] >= lo && s[i] <= hi) || s[i] == also)
            return true;
    }
    return false;
}

// Room for the result of widening a name in one walk: twice a name of up to
// 511 bytes, and a byte to spare.
constexpr size_t WIDE_SCRATCH = 1023;

// The HALF_KANA entry of c when c and next are a kana and a mark with a
// joined form, else null.
inline const HalfKana* HalfPair(uchar c, uchar next)
{
    const HalfKana& k = HALF_KANA[c - HALF_KANA_FIRST];
    if ((next == HALF_VOICED_MARK && k.voiced != 0) ||
        (next == HALF_SEMI_VOICED_MARK && k.semiVoiced != 0))
        return &k;
    return nullptr;
}

#if BLANKMENDER_SSE2_WALK
// The bytes of a block that begin a double-byte character, from the mask of
// its lead-range bytes (81-9F, E0-FC), when byte 0 begins a character. Each
// run of lead-range bytes begins at a character start (the byte before it is
// a one-byte character or a trail), and in a run the leads and trails
// alternate: a run begun on an even bit takes its even bits, one begun on an
// odd bit its odd bits. Adding its first bit to a run clears it, so the runs
// that clear when the even first bits are added are the even ones.
inline unsigned LeadStarts(unsigned leads)
{
    const unsigned runStarts = leads & ~(leads << 1);
    const unsigned evenRuns = leads & ~(leads + (runStarts & 0x5555u));
    return (evenRuns & 0x5555u) | (leads & ~evenRuns & 0xAAAAu);
}

// 0xFF in each byte lo <= b <= hi. SSE2 compares signed bytes only, so the
// range is moved to start at -128 first.
inline __m128i BytesIn(__m128i v, int lo, int hi)
{
    return _mm_cmplt_epi8(_mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(0x80 - lo))),
                          _mm_set1_epi8(static_cast<char>(hi - lo - 0x7F)));
}

// The fast path of both katakana walks: a block v of 16 bytes read at read
// (a character start), which holds nothing to convert, moves as it is to
// write (at or before read, or in another buffer with room for 17 bytes).
// Returns how far the next character starts: 16, or 17 when the block ends
// in a lead, whose trail (never the terminator: the caller keeps a byte
// after the block) goes along.
inline size_t MoveBlock(__m128i v, const uchar* read, uchar* write)
{
    const unsigned leads =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(BytesIn(v, 0x81, 0x9F), BytesIn(v, 0xE0, 0xFC))));
    if (write != read) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(write), v);
        write[16] = read[16];
    }
    return 16 + ((LeadStarts(leads) >> 15) & 1);
}
#endif

// One character of WidenKana, read at read (a character start).
inline void WidenChar(const uchar*& read, uchar*& write)
{
    const uchar c = *read;
    if (IsLeadByte(c) && read[1] != 0) {
        write[0] = c;
        write[1] = read[1];
        write += 2;
        read += 2;
    } else if (IsHalfKana(c)) {
        const HalfKana& k = HALF_KANA[c - HALF_KANA_FIRST];
        write[0] = k.lead;
        if (HalfPair(c, read[1]) != nullptr) {
            write[1] = read[1] == HALF_VOICED_MARK ? k.voiced : k.semiVoiced;
            read += 2;
        } else {
            write[1] = k.trail;
            read += 1;
        }
        write += 2;
    } else {
        *write++ = *read++;
    }
}

// Half-width katakana to full width from read to its terminator at end,
// writing at write, which lies at or before read by at least the bytes added
// so far, or in another buffer with a byte to spare. Returns the end of the
// result, where the terminator belongs, without writing it.
uchar* WidenKana(const uchar* read, const uchar* end, uchar* write)
{
#if BLANKMENDER_SSE2_WALK
    // Blocks with no byte A1-DF hold no half-width katakana; the others go
    // by characters up to past their end.
    while (end - read > 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(read));
        if (_mm_movemask_epi8(BytesIn(v, HALF_KANA_FIRST, HALF_KANA_LAST)) == 0) {
            const size_t step = MoveBlock(v, read, write);
            read += step;
            write += step;
            continue;
        }
        const uchar* const blockEnd = read + 16;
        while (read < blockEnd)
            WidenChar(read, write);
    }
#else
    (void)end;
#endif
    while (*read != 0)
        WidenChar(read, write);
    return write;
}

} // namespace

bool KatakanaToFullWidth(char* name, size_t capacity)
{
    uchar* const s = reinterpret_cast<uchar*>(name);
    const size_t length = strlen(name);
    if (!AnyByteIn(s, length, HALF_KANA_FIRST, HALF_KANA_LAST, HALF_KANA_LAST))
        return true;

    // One walk into scratch room, then back if it fits.
    if (2 * length + 1 <= WIDE_SCRATCH) {
        uchar wide[WIDE_SCRATCH];
        const size_t wideLength = static_cast<size_t>(WidenKana(s, s + length, wide) - wide);
        if (wideLength + 1 > capacity)
            return false;
        memcpy(s, wide, wideLength);
        s[wideLength] = 0;
        return true;
    }

    // A longer name: count first, then convert in place. Each half-width
    // character not joined with its mark adds one byte; a joined pair keeps
    // its two.
    size_t growth = 0;
    size_t i = 0;
    while (s[i] != 0) {
        const uchar c = s[i];
        if ((IsLeadByte(c) && s[i + 1] != 0) || (IsHalfKana(c) && HalfPair(c, s[i + 1]) != nullptr)) {
            i += 2;
        } else {
            growth += IsHalfKana(c);
            i += 1;
        }
    }
    if (length + growth + 1 > capacity)
        return false;
    // Convert forward from a copy moved to the end of the result: the write
    // position gains on the read position only by the bytes added so far.
    memmove(s + growth, s, length + 1);
    *WidenKana(s + growth, s + growth + length, s) = 0;
    return true;
}

namespace {

// What narrowing does to a double-byte character, by lead, then by trail:
// flip, xored onto the lead (low byte) and the trail, gives the two bytes to
// write, and width is how many of them the result keeps. A character that
// stays has flip 0 and width 2, so every lead takes the same few steps.
struct NarrowStep {
    unsigned short flip;
    unsigned short width;
};

struct NarrowSteps {
    NarrowStep kept[256];
    NarrowStep narrowed[NARROW_LEADS][256];

    constexpr NarrowSteps() : kept(), narrowed()
    {
        for (int t = 0; t < 256; ++t) {
            kept[t].flip = 0;
            kept[t].width = 2;
            for (int row = 0; row < NARROW_LEADS; ++row) {
                const unsigned half = NARROW.half[row][t];
                const unsigned pair = static_cast<unsigned>(row == 1 ? 0x83 : 0x81) | static_cast<unsigned>(t) << 8;
                narrowed[row][t].flip = static_cast<unsigned short>(half == 0 ? 0 : half ^ pair);
                narrowed[row][t].width = static_cast<unsigned short>(half == 0 ? 2 : half > 0xFF ? 2 : 1);
            }
        }
    }
};

constexpr NarrowSteps NARROW_STEPS;

// The row of NARROW_STEPS for each lead; null for a byte that is no lead.
struct NarrowRows {
    const NarrowStep* byLead[256];

    constexpr NarrowRows() : byLead()
    {
        for (int b = 0; b < 256; ++b) {
            if (IsLeadByte(static_cast<uchar>(b)))
                byLead[b] = b == 0x81   ? NARROW_STEPS.narrowed[0]
                            : b == 0x83 ? NARROW_STEPS.narrowed[1]
                                        : NARROW_STEPS.kept;
        }
    }
};

constexpr NarrowRows NARROW_ROWS;

// One character of KatakanaToHalfWidth, read at read (a character start)
// and written at write, at or before it. No branch on what the character
// becomes: the write position has room for both bytes, and moves by as many
// as the character gives.
inline void NarrowChar(const uchar*& read, uchar*& write)
{
    const uchar c = *read;
    const NarrowStep* const row = NARROW_ROWS.byLead[c];
    if (row == nullptr || read[1] == 0) {
        *write++ = *read++;
        return;
    }
    const uchar t = read[1];
    read += 2;
    const NarrowStep step = row[t];
    const unsigned pair = (c | static_cast<unsigned>(t) << 8) ^ step.flip;
    write[0] = static_cast<uchar>(pair);
    write[1] = static_cast<uchar>(pair >> 8);
    write += step.width;
}

} // namespace

void KatakanaToHalfWidth(char* name)
{
    uchar* const s = reinterpret_cast<uchar*>(name);
    const uchar* read = s;
    uchar* write = s;
#if BLANKMENDER_SSE2_WALK
    // The fast path: 16 bytes from a character start that hold no byte 81 or
    // 83 hold nothing to narrow (only the leads 81 and 83 begin a full-width
    // counterpart), and move as they are.
    const uchar* const end = s + strlen(name);
    while (end - read > 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(read));
        const __m128i narrowLeads =
            _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0x81))),
                         _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0x83))));
        if (_mm_movemask_epi8(narrowLeads) != 0) {
            const uchar* const blockEnd = read + 16;
            while (read < blockEnd)
                NarrowChar(read, write);
            continue;
        }
        const size_t step = MoveBlock(v, read, write);
        read += step;
        write += step;
    }
#endif
    while (*read != 0)
        NarrowChar(read, write);
    // Clear what the name no longer occupies, as shifting would.
    memset(write, 0, static_cast<size_t>(read - write));
}

void JoinSpacingMarks(char* name)
{
    // Every join ends in 81 4A or 81 4B.
    if (!AnyByteIn(reinterpret_cast<const uchar*>(name), strlen(name), 0x4A, 0x4B, 0x4B))
        return;
    const uchar* read = reinterpret_cast<const uchar*>(name);
    uchar* write = reinterpret_cast<uchar*>(name);
    while (*read != 0) {
        const uchar c = *read;
        if (!IsLeadByte(c) || read[1] == 0) {
            *write++ = *read++;
            continue;
        }
        const uchar t = read[1];
        // read[2] is the next character's first byte, or the terminator.
        if (c <= 0x83 && read[2] == SPACING_MARK_LEAD &&
            (read[3] == SPACING_VOICED_TRAIL || read[3] == SPACING_SEMI_VOICED_TRAIL)) {
            const uchar joined = JOIN.joined[c - 0x81][read[3] - SPACING_VOICED_TRAIL][t];
            if (joined != 0) {
                write[0] = c;
                write[1] = joined;
                write += 2;
                read += 4;
                continue;
            }
        }
        write[0] = c;
        write[1] = t;
        write += 2;
        read += 2;
    }
    memset(write, 0, static_cast<size_t>(read - write));
}
