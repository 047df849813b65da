// The fast path: the same conversions as the character walk in convert.cpp,
// 16 bytes at a time with SSE2, for every map that widens nothing, and for
// the blocks of a widening map that hold nothing to widen.
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
// backslashes the same way.) The only thing a block takes from the one
// before is one bit: whether its byte 0 is the trail of a lead at byte 15.
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

const unsigned EVEN_BITS = 0x5555;
const unsigned ODD_BITS = 0xAAAA;

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

// Converts the block v, whose byte i + 1 is byte i of next. Returns false,
// changing nothing, when the block holds a character that map widens.
inline bool ConvertBlock(__m128i v, __m128i next, const CharMap& map, Carry* carry,
                         CharCounts* counts, Block* out)
{
    // As if byte 0 started a character; if it is a trail instead, the starts
    // in a run of leads from byte 0 are the other ones. The carried bit
    // comes in only at the end, so that the next block need not wait long.
    const unsigned leads = Bits(Or(InRange(v, 0x81, 0x9F), InRange(v, 0xE0, 0xFC)));
    const unsigned runAtZero = leads & ~(leads + 1);
    const unsigned trailIn = carry->trail;
    const unsigned leadStarts = LeadsAtStarts(leads) ^ (runAtZero & (0u - trailIn));
    const unsigned starts = ~((leadStarts << 1) | trailIn) & 0xFFFF;

    out->bytes = v;
    if (carry->replaceTrail != 0) {
        const int first = _mm_extract_epi16(v, 0);
        const unsigned replaced = (static_cast<unsigned>(first) & 0xFF00) | carry->newTrail;
        out->bytes = _mm_insert_epi16(v, static_cast<short>(replaced), 0);
    }
    out->keep = 0xFFFF & ~carry->dropTrail;
    const Carry in = *carry;
    carry->trail = leadStarts >> 15;
    carry->dropTrail = 0;
    carry->replaceTrail = 0;
    carry->halfEnds = 0;
    carry->fullEnds = 0;

    // Most blocks of most names hold nothing a map changes: a few compares,
    // kept where characters start, find those. Blanks alone are so common,
    // and so cheap to convert, that a test for them costs more than it saves.
    const __m128i is82 = _mm_cmpeq_epi8(v, Splat(0x82));
    const __m128i ideographicSpace =
        And(_mm_cmpeq_epi8(v, Splat(0x81)), _mm_cmpeq_epi8(next, Splat(0x40)));
    const bool caseWork = map.letterCase != CASE_SAME;
    const bool letterWork = map.letters != WIDTH_SAME || caseWork;
    if (counts == nullptr && (letterWork || map.digits != WIDTH_SAME)) {
        __m128i touched = _mm_setzero_si128();
        if (map.spaces)
            touched = Or(_mm_cmpeq_epi8(v, Splat(0x20)), ideographicSpace);
        if (map.digits == WIDTH_HALF)
            touched = Or(touched, And(is82, InRange(next, 0x4F, 0x58)));
        else if (map.digits == WIDTH_FULL)
            touched = Or(touched, InRange(v, 0x30, 0x39));
        if (letterWork)
            touched = Or(touched, And(is82, InRange(next, 0x60, 0x9A)));
        if (caseWork || map.letters == WIDTH_FULL)
            touched = Or(touched, InRange(Or(v, Splat(0x20)), 0x61, 0x7A));
        if ((Bits(touched) & starts) == 0)
            return true;
    }

    const __m128i atStart = Bytes(starts);
    unsigned halfDigits = 0;
    if (counts != nullptr || map.digits == WIDTH_FULL) {
        halfDigits = Bits(And(atStart, InRange(v, 0x30, 0x39)));
        if (map.digits == WIDTH_FULL && halfDigits != 0) {
            *carry = in;
            return false;
        }
    }
    __m128i halfLower = _mm_setzero_si128(), halfLetter = halfLower;
    __m128i fullLower = halfLower, fullLetter = halfLower;
    unsigned halfLetters = 0, fullLetters = 0;
    if (counts != nullptr || caseWork || map.letters == WIDTH_FULL) {
        halfLower = And(atStart, InRange(v, 0x61, 0x7A));
        halfLetter = Or(halfLower, And(atStart, InRange(v, 0x41, 0x5A)));
        halfLetters = Bits(halfLetter);
    }
    if (counts != nullptr || letterWork) {
        fullLower = And(atStart, And(is82, InRange(next, 0x81, 0x9A)));  // ａ-ｚ
        fullLetter = Or(fullLower, And(atStart, And(is82, InRange(next, 0x60, 0x79))));  // Ａ-Ｚ
        fullLetters = Bits(fullLetter);
        if (map.letters == WIDTH_FULL && halfLetters != 0) {
            *carry = in;
            return false;
        }
    }
    const __m128i fullDigit = And(atStart, And(is82, InRange(next, 0x4F, 0x58)));  // ０-９
    const __m128i ideographicSpaceAtStart = And(atStart, ideographicSpace);
    if (counts != nullptr) {
        counts->ideographicSpaces += PopCount(Bits(ideographicSpaceAtStart));
        counts->halfDigits += PopCount(halfDigits);
        counts->fullDigits += PopCount(Bits(fullDigit));
        counts->halfLetters += PopCount(halfLetters);
        counts->fullLetters += PopCount(fullLetters);
    }

    unsigned dropLeads = 0;  // double-byte characters that become one byte
    if (map.spaces) {
        const __m128i space = And(atStart, _mm_cmpeq_epi8(v, Splat(0x20)));
        out->bytes = Select(Or(ideographicSpaceAtStart, space), Splat(0x5F), out->bytes);
        dropLeads |= Bits(ideographicSpaceAtStart);
    }
    if (map.digits == WIDTH_HALF) {
        out->bytes = Select(fullDigit, _mm_sub_epi8(next, Splat(0x1F)), out->bytes);
        dropLeads |= Bits(fullDigit);
    }

    if ((halfLetters | fullLetters) != 0 && letterWork) {
        // 0xFF at the letters that end up small. (Half-width letters are
        // left out above when neither their case nor their width changes.)
        __m128i small = _mm_setzero_si128();
        switch (map.letterCase) {
        case CASE_SAME: small = Or(halfLower, fullLower); break;
        case CASE_UPPER: break;
        case CASE_LOWER: small = Or(halfLetter, fullLetter); break;
        case CASE_CAPITALIZE: {
            // Letters by the width they end up with, and the byte each ends
            // on; bit 0 may be a letter begun in the block before. A letter
            // right after one of the same width continues a word.
            const unsigned letters = halfLetters | fullLetters;
            const unsigned toHalf = map.letters == WIDTH_HALF ? letters : halfLetters;
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
            break;
        }
        }

        const __m128i smallBit = And(small, Splat(0x20));
        if (caseWork)
            out->bytes = Select(halfLetter, Or(And(v, Splat(0xDF)), smallBit), out->bytes);
        if (map.letters == WIDTH_HALF) {
            // 82 60-79 and 82 81-9A to 41-5A, then the case bit.
            const __m128i capital = _mm_sub_epi8(next, Select(fullLower, Splat(0x40), Splat(0x1F)));
            out->bytes = Select(fullLetter, Or(capital, smallBit), out->bytes);
            dropLeads |= fullLetters;
        } else if (caseWork) {
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
inline __m128i Compact(__m128i v, unsigned drop)
{
    if (drop == 0)
        return v;
    const __m128i dropped = Bytes(drop);
    __m128i shift = And(dropped, Splat(1));
    shift = _mm_add_epi8(shift, _mm_slli_si128(shift, 1));
    shift = _mm_add_epi8(shift, _mm_slli_si128(shift, 2));
    shift = _mm_add_epi8(shift, _mm_slli_si128(shift, 4));
    shift = _mm_add_epi8(shift, _mm_slli_si128(shift, 8));
    shift = _mm_andnot_si128(dropped, shift);
    MoveDown<1>(&v, &shift);
    MoveDown<2>(&v, &shift);
    MoveDown<4>(&v, &shift);
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

}  // namespace

bool FastWalk(uchar** readAt, uchar** writeAt, WordState* word, const CharMap& map,
              CharCounts* counts)
{
    uchar* read = *readAt;
    uchar* write = *writeAt;
    uchar* const end = read + std::strlen(reinterpret_cast<const char*>(read));
    if (counts != nullptr)
        counts->length += static_cast<size_t>(end - read);
    Carry carry = {0, 0, 0, 0, *word == HALF_WORD ? 1u : 0u,
                   *word == FULL_WORD ? 1u : 0u};
    // A copy: a store through write could alias map's fields and make
    // the compiler load them again for every block.
    const CharMap local = map;
    Block block;
    for (;;) {
        const size_t rest = static_cast<size_t>(end - read);
        if (rest == 0)
            break;
        // The last bytes of the name come in a block padded with zeros: a
        // zero matches nothing, and a lead byte before it stays a character
        // of its own, as in the walk.
        const bool whole = rest >= 16;
        const __m128i v =
            whole ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(read)) : LoadShort(read, rest);
        const __m128i next =
            whole ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(read + 1)) : _mm_srli_si128(v, 1);
        if (!ConvertBlock(v, next, local, &carry, counts, &block)) {
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
            *word = WordBefore(carry.halfEnds & at, carry.fullEnds & at);
            if (counts != nullptr)
                counts->length -= static_cast<size_t>(end - read);
            *readAt = read;
            *writeAt = write;
            return false;
        }
        const __m128i result = Compact(block.bytes, ~block.keep & 0xFFFF);
        if (whole) {
            // The store reaches 16 bytes past write, no further than the
            // block just read.
            _mm_storeu_si128(reinterpret_cast<__m128i*>(write), result);
            write += PopCount(block.keep);
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
            _mm_storeu_si128(reinterpret_cast<__m128i*>(write), result);
            std::memset(write + kept, 0, span - kept);
        }
        return true;
    }
    std::memset(write, 0, static_cast<size_t>(end - write) + 1);
    return true;
}

#endif
