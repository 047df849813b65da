// Every single byte and every pair of bytes, alone and between other
// characters, through every conversion. Three checks per case: the result
// equals the naive reference; it equals a character-by-character map that
// changes only the characters the conversion names (so lengths change by
// exactly one byte per converted character); and a second pass changes
// nothing.
#include "convert/convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>

#include "convert/kana.h"
#include "convert/pipeline.h"
#include "reference.h"

namespace {

typedef unsigned char uchar;

// Image of one character under a conversion: writes it to out and returns
// its length. Characters the conversion does not name are copied.
typedef size_t (*MapChar)(const uchar* c, size_t len, uchar* out);

// The same for a conversion that joins a character with the next: the image
// of what starts at s[i], which takes *step bytes of s.
typedef size_t (*MapPair)(const uchar* s, size_t i, size_t* step, uchar* out);

struct Conversion {
    const char* name;
    bool (*run)(char* name, size_t capacity);
    void (*ref)(char* name);
    MapChar map; // null: see pairMap
    MapPair pairMap; // null too: case-dependent on neighbours, checked by CapitalizeKeepsLetters
};

size_t Copy(const uchar* c, size_t len, uchar* out)
{
    std::memcpy(out, c, len);
    return len;
}

size_t One(uchar* out, int v)
{
    out[0] = static_cast<uchar>(v);
    return 1;
}

size_t Two(uchar* out, int v)
{
    out[0] = 0x82;
    out[1] = static_cast<uchar>(v);
    return 2;
}

bool InRange(uchar c, int lo, int hi) { return c >= lo && c <= hi; }

size_t MapSpaces(const uchar* c, size_t len, uchar* out)
{
    if ((len == 1 && c[0] == 0x20) || (len == 2 && c[0] == 0x81 && c[1] == 0x40))
        return One(out, 0x5F);
    return Copy(c, len, out);
}

size_t MapDigitsFull(const uchar* c, size_t len, uchar* out)
{
    if (len == 1 && InRange(c[0], 0x30, 0x39))
        return Two(out, c[0] + 0x1F);
    return Copy(c, len, out);
}

size_t MapDigitsHalf(const uchar* c, size_t len, uchar* out)
{
    if (len == 2 && c[0] == 0x82 && InRange(c[1], 0x4F, 0x58))
        return One(out, c[1] - 0x1F);
    return Copy(c, len, out);
}

size_t MapLettersFull(const uchar* c, size_t len, uchar* out)
{
    if (len == 1 && InRange(c[0], 0x41, 0x5A))
        return Two(out, c[0] + 0x1F);
    if (len == 1 && InRange(c[0], 0x61, 0x7A))
        return Two(out, c[0] + 0x20);
    return Copy(c, len, out);
}

size_t MapLettersHalf(const uchar* c, size_t len, uchar* out)
{
    if (len == 2 && c[0] == 0x82 && InRange(c[1], 0x60, 0x79))
        return One(out, c[1] - 0x1F);
    if (len == 2 && c[0] == 0x82 && InRange(c[1], 0x81, 0x9A))
        return One(out, c[1] - 0x20);
    return Copy(c, len, out);
}

// Blanks and both widths at once, as the half-width job with blanks does
// them in one walk. The kinds of character are apart, so each map takes
// its own.
size_t MapBlanksAndHalfWidth(const uchar* c, size_t len, uchar* out)
{
    if (len == 2 && c[0] == 0x82 && InRange(c[1], 0x4F, 0x58))
        return MapDigitsHalf(c, len, out);
    if (len == 2 && c[0] == 0x82)
        return MapLettersHalf(c, len, out);
    return MapSpaces(c, len, out);
}

// Katakana, read from the one table both directions share.
size_t MapKanaHalf(const uchar* c, size_t len, uchar* out)
{
    if (len == 2) {
        for (int b = HALF_KANA_FIRST; b <= HALF_KANA_LAST; ++b) {
            const HalfKana& k = HALF_KANA[b - HALF_KANA_FIRST];
            if (c[0] != k.lead)
                continue;
            if (c[1] == k.trail)
                return One(out, b);
            if ((k.voiced != 0 && c[1] == k.voiced) || (k.semiVoiced != 0 && c[1] == k.semiVoiced)) {
                out[0] = static_cast<uchar>(b);
                out[1] = c[1] == k.voiced ? 0xDE : 0xDF;
                return 2;
            }
        }
    }
    return Copy(c, len, out);
}

size_t MapKanaFull(const uchar* s, size_t i, size_t* step, uchar* out)
{
    *step = Ref::CharLength(s, i);
    if (*step == 2 || !InRange(s[i], HALF_KANA_FIRST, HALF_KANA_LAST))
        return Copy(s + i, *step, out);
    const HalfKana& k = HALF_KANA[s[i] - HALF_KANA_FIRST];
    out[0] = k.lead;
    out[1] = k.trail;
    if ((s[i + 1] == 0xDE && k.voiced != 0) || (s[i + 1] == 0xDF && k.semiVoiced != 0)) {
        out[1] = s[i + 1] == 0xDE ? k.voiced : k.semiVoiced;
        *step = 2;
    }
    return 2;
}

size_t MapJoin(const uchar* s, size_t i, size_t* step, uchar* out)
{
    *step = Ref::CharLength(s, i);
    if (*step == 2 && Ref::CharLength(s, i + 2) == 2) {
        for (const char* join : Ref::JOINS) {
            if (std::memcmp(s + i, join, 4) == 0) {
                *step = 4;
                return Copy(reinterpret_cast<const uchar*>(join) + 4, 2, out);
            }
        }
    }
    return Copy(s + i, *step, out);
}

// Marks joined, blanks, katakana to half width: what the three do to one
// character, one after the other.
size_t MapJoinBlanksKanaHalf(const uchar* s, size_t i, size_t* step, uchar* out)
{
    uchar joined[4];
    const size_t n = MapJoin(s, i, step, joined);
    uchar blank[4];
    const size_t m = MapSpaces(joined, n, blank);
    return MapKanaHalf(blank, m, out);
}

const SettingsWord JOIN_BLANKS_KANA_HALF =
    OPT_JOIN_MARKS | OPT_SPACES | OPT_KANA | OPT_KANA_TO_HALF;

const SettingsWord BLANKS_AND_HALF_WIDTH = OPT_SPACES | OPT_DIGITS | OPT_DIGITS_TO_HALF |
                                           OPT_LETTERS | OPT_LETTERS_TO_HALF | OPT_CASE_KEEP;

size_t MapUpper(const uchar* c, size_t len, uchar* out)
{
    if (len == 1 && InRange(c[0], 0x61, 0x7A))
        return One(out, c[0] - 0x20);
    if (len == 2 && c[0] == 0x82 && InRange(c[1], 0x81, 0x9A))
        return Two(out, c[1] - 0x21);
    return Copy(c, len, out);
}

size_t MapLower(const uchar* c, size_t len, uchar* out)
{
    if (len == 1 && InRange(c[0], 0x41, 0x5A))
        return One(out, c[0] + 0x20);
    if (len == 2 && c[0] == 0x82 && InRange(c[1], 0x60, 0x79))
        return Two(out, c[1] + 0x21);
    return Copy(c, len, out);
}

const Conversion CONVERSIONS[] = {
    {"SpacesToUnderbar", [](char* s, size_t) { SpacesToUnderbar(s); return true; },
     Ref::SpacesToUnderbar, MapSpaces, nullptr},
    {"DigitsToFullWidth", DigitsToFullWidth, Ref::DigitsToFullWidth, MapDigitsFull, nullptr},
    {"DigitsToHalfWidth", [](char* s, size_t) { DigitsToHalfWidth(s); return true; },
     Ref::DigitsToHalfWidth, MapDigitsHalf, nullptr},
    {"LettersToFullWidth", LettersToFullWidth, Ref::LettersToFullWidth, MapLettersFull, nullptr},
    {"LettersToHalfWidth", [](char* s, size_t) { LettersToHalfWidth(s); return true; },
     Ref::LettersToHalfWidth, MapLettersHalf, nullptr},
    {"LettersToUpper", [](char* s, size_t) { LettersToUpper(s); return true; },
     Ref::LettersToUpper, MapUpper, nullptr},
    {"LettersToLower", [](char* s, size_t) { LettersToLower(s); return true; },
     Ref::LettersToLower, MapLower, nullptr},
    {"CapitalizeWords", [](char* s, size_t) { CapitalizeWords(s); return true; },
     Ref::CapitalizeWords, nullptr, nullptr},
    {"BlanksAndHalfWidth",
     [](char* s, size_t capacity) { return ConvertNameWithWord(BLANKS_AND_HALF_WIDTH, s, capacity); },
     [](char* s) {
         Ref::SpacesToUnderbar(s);
         Ref::DigitsToHalfWidth(s);
         Ref::LettersToHalfWidth(s);
     },
     MapBlanksAndHalfWidth, nullptr},
    {"KatakanaToFullWidth", KatakanaToFullWidth, Ref::KatakanaToFullWidth, nullptr, MapKanaFull},
    {"KatakanaToHalfWidth", [](char* s, size_t) { KatakanaToHalfWidth(s); return true; },
     Ref::KatakanaToHalfWidth, MapKanaHalf, nullptr},
    {"JoinSpacingMarks", [](char* s, size_t) { JoinSpacingMarks(s); return true; },
     Ref::JoinSpacingMarks, nullptr, MapJoin},
    {"JoinBlanksKanaHalf",
     [](char* s, size_t capacity) { return ConvertNameWithWord(JOIN_BLANKS_KANA_HALF, s, capacity); },
     [](char* s) {
         Ref::JoinSpacingMarks(s);
         Ref::SpacesToUnderbar(s);
         Ref::KatakanaToHalfWidth(s);
     },
     nullptr, MapJoinBlanksKanaHalf},
};

// Capitalising may change only the case of letters, never their width or
// anything else.
bool CapitalizeKeepsLetters(const uchar* in, const uchar* out)
{
    for (size_t i = 0; in[i] != 0;) {
        const size_t len = Ref::CharLength(in, i);
        if (len == 1 && (InRange(in[i], 0x41, 0x5A) || InRange(in[i], 0x61, 0x7A))) {
            if ((in[i] | 0x20) != (out[i] | 0x20))
                return false;
        } else if (len == 2 && in[i] == 0x82 && Ref::IsFullWidthLetterTrail(in[i + 1])) {
            auto fold = [](uchar t) { return t <= 0x79 ? t + 0x21 : t; };
            if (out[i] != 0x82 || !Ref::IsFullWidthLetterTrail(out[i + 1]) ||
                fold(in[i + 1]) != fold(out[i + 1]))
                return false;
        } else if (std::memcmp(in + i, out + i, len) != 0) {
            return false;
        }
        i += len;
    }
    return out[std::strlen(reinterpret_cast<const char*>(in))] == 0;
}

const size_t ARENA = 128;

bool Fail(const Conversion& conv, const char* in, const char* what, const char* got,
          const char* expected)
{
    ADD_FAILURE() << conv.name << " on " << Ref::Hex(in) << ": " << what << "\n  got      "
                  << Ref::Hex(got) << "\n  expected " << Ref::Hex(expected);
    return false;
}

// Runs one input through the three checks; false after a failure has been
// reported. arena is a heap buffer of ARENA bytes.
bool Check(const Conversion& conv, char* arena, const char* in)
{
    const size_t n = std::strlen(in);
    char ref[ARENA];
    std::memcpy(ref, in, n + 1);
    conv.ref(ref);

    // The capacity is exactly what the reference result needs, and the
    // buffer ends there, so AddressSanitizer sees any byte beyond it.
    const size_t capacity = std::max(n, std::strlen(ref)) + 1;
    char* got = arena + ARENA - capacity;
    std::memcpy(got, in, n + 1);
    if (!conv.run(got, capacity))
        return Fail(conv, in, "returned false at the exact capacity", got, ref);
    if (std::strcmp(got, ref) != 0)
        return Fail(conv, in, "differs from the reference", got, ref);

    const uchar* u = reinterpret_cast<const uchar*>(in);
    if (conv.map) {
        uchar mapped[ARENA];
        size_t m = 0;
        for (size_t i = 0; u[i] != 0;) {
            const size_t len = Ref::CharLength(u, i);
            m += conv.map(u + i, len, mapped + m);
            i += len;
        }
        mapped[m] = 0;
        if (std::strcmp(got, reinterpret_cast<char*>(mapped)) != 0)
            return Fail(conv, in, "changes more or less than the named characters", got,
                        reinterpret_cast<char*>(mapped));
    } else if (conv.pairMap) {
        uchar mapped[ARENA];
        size_t m = 0;
        for (size_t i = 0, step = 0; u[i] != 0; i += step)
            m += conv.pairMap(u, i, &step, mapped + m);
        mapped[m] = 0;
        if (std::strcmp(got, reinterpret_cast<char*>(mapped)) != 0)
            return Fail(conv, in, "changes more or less than the named characters", got,
                        reinterpret_cast<char*>(mapped));
    } else if (!CapitalizeKeepsLetters(u, reinterpret_cast<const uchar*>(got))) {
        return Fail(conv, in, "changes more than the case of letters", got, ref);
    }

    if (!conv.run(got, capacity) || std::strcmp(got, ref) != 0)
        return Fail(conv, in, "second pass changed the result", got, ref);
    return true;
}

// Characters placed around the swept bytes: an ASCII letter before and a
// digit after, a full-width letter before and a space after, nothing at all
// (the swept bytes end the string), and ｶ before and ゛ after, which join
// with a mark or a kana.
const char* const PREFIXES[] = {"", "a", "\x82\x81", "\xB6"};
const char* const SUFFIXES[] = {"", "1", " ", "\x81\x4A"};

void Sweep(const Conversion& conv)
{
    std::unique_ptr<char[]> arena(new char[ARENA]);
    char buf[16];
    for (int a = 1; a <= 0xFF; ++a) {
        for (int b = 0; b <= 0xFF; ++b) {
            // b == 0: the single byte a on its own.
            for (size_t k = 0; k < std::size(PREFIXES); ++k) {
                const size_t p = std::strlen(PREFIXES[k]);
                std::memcpy(buf, PREFIXES[k], p);
                buf[p] = static_cast<char>(a);
                buf[p + 1] = static_cast<char>(b);
                std::strcpy(buf + p + (b ? 2 : 1), SUFFIXES[k]);
                if (!Check(conv, arena.get(), buf))
                    return;
            }
        }
    }
}

TEST(Sweep, SpacesToUnderbar) { Sweep(CONVERSIONS[0]); }
TEST(Sweep, DigitsToFullWidth) { Sweep(CONVERSIONS[1]); }
TEST(Sweep, DigitsToHalfWidth) { Sweep(CONVERSIONS[2]); }
TEST(Sweep, LettersToFullWidth) { Sweep(CONVERSIONS[3]); }
TEST(Sweep, LettersToHalfWidth) { Sweep(CONVERSIONS[4]); }
TEST(Sweep, LettersToUpper) { Sweep(CONVERSIONS[5]); }
TEST(Sweep, LettersToLower) { Sweep(CONVERSIONS[6]); }
TEST(Sweep, CapitalizeWords) { Sweep(CONVERSIONS[7]); }
TEST(Sweep, BlanksAndHalfWidth) { Sweep(CONVERSIONS[8]); }
TEST(Sweep, KatakanaToFullWidth) { Sweep(CONVERSIONS[9]); }
TEST(Sweep, KatakanaToHalfWidth) { Sweep(CONVERSIONS[10]); }
TEST(Sweep, JoinSpacingMarks) { Sweep(CONVERSIONS[11]); }
TEST(Sweep, JoinBlanksKanaHalf) { Sweep(CONVERSIONS[12]); }

// Strings of three bytes drawn from the values where the character model
// turns: a lead byte, 0x82, the bytes that are letters, digits or spaces
// only as trail bytes, and the edges of each range. Every order of three
// shows whether a conversion keeps in step after a double-byte character
// or a lone lead byte.
TEST(Sweep, TriplesOfTurningBytes)
{
    const uchar turning[] = {0x20, 0x30, 0x39, 0x40, 0x41, 0x4A, 0x4F, 0x58, 0x5A, 0x5C,
                             0x5F, 0x60, 0x61, 0x6E, 0x79, 0x7A, 0x7F, 0x80, 0x81, 0x82,
                             0x83, 0x9A, 0x9B, 0x9F, 0xA0, 0xA1, 0xB6, 0xDE, 0xDF, 0xE0,
                             0xFC, 0xFD, 0xFF};
    for (const Conversion& conv : CONVERSIONS) {
        std::unique_ptr<char[]> arena(new char[ARENA]);
        for (uchar x : turning)
            for (uchar y : turning)
                for (uchar z : turning) {
                    const char s[] = {static_cast<char>(x), static_cast<char>(y),
                                      static_cast<char>(z), 'b', 0};
                    if (!Check(conv, arena.get(), s) || !Check(conv, arena.get(), s + 1))
                        return;
                }
    }
}

// The same turning bytes again, further into a name (offsets 14-17 and
// 30-33), where the read and write positions of a walk have drifted apart:
// a double-byte character (an ideographic space, a full-width digit or
// letter among them), a lone lead byte, and the terminator right after, one
// or two bytes later. What comes before is whole characters that the
// conversions change and that change the length (an ideographic space, a
// full-width digit and letter), a kanji whose trail is a lead-range byte,
// and a letter of either width just before the swept bytes.
std::string Filler(size_t length)
{
    static const char pattern[] = "\x81\x40\x82\x51 \x8C\x82Z\x82\x60\x95\x5C" "1";
    std::string filler;
    for (size_t i = 0; filler.size() < length; i = (i + 1) % (sizeof pattern - 1)) {
        const unsigned char c = static_cast<unsigned char>(pattern[i]);
        const size_t charLength = Ref::IsLeadByte(c) ? 2 : 1;
        if (filler.size() + charLength > length)
            break;
        filler.append(pattern + i, charLength);
        i += charLength - 1;
    }
    filler.resize(length, 'x');
    return filler;
}

TEST(Sweep, AfterCharactersThatChangeTheLength)
{
    const uchar turning[] = {0x00, 0x20, 0x30, 0x39, 0x40, 0x41, 0x4F, 0x58, 0x5A, 0x5C,
                             0x5F, 0x60, 0x61, 0x79, 0x7A, 0x7F, 0x80, 0x81, 0x82, 0x9A,
                             0x9B, 0x9F, 0xA0, 0xA1, 0xDF, 0xE0, 0xFC, 0xFD, 0xFF};
    const char* const lastBefore[] = {"a", "\x82\x81"};
    std::unique_ptr<char[]> arena(new char[ARENA]);
    for (const Conversion& conv : CONVERSIONS) {
        for (size_t offset : {14, 15, 16, 17, 30, 31, 32, 33}) {
            for (const char* last : lastBefore) {
                const std::string prefix = Filler(offset - std::strlen(last)) + last;
                for (uchar x : turning) {
                    if (x == 0)
                        continue;
                    for (uchar y : turning)
                        for (const char* suffix : SUFFIXES) {
                            std::string s = prefix;
                            s += static_cast<char>(x);
                            if (y != 0)
                                s += static_cast<char>(y);
                            s += suffix;
                            if (!Check(conv, arena.get(), s.c_str()))
                                return;
                        }
                }
            }
        }
    }
}

} // namespace
