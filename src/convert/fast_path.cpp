// The fast path: the same conversions as the character walk in convert.cpp,
// 16 bytes at a time with SSE2: the whole name for a map that widens
// nothing; for one that widens digits, the blocks before the first that
// holds a digit. A map that widens letters is left to the walk at once:
// nearly every name has a letter in its first block.
//
// Where characters start. In Shift-JIS a byte starts a character unless the
// byte before it is a lead byte (81-9F, E0-FC) that itself starts one. A
// trail byte can look like anything, a lead byte included, so no byte says
// by itself whether it starts a character; but runs of lead-range bytes
// do. Every maximal run of them begins at a character start, since the byte
// before it is a one-byte character or a trail, and inside a run the starts
// alternate: the leads that start characters are the run's bytes at an even
// distance from its first one. With a bit per byte, adding each run's first
// bit to the run carries through the whole run and clears it, which marks
// the runs that begin on an even bit: those take their even bits, the others
// their odd bits. (JSON scanners find the backslashes that escape in runs of
// backslashes the same way.) All a block needs from the one before for this
// is one bit: whether its byte 0 is the trail of a lead at byte 15. That
// lead goes in front of the block's bits, so that the run it begins starts
// at a character start too.
//
// With the starts known, every test of the walk is a compare on the whole
// block, kept where characters start; a double-byte character is found at
// its lead, with the byte after it. A character that becomes one byte is
// written over its lead, and its trail is dropped. A character whose trail
// lies in the next block leaves that block what to do with its byte 0.
#include "convert/charmap.h"

#if BLANKMENDER_SSE2_WALK

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace {

typedef unsigned char uchar;

const unsigned EVEN_BITS = 0x55555555;
const unsigned ODD_BITS = 0xAAAAAAAA;

inline __m128i Splat(int b) { return _mm_set1_epi8(static_cast<char>(b)); }

// 0xFF in each byte lo <= b <= hi. SSE2 compares signed bytes only, so the
// range is moved to start at -128 first.
inline __m128i InRange(__m128i v, int lo, int hi)
{
    return _mm_cmplt_epi8(_mm_add_epi8(v, Splat(0x80 - lo)), Splat(hi - lo - 0x7F));
}

inline __m128i And(__m128i a, __m128i b) { return _mm_and_si128(a, b); }
inline __m128i Or(__m128i a, __m128i b) { return _mm_or_si128(a, b); }

// Bytes of a where mask is 0xFF, of b elsewhere.
inline __m128i Select(__m128i mask, __m128i a, __m128i b)
{
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

inline __m128i Load(const uchar* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store(uchar* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

inline unsigned Bits(__m128i v) { return static_cast<unsigned>(_mm_movemask_epi8(v)); }

// The inverse of Bits: byte i is 0xFF where bit i of bits is set.
inline __m128i Bytes(unsigned bits)
{
    __m128i x = _mm_cvtsi32_si128(static_cast<int>(bits));
    x = _mm_unpacklo_epi8(x, x);   // low byte twice, high byte twice
    x = _mm_unpacklo_epi16(x, x);  // four times each
    x = _mm_unpacklo_epi32(x, x);  // eight times each
    const __m128i each = _mm_set_epi8(-128, 64, 32, 16, 8, 4, 2, 1, -128, 64, 32, 16, 8, 4, 2, 1);
    return _mm_cmpeq_epi8(_mm_and_si128(x, each), each);
}

// Set bits of a 16-bit mask, from a table: the POPCNT instruction is not
// part of SSE2.
struct BitCounts {
    uchar of[256];
};

constexpr BitCounts CountBits()
{
    BitCounts counts = {};
    for (int i = 1; i < 256; ++i)
        counts.of[i] = static_cast<uchar>(counts.of[i / 2] + (i & 1));
    return counts;
}

constexpr BitCounts BIT_COUNTS = CountBits();

inline unsigned PopCount(unsigned m)
{
    return static_cast<unsigned>(BIT_COUNTS.of[m & 0xFF]) + BIT_COUNTS.of[(m >> 8) & 0xFF];
}

// The lead bytes that start characters, from the lead-range bytes of a block
// in which each run of them begins at a character start (see the top).
inline unsigned LeadsAtStarts(unsigned leads)
{
    const unsigned runStarts = leads & ~(leads << 1);
    const unsigned evenRuns = leads & ~(leads + (runStarts & EVEN_BITS));
    return (evenRuns & EVEN_BITS) | (leads & ~evenRuns & ODD_BITS);
}

// What one block hands the next.
struct Carry {
    unsigned trail;         // 1: byte 0 is the trail of a character begun at byte 15 before
    unsigned dropTrail;     // 1: ... and the result drops it
    unsigned replaceTrail;  // 1: ... or puts newTrail in its place
    unsigned newTrail;
    // Bits 0 and 1: a letter that ends up half (full) width ends at byte -1
    // (byte 0). Kept only when capitalising, the one conversion that looks
    // back, here and in the character walk when it takes over.
    unsigned halfEnds;
    unsigned fullEnds;
};

// One block, converted: the bytes at the positions of the characters they
// replace, and which of them the result keeps.
struct Block {
    __m128i bytes;
    unsigned keep;
};

// What a block must look at, fixed for a whole name, so that the compiler
// leaves the rest out of the loop: letters and digits (or blanks alone), a
// change of case, capitalising, counting. Counting, needed for long names
// only, takes every map in one loop that looks at everything.
const unsigned LOOK_LETTERS = 1, LOOK_CASE = 2, LOOK_CAPITALIZE = 4, LOOK_COUNT = 8;

// The map, as masks to combine with rather than choices to branch on.
struct Plan {
    // 0xFF in every byte, or 0:
    __m128i spaces;             // blanks become '_'
    __m128i digitsToHalf;       // ０-９ become 0-9
    __m128i lettersToHalf;      // Ａ-ｚ become A-z
    __m128i keepCase;           // each letter keeps its case
    __m128i toLower;            // every letter becomes small
    // The same, 16 bits wide.
    unsigned spacesBits, digitsToHalfBits, lettersToHalfBits;
    bool digitsToFull;                 // a block with a digit goes to the character walk
    bool caseOfFullLetters;            // full-width letters change case and stay full-width
    bool capitalize;
    bool caseSame;
    // A range of bytes as InRange takes it, for the quick test of a block:
    // trail bytes after 82 that the map changes (0-9, A-z of full width),
    // and single bytes that it changes (half-width digits that widen, half-
    // width letters that change case). The ranges may hold a few
    // bytes more, which only sends a block on to the full test.
    __m128i trailsOf82Bias, trailsOf82Below;
    __m128i singlesBias, singlesBelow;
    // Trail bytes after 82 of the full-width characters that become half
    // width, when no case changes: ０-９, Ａ-Ｚ, ａ-ｚ.
    __m128i digitTrailsBias, digitTrailsBelow;
    __m128i capitalTrailsBias, capitalTrailsBelow;
    __m128i smallTrailsBias, smallTrailsBelow;
};

// The arguments of InRange(v, lo, hi), worked out once: an empty range when
// lo > hi.
void SetRange(__m128i* bias, __m128i* below, int lo, int hi)
{
    *bias = Splat(0x80 - lo);
    *below = lo <= hi ? Splat(hi - lo - 0x7F) : Splat(-0x80);
}

inline __m128i InRange(__m128i v, __m128i bias, __m128i below)
{
    return _mm_cmplt_epi8(_mm_add_epi8(v, bias), below);
}

inline __m128i All(bool on) { return on ? _mm_set1_epi8(-1) : _mm_setzero_si128(); }

inline Plan MakePlan(const CharMap& map)
{
    Plan plan;
    plan.spaces = All(map.spaces);
    plan.digitsToHalf = All(map.digits == WIDTH_HALF);
    plan.lettersToHalf = All(map.letters == WIDTH_HALF);
    plan.keepCase = All(map.letterCase == CASE_SAME);
    plan.toLower = All(map.letterCase == CASE_LOWER);
    plan.spacesBits = map.spaces ? 0xFFFF : 0;
    plan.digitsToHalfBits = map.digits == WIDTH_HALF ? 0xFFFF : 0;
    plan.lettersToHalfBits = map.letters == WIDTH_HALF ? 0xFFFF : 0;
    plan.digitsToFull = map.digits == WIDTH_FULL;
    plan.caseOfFullLetters = map.letters != WIDTH_HALF && map.letterCase != CASE_SAME;
    plan.capitalize = map.letterCase == CASE_CAPITALIZE;
    plan.caseSame = map.letterCase == CASE_SAME;
    const bool fullLettersChange = map.letters == WIDTH_HALF || map.letterCase != CASE_SAME;
    const bool halfLettersChange = map.letterCase != CASE_SAME;
    SetRange(&plan.trailsOf82Bias, &plan.trailsOf82Below,
             map.digits == WIDTH_HALF ? 0x4F : fullLettersChange ? 0x60 : 1,
             fullLettersChange ? 0x9A : map.digits == WIDTH_HALF ? 0x58 : 0);
    SetRange(&plan.singlesBias, &plan.singlesBelow,
             plan.digitsToFull ? 0x30 : halfLettersChange ? 0x41 : 1,
             halfLettersChange ? 0x7A : plan.digitsToFull ? 0x39 : 0);
    const bool lettersNarrow = map.letters == WIDTH_HALF;
    SetRange(&plan.digitTrailsBias, &plan.digitTrailsBelow, 0x4F, map.digits == WIDTH_HALF ? 0x58 : 0);
    SetRange(&plan.capitalTrailsBias, &plan.capitalTrailsBelow, 0x60, lettersNarrow ? 0x79 : 0);
    SetRange(&plan.smallTrailsBias, &plan.smallTrailsBelow, 0x81, lettersNarrow ? 0x9A : 0);
    return plan;
}

// Converts the block v, whose byte i + 1 is byte i of next. Returns false,
// changing nothing, when the block holds a digit that map widens.
template <unsigned kLook>
inline bool ConvertBlock(__m128i v, __m128i next, const Plan& plan, Carry* carry,
                         CharCounts* counts, Block* out)
{
    const bool kLetters = (kLook & LOOK_LETTERS) != 0;
    const bool kCapitalize = (kLook & LOOK_CAPITALIZE) != 0;
    const bool kCount = (kLook & LOOK_COUNT) != 0;

    // Flipping bit 5 brings the lead bytes 81-9F and E0-FC together, A1-DC.
    const unsigned leads = Bits(InRange(_mm_xor_si128(v, Splat(0x20)), 0xA1, 0xDC));
    // Bit i + 1 for byte i, and bit 0 for the lead at byte 15 before when
    // byte 0 is its trail. So bit i is set where byte i is a trail.
    const unsigned leadStarts = LeadsAtStarts((leads << 1) | carry->trail);
    const unsigned starts = ~leadStarts & 0xFFFF;

    out->bytes = v;
    if (carry->replaceTrail != 0) {
        const int first = _mm_extract_epi16(v, 0);
        const unsigned replaced = (static_cast<unsigned>(first) & 0xFF00) | carry->newTrail;
        out->bytes = _mm_insert_epi16(v, static_cast<short>(replaced), 0);
    }
    out->keep = 0xFFFF & ~carry->dropTrail;
    const Carry in = *carry;
    carry->trail = leadStarts >> 16;
    carry->dropTrail = 0;
    carry->replaceTrail = 0;

    const __m128i is82 = _mm_cmpeq_epi8(v, Splat(0x82));
    const __m128i space = _mm_cmpeq_epi8(v, Splat(0x20));
    const __m128i ideographicSpace =
        And(_mm_cmpeq_epi8(v, Splat(0x81)), _mm_cmpeq_epi8(next, Splat(0x40)));
    __m128i fullDigit = And(is82, InRange(next, 0x4F, 0x58));  // ０-９
    __m128i fullLetter = And(is82, InRange(next, 0x60, 0x9A));  // Ａ-Ｚ, ａ-ｚ and 7A-80 between
    __m128i halfLetter = InRange(Or(v, Splat(0x20)), 0x61, 0x7A);

    if (kLook == LOOK_LETTERS) {
        // Widths alone, case kept: the full-width digits and letters that
        // become half width, and blanks, each found once for the quick test
        // and the conversion alike.
        if (plan.digitsToFull && (Bits(InRange(v, 0x30, 0x39)) & starts) != 0) {
            *carry = in;
            return false;
        }
        const __m128i small = InRange(next, plan.smallTrailsBias, plan.smallTrailsBelow);
        __m128i toHalf = And(is82, Or(Or(InRange(next, plan.digitTrailsBias, plan.digitTrailsBelow),
                                         InRange(next, plan.capitalTrailsBias, plan.capitalTrailsBelow)),
                                      small));
        __m128i blank = _mm_setzero_si128(), wideBlank = blank;
        unsigned found = Bits(toHalf);
        if (plan.spacesBits != 0) {
            blank = space;
            wideBlank = ideographicSpace;
            found |= Bits(Or(blank, wideBlank));
        }
        if ((found & starts) == 0)
            return true;
        if ((found & ~starts) != 0) {
            const __m128i atStart = Bytes(starts);
            toHalf = And(atStart, toHalf);
            blank = And(atStart, blank);
            wideBlank = And(atStart, wideBlank);
        }
        // 82 4F-58 to 30-39 and 82 60-79 to 41-5A; 82 81-9A to 61-7A, one
        // less, by adding small (0xFF, that is -1, there).
        out->bytes = Select(toHalf, _mm_add_epi8(_mm_sub_epi8(next, Splat(0x1F)), small), out->bytes);
        if (plan.spacesBits != 0)
            out->bytes = Select(Or(blank, wideBlank), Splat(0x5F), out->bytes);
        const unsigned dropLeads = Bits(Or(toHalf, wideBlank));
        out->keep &= ~(dropLeads << 1);
        carry->dropTrail = (dropLeads >> 15) & 1;
        return true;
    }
    // Most blocks of most names hold nothing a map changes: a few compares,
    // kept where characters start, find those. Blanks alone are so common,
    // and so cheap to convert, that a test for them costs more than it saves.
    if (kLetters && !kCount) {
        const __m128i touched =
            Or(And(plan.spaces, Or(space, ideographicSpace)),
               Or(And(is82, InRange(next, plan.trailsOf82Bias, plan.trailsOf82Below)),
                  InRange(v, plan.singlesBias, plan.singlesBelow)));
        if ((Bits(touched) & starts) == 0) {
            carry->halfEnds = 0;
            carry->fullEnds = 0;
            return true;
        }
    }

    if (kLook == 0) {
        // Blanks alone. A 20 or an 81 40 that is not at a character start
        // is rare, so the starts are spread over the bytes only for it.
        const __m128i blank = Or(space, ideographicSpace);
        unsigned ideographicSpaces = Bits(ideographicSpace);
        if (((Bits(space) | ideographicSpaces) & ~starts) == 0) {
            out->bytes = Select(And(plan.spaces, blank), Splat(0x5F), out->bytes);
        } else {
            const __m128i atStart = Bytes(starts);
            out->bytes = Select(And(plan.spaces, And(atStart, blank)), Splat(0x5F), out->bytes);
            ideographicSpaces &= starts;
        }
        const unsigned dropLeads = ideographicSpaces & plan.spacesBits;
        out->keep &= ~(dropLeads << 1);
        carry->dropTrail = (dropLeads >> 15) & 1;
        return true;
    }

    // The starts spread over the bytes, to keep what was found to the
    // characters. They are often not needed when no case changes: a letter
    // found in a trail byte then stays as it is anyway, and the rest is found
    // at a lead or a one-byte character, except in rare names.
    __m128i atStart = _mm_set1_epi8(-1);
    if (kCount || !plan.caseSame || plan.digitsToFull ||
        (Bits(Or(Or(fullDigit, fullLetter), And(plan.spaces, Or(space, ideographicSpace)))) &
         ~starts) != 0)
        atStart = Bytes(starts);
    unsigned halfLetters = 0, fullLetters = 0;
    __m128i fullLower = _mm_setzero_si128(), halfLower = fullLower;
    if (kLetters || kCount) {
        if (plan.digitsToFull && Bits(And(atStart, InRange(v, 0x30, 0x39))) != 0) {
            *carry = in;
            return false;
        }
        fullDigit = And(atStart, fullDigit);
        fullLower = And(fullLetter, InRange(next, 0x81, 0x9A));
        fullLetter = And(atStart, Or(fullLower, And(fullLetter, InRange(next, 0x60, 0x79))));
        fullLower = And(atStart, fullLower);
        halfLetter = And(atStart, halfLetter);
        halfLower = And(halfLetter, InRange(v, 0x61, 0x7A));
        halfLetters = Bits(halfLetter);
        fullLetters = Bits(fullLetter);
    }
    const __m128i ideographicSpaceAtStart = And(atStart, ideographicSpace);
    if (kCount) {
        counts->ideographicSpaces += PopCount(Bits(ideographicSpaceAtStart));
        counts->halfDigits += PopCount(Bits(And(atStart, InRange(v, 0x30, 0x39))));
        counts->fullDigits += PopCount(Bits(fullDigit));
        counts->halfLetters += PopCount(halfLetters);
        counts->fullLetters += PopCount(fullLetters);
    }

    // Blanks, then the double-byte characters that become one byte, written
    // over their leads.
    out->bytes = Select(And(plan.spaces, Or(ideographicSpaceAtStart, And(atStart, space))),
                        Splat(0x5F), out->bytes);
    unsigned dropLeads = Bits(ideographicSpaceAtStart) & plan.spacesBits;
    if (kLetters) {
        const __m128i halfDigit = And(plan.digitsToHalf, fullDigit);
        out->bytes = Select(halfDigit, _mm_sub_epi8(next, Splat(0x1F)), out->bytes);
        dropLeads |= Bits(halfDigit);

        // 0xFF at the letters that end up small.
        __m128i small = Or(And(plan.keepCase, Or(halfLower, fullLower)),
                           And(plan.toLower, Or(halfLetter, fullLetter)));
        if (kCapitalize && plan.capitalize) {
            // Letters by the width they end up with, and the byte each ends
            // on; bit 0 may be a letter begun in the block before. A letter
            // right after one of the same width continues a word.
            const unsigned letters = halfLetters | fullLetters;
            const unsigned toHalf = halfLetters | (fullLetters & plan.lettersToHalfBits);
            const unsigned toFull = letters & ~toHalf;
            const unsigned halfEnds =
                (toHalf & halfLetters) | ((toHalf & fullLetters) << 1) | (in.halfEnds >> 1);
            const unsigned fullEnds =
                (toFull & halfLetters) | ((toFull & fullLetters) << 1) | (in.fullEnds >> 1);
            carry->halfEnds = (halfEnds >> 15) & 3;
            carry->fullEnds = (fullEnds >> 15) & 3;
            const unsigned afterHalf = (halfEnds << 1) | (in.halfEnds & 1);
            const unsigned afterFull = (fullEnds << 1) | (in.fullEnds & 1);
            small = Bytes((toHalf & afterHalf) | (toFull & afterFull));
        }
        const __m128i smallBit = And(small, Splat(0x20));
        out->bytes = Select(halfLetter, Or(And(v, Splat(0xDF)), smallBit), out->bytes);

        // 82 60-79 and 82 81-9A to 41-5A, then the case bit.
        const __m128i toHalf = And(plan.lettersToHalf, fullLetter);
        const __m128i capital = _mm_sub_epi8(next, Select(fullLower, Splat(0x40), Splat(0x1F)));
        out->bytes = Select(toHalf, Or(capital, smallBit), out->bytes);
        dropLeads |= fullLetters & plan.lettersToHalfBits;

        if (plan.caseOfFullLetters && fullLetters != 0) {
            // The trail byte carries the case: capitals 60-79, small 81-9A.
            const __m128i capitalTrail = _mm_sub_epi8(next, And(fullLower, Splat(0x21)));
            const __m128i trail = _mm_add_epi8(capitalTrail, And(small, Splat(0x21)));
            out->bytes =
                Select(_mm_slli_si128(fullLetter, 1), _mm_slli_si128(trail, 1), out->bytes);
            if ((fullLetters & 0x8000) != 0) {
                carry->replaceTrail = 1;
                carry->newTrail = static_cast<unsigned>(_mm_extract_epi16(trail, 7)) >> 8;
            }
        }
    }
    out->keep &= ~(dropLeads << 1);
    carry->dropTrail = (dropLeads >> 15) & 1;
    return true;
}

// One step of Compact: the bytes whose shift has the bit k move down by k.
template <int k>
inline void MoveDown(__m128i* v, __m128i* shift)
{
    const __m128i moves = _mm_cmpeq_epi8(And(*shift, Splat(k)), Splat(k));
    const __m128i arrives = _mm_srli_si128(moves, k);
    *v = Select(arrives, _mm_srli_si128(*v, k), *v);
    *shift = Select(arrives, _mm_srli_si128(*shift, k), _mm_andnot_si128(moves, *shift));
}

// The bytes of v whose bits are clear in drop, in order, at the start; what
// follows them is undefined. Each kept byte moves down by the number of
// dropped bytes before it, at most 8 (no two dropped bytes are next to each
// other, being trails), in steps of 1, 2, 4 and 8. Those numbers never grow
// faster than the positions, so no byte lands on one that has yet to move.
__m128i Compact(__m128i v, unsigned drop)
{
    if ((drop & (drop - 1)) == 0)  // one byte, as most often
        return Select(Bytes(drop - 1), v, _mm_srli_si128(v, 1));
    const __m128i dropped = Bytes(drop);
    __m128i shift = And(dropped, Splat(1));
    shift = _mm_add_epi8(shift, _mm_slli_si128(shift, 1));
    shift = _mm_add_epi8(shift, _mm_slli_si128(shift, 2));
    shift = _mm_add_epi8(shift, _mm_slli_si128(shift, 4));
    shift = _mm_add_epi8(shift, _mm_slli_si128(shift, 8));
    shift = _mm_andnot_si128(dropped, shift);
    // No byte moves further than the bytes dropped, so the longer steps are
    // often not needed.
    const unsigned count = PopCount(drop);
    MoveDown<1>(&v, &shift);
    MoveDown<2>(&v, &shift);
    if (count >= 4)
        MoveDown<4>(&v, &shift);
    if (count >= 8)
        MoveDown<8>(&v, &shift);
    return v;
}

// The n bytes at p, 0 < n < 16, and zeros after them, read in at most two
// moves of a fixed size each and never past p + n.
inline __m128i LoadShort(const uchar* p, size_t n)
{
    uint64_t low = 0, high = 0;
    if (n >= 8) {
        std::memcpy(&low, p, 8);
        if (n > 8) {
            std::memcpy(&high, p + n - 8, 8);
            high >>= 8 * (16 - n);
        }
    } else if (n >= 4) {
        uint32_t a, b;
        std::memcpy(&a, p, 4);
        std::memcpy(&b, p + n - 4, 4);
        low = a | (uint64_t{b} << 8 * (n - 4));
    } else {
        low = p[0] | (uint64_t{p[n / 2]} << 8 * (n / 2)) | (uint64_t{p[n - 1]} << 8 * (n - 1));
    }
    return _mm_unpacklo_epi64(_mm_cvtsi64_si128(static_cast<long long>(low)),
                              _mm_cvtsi64_si128(static_cast<long long>(high)));
}

// x moved down by 1 to 15 bytes, with zeros shifted in. SSE2 shifts whole
// registers by a constant only, so this goes through the 64-bit halves,
// whose shifts take a count from a register and give zero for a count of
// 64 or more (a negative count, taken as unsigned, is one).
inline __m128i ShiftDown(__m128i x, unsigned bytes)
{
    const int bits = static_cast<int>(8 * bytes);
    const __m128i high = _mm_srli_si128(x, 8);
    return Or(_mm_srl_epi64(x, _mm_cvtsi32_si128(bits)),
              Or(_mm_srl_epi64(high, _mm_cvtsi32_si128(bits - 64)),
                 _mm_sll_epi64(high, _mm_cvtsi32_si128(64 - bits))));
}

// Copies n bytes, 0 < n <= 16, in at most two moves of a fixed size each.
inline void CopyShort(uchar* to, const uchar* from, size_t n)
{
    if (n >= 8) {
        uint64_t a, b;
        std::memcpy(&a, from, 8);
        std::memcpy(&b, from + n - 8, 8);
        std::memcpy(to, &a, 8);
        std::memcpy(to + n - 8, &b, 8);
    } else if (n >= 4) {
        uint32_t a, b;
        std::memcpy(&a, from, 4);
        std::memcpy(&b, from + n - 4, 4);
        std::memcpy(to, &a, 4);
        std::memcpy(to + n - 4, &b, 4);
    } else {
        const uchar first = from[0], middle = from[n / 2], last = from[n - 1];
        to[0] = first;
        to[n / 2] = middle;
        to[n - 1] = last;
    }
}

inline WordState WordBefore(unsigned halfEnd, unsigned fullEnd)
{
    return halfEnd != 0 ? HALF_WORD : fullEnd != 0 ? FULL_WORD : NO_WORD;
}

// The fast walk for one set of things to look at.
template <unsigned kLook>
void WalkBlocks(uchar* read, uchar* end, uchar* write, const CharMap& map, CharCounts* counts)
{
    // Made here, where the compiler sees which parts the loop uses.
    const Plan plan = MakePlan(map);
    if (kLook & LOOK_COUNT)
        counts->length += static_cast<size_t>(end - read);
    Carry carry = {0, 0, 0, 0, 0, 0};
    // The name's last 16 bytes, read before any store can reach them: the
    // last block is cut from them, without branching on its length.
    const bool longName = end - read >= 16;
    const __m128i last16 = longName ? Load(end - 16) : _mm_setzero_si128();
    Block block;
    for (;;) {
        const size_t rest = static_cast<size_t>(end - read);
        if (rest == 0)
            break;
        // The last bytes of the name come in a block padded with zeros: a
        // zero matches nothing, and a lead byte before it stays a character
        // of its own, as in the walk.
        const bool whole = rest >= 16;
        const __m128i v = whole      ? Load(read)
                          : longName ? ShiftDown(last16, static_cast<unsigned>(16 - rest))
                                     : LoadShort(read, rest);
        const __m128i next = whole ? Load(read + 1) : _mm_srli_si128(v, 1);
        if (!ConvertBlock<kLook>(v, next, plan, &carry, counts, &block)) {
            // Finish the character begun in the block before, and leave the
            // rest to the character walk.
            if (carry.trail != 0) {
                if (carry.replaceTrail != 0)
                    *write++ = static_cast<uchar>(carry.newTrail);
                else if (carry.dropTrail == 0)
                    *write++ = *read;
                ++read;
            }
            const unsigned at = carry.trail != 0 ? 2 : 1;
            if (kLook & LOOK_COUNT)
                counts->length -= static_cast<size_t>(end - read);
            CharWalkFrom(read, write, map, counts,
                         WordBefore(carry.halfEnds & at, carry.fullEnds & at));
            return;
        }
        const bool keepAll = block.keep == 0xFFFF;
        const __m128i result = keepAll ? block.bytes : Compact(block.bytes, ~block.keep & 0xFFFF);
        if (whole) {
            // The store reaches 16 bytes past write, no further than the
            // block just read.
            Store(write, result);
            write += keepAll ? 16 : PopCount(block.keep);
            read += 16;
            continue;
        }
        // The result, then zeros up to the old terminator, as shifting
        // would leave them.
        const unsigned kept = PopCount(block.keep & ((1u << rest) - 1));
        alignas(16) uchar bytes[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(bytes), And(result, Bytes((1u << kept) - 1)));
        const size_t span = static_cast<size_t>(end - write) + 1;
        if (span <= 16) {
            CopyShort(write, bytes, span);
        } else {
            Store(write, result);
            std::memset(write + kept, 0, span - kept);
        }
        return;
    }
    std::memset(write, 0, static_cast<size_t>(end - write) + 1);
}

}  // namespace

NameWalk FastWalkFor(const CharMap& map, bool count)
{
    if (map.letters == WIDTH_FULL)
        return nullptr;
    const bool letters =
        map.digits != WIDTH_SAME || map.letters != WIDTH_SAME || map.letterCase != CASE_SAME;
    const unsigned look = (letters ? LOOK_LETTERS : 0u) |
                          (map.letterCase != CASE_SAME ? LOOK_CASE : 0u) |
                          (map.letterCase == CASE_CAPITALIZE ? LOOK_CAPITALIZE : 0u) |
                          (count ? LOOK_COUNT : 0u);
    const unsigned all = LOOK_LETTERS | LOOK_CASE | LOOK_CAPITALIZE;
    switch (look) {
    case 0: return WalkBlocks<0>;
    case LOOK_LETTERS: return WalkBlocks<LOOK_LETTERS>;
    case LOOK_LETTERS | LOOK_CASE: return WalkBlocks<LOOK_LETTERS | LOOK_CASE>;
    case all: return WalkBlocks<all>;
    default: return WalkBlocks<all | LOOK_COUNT>;
    }
}

#endif
