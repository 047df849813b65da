#include "convert/kana.h"

#include <cstring>

#include "convert/sjis.h"

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

// Writes the double-byte character lead trail at write and moves past it.
inline void PutPair(uchar*& write, uchar lead, uchar trail)
{
    write[0] = lead;
    write[1] = trail;
    write += 2;
}

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

} // namespace

bool KatakanaToFullWidth(char* name, size_t capacity)
{
    uchar* const s = reinterpret_cast<uchar*>(name);
    const size_t length = strlen(name);

    // Each half-width character not joined with its mark adds one byte; a
    // joined pair keeps its two.
    size_t growth = 0;
    bool anyKana = false;
    for (size_t i = 0; s[i] != 0;) {
        const uchar c = s[i];
        anyKana |= IsHalfKana(c);
        if ((IsLeadByte(c) && s[i + 1] != 0) || (IsHalfKana(c) && HalfPair(c, s[i + 1]) != nullptr)) {
            i += 2;
        } else {
            growth += IsHalfKana(c);
            i += 1;
        }
    }
    if (!anyKana)
        return true;
    if (length + growth + 1 > capacity)
        return false;

    // Convert forward from a copy moved up by the growth: the write position
    // gains on the read position only by the bytes added so far.
    memmove(s + growth, s, length + 1);
    const uchar* read = s + growth;
    uchar* write = s;
    while (*read != 0) {
        const uchar c = *read;
        if (IsLeadByte(c) && read[1] != 0) {
            PutPair(write, c, read[1]);
            read += 2;
        } else if (IsHalfKana(c)) {
            const HalfKana& k = HALF_KANA[c - HALF_KANA_FIRST];
            if (HalfPair(c, read[1]) != nullptr) {
                PutPair(write, k.lead, read[1] == HALF_VOICED_MARK ? k.voiced : k.semiVoiced);
                read += 2;
            } else {
                PutPair(write, k.lead, k.trail);
                read += 1;
            }
        } else {
            *write++ = *read++;
        }
    }
    *write = 0;
    return true;
}

namespace {

// A walk that never grows the name, in place: a one-byte character (or a
// lone lead byte before the terminator) is kept, and each double-byte one
// goes to pair, which writes what it becomes and returns how many bytes it
// took from read (at least the two of the character).
template <typename PairStep>
void ShrinkingWalk(char* name, PairStep pair)
{
    const uchar* read = reinterpret_cast<const uchar*>(name);
    uchar* write = reinterpret_cast<uchar*>(name);
    while (*read != 0) {
        if (!IsLeadByte(*read) || read[1] == 0)
            *write++ = *read++;
        else
            read += pair(read, write);
    }
    // Clear what the name no longer occupies, as shifting would.
    memset(write, 0, static_cast<size_t>(read - write));
}

} // namespace

void KatakanaToHalfWidth(char* name)
{
    ShrinkingWalk(name, [](const uchar* read, uchar*& write) -> size_t {
        const uchar c = read[0];
        const uchar t = read[1];
        const unsigned half = c == 0x81 || c == 0x83 ? NARROW.half[NarrowLeadIndex(c)][t] : 0;
        if (half == 0) {
            PutPair(write, c, t);
        } else {
            *write++ = static_cast<uchar>(half);
            if (half > 0xFF)
                *write++ = static_cast<uchar>(half >> 8);
        }
        return 2;
    });
}

void JoinSpacingMarks(char* name)
{
    ShrinkingWalk(name, [](const uchar* read, uchar*& write) -> size_t {
        const uchar c = read[0];
        const uchar t = read[1];
        // read[2] is the next character's first byte, or the terminator.
        if (c <= 0x83 && read[2] == SPACING_MARK_LEAD &&
            (read[3] == SPACING_VOICED_TRAIL || read[3] == SPACING_SEMI_VOICED_TRAIL)) {
            const uchar joined = JOIN.joined[c - 0x81][read[3] - SPACING_VOICED_TRAIL][t];
            if (joined != 0) {
                PutPair(write, c, joined);
                return 4;
            }
        }
        PutPair(write, c, t);
        return 2;
    });
}
