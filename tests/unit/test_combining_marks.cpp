// Joining combining marks before code page 932, with a stand-in for Windows'
// normaliser that also does what NFC does to characters standing alone, so
// that touching one shows.
#include "convert/combining_marks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/name.h"
#include "convert/options.h"
#include "reference.h"

namespace {

// Every run the fake was asked to compose.
std::vector<std::u16string> g_calls;

struct Composition { char16_t base, mark, composed; };
const Composition COMPOSITIONS[] = {
    {u'\u30CF', u'\u309A', u'\u30D1'}, // ハ ゜ パ
    {u'\u30CF', u'\u3099', u'\u30D0'}, // ハ ゛ バ
    {u'\u30AB', u'\u3099', u'\u30AC'}, // カ ゛ ガ
    {u'\u306F', u'\u3099', u'\u3070'}, // は ゛ ば
    {u'\u3046', u'\u3099', u'\u3094'}, // う ゛ ゔ
    {u'e', u'\u0301', u'\u00E9'},
    {u'\u00E9', u'\u0301', u'\u1E17'}, // not NFC, but shows a second mark composing
};

// NFC's changes to characters on their own: a CJK compatibility ideograph,
// the angstrom sign.
char16_t Singleton(char16_t unit)
{
    return unit == u'\uFA10' ? u'\u585A' : unit == u'\u212B' ? u'\u00C5' : unit;
}

size_t FakeNfc(const WideChar* units, size_t count, WideChar* out, size_t capacity)
{
    g_calls.emplace_back(reinterpret_cast<const char16_t*>(units), count);
    std::u16string made;
    for (size_t i = 0; i < count; ++i) {
        const char16_t unit = static_cast<char16_t>(units[i]);
        bool composed = false;
        for (const Composition& c : COMPOSITIONS) {
            if (!made.empty() && made.back() == c.base && unit == c.mark) {
                made.back() = c.composed;
                composed = true;
                break;
            }
        }
        if (!composed)
            made += Singleton(unit);
    }
    if (made.size() > capacity)
        return 0;
    for (size_t i = 0; i < made.size(); ++i)
        out[i] = made[i];
    return made.size();
}

std::string Narrow(const std::u16string& text)
{
    std::string out;
    for (char16_t unit : text) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04X ", static_cast<unsigned>(unit));
        out += hex;
    }
    return out;
}

const SettingsWord JOIN = OPT_JOIN_MARKS;

TEST(CombiningMarks, JoinedInTheBaseNameOnly)
{
    const std::u16string tooManyKana(128, u'\u30AC');
    struct Row { std::u16string name; SettingsWord word; NameResult result; std::u16string converted; };
    const Row rows[] = {
        // パパ as a Mac stores it.
        {u"\u30CF\u309A\u30CF\u309A.txt", JOIN, NAME_CONVERTED, u"\u30D1\u30D1.txt"},
        {u"\u30CF\u309A\u30CF\u309A.txt", OPT_SPACES, NAME_UNCHANGED, u""},
        {u"\u306F\u3099 \u3046\u3099", JOIN | OPT_SPACES, NAME_CONVERTED, u"\u3070_\u3094"},
        {u"cafe\u0301 menu.txt", JOIN | 0x825, NAME_CONVERTED, u"Caf\u00E9_Menu.txt"},
        {u"e\u0301\u0301", JOIN, NAME_CONVERTED, u"\u1E17"},
        // Standing alone, NFC's singletons are kept; followed by a mark, the
        // base is the normaliser's.
        {u"\uFA10\u212B x", JOIN | OPT_SPACES, NAME_CONVERTED, u"\uFA10\u212B_x"},
        {u"\uFA10\u212B", JOIN, NAME_UNCHANGED, u""},
        {u"\u212B\u0301", JOIN, NAME_CONVERTED, u"\u00C5\u0301"},
        // A mark with nothing to join, in the extension, or first.
        {u"x\u0302", JOIN, NAME_UNCHANGED, u""},
        {u"a.e\u0301", JOIN, NAME_UNCHANGED, u""},
        {u"\u3099\u30CF", JOIN, NAME_UNCHANGED, u""},
        {u"\U0001F600\u0301", JOIN, NAME_UNCHANGED, u""},
        // Joined, then narrowed: バ becomes ﾊﾞ.
        {u"\u30CF\u3099", JOIN | OPT_KANA | OPT_KANA_TO_HALF, NAME_CONVERTED, u"\uFF8A\uFF9E"},
        // Narrowing adds a unit per voiced kana: 255 units at most.
        {tooManyKana.substr(1), OPT_KANA | OPT_KANA_TO_HALF, NAME_CONVERTED,
         [] { std::u16string s; for (int i = 0; i < 127; ++i) s += u"\uFF76\uFF9E"; return s; }()},
        {tooManyKana, OPT_KANA | OPT_KANA_TO_HALF, NAME_TOO_LONG, u""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.name));
        g_calls.clear();
        WideName out;
        out[0] = u'?';
        EXPECT_EQ(ConvertNameWith(row.word, reinterpret_cast<const WideChar*>(row.name.data()), row.name.size(),
                                  {Ref::SMALL_CODE_PAGE, FakeNfc, 0}, out),
                  row.result);
        EXPECT_EQ(Narrow(reinterpret_cast<const char16_t*>(out)), Narrow(row.converted));
        // The normaliser sees only a base with its marks.
        for (const std::u16string& call : g_calls) {
            EXPECT_GE(call.size(), 2u) << Narrow(call);
            EXPECT_FALSE(IsCombiningMark(call[0])) << Narrow(call);
            EXPECT_TRUE(IsCombiningMark(call.back())) << Narrow(call);
        }
        if (!(row.word & JOIN)) {
            EXPECT_TRUE(g_calls.empty());
        }
    }
}

// Every unit, alone and between letters: only a unit followed by a mark
// goes to the normaliser, and a failing or lengthening one changes nothing.
TEST(CombiningMarks, EveryUnit)
{
    for (unsigned u = 1; u <= 0xFFFF; ++u) {
        const WideChar unit = static_cast<WideChar>(u);
        WideChar text[] = {'a', unit, 'b', unit};
        g_calls.clear();
        const size_t length = JoinCombiningMarks(text, 4, FakeNfc);
        const bool mark = IsCombiningMark(unit);
        ASSERT_EQ(length, 4u) << u;
        ASSERT_TRUE(text[0] == 'a' && text[1] == unit && text[2] == 'b' && text[3] == unit) << u;
        ASSERT_EQ(g_calls.size(), mark ? 2u : 0u) << u;
    }
    auto failing = [](const WideChar*, size_t, WideChar*, size_t) -> size_t { return 0; };
    auto longer = [](const WideChar*, size_t count, WideChar* out, size_t) -> size_t {
        for (size_t i = 0; i <= count; ++i)
            out[i] = 'x';
        return count + 1;
    };
    for (Normalizer normalize : {static_cast<Normalizer>(failing), static_cast<Normalizer>(longer)}) {
        WideChar text[] = {0x30CF, 0x309A, 'e', 0x0301};
        ASSERT_EQ(JoinCombiningMarks(text, 4, normalize), 4u);
        EXPECT_TRUE(text[0] == 0x30CF && text[1] == 0x309A && text[2] == 'e' && text[3] == 0x0301);
    }
}

} // namespace
