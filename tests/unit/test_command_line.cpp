#include "app/command_line.h"
#include "app/command_options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "convert/name.h"
#include "convert/pipeline.h"
#include "convert/sjis.h"
#include "convert/strings.h"
#include "reference.h"

namespace {

// Code units of an ASCII string, as UTF-16 (the command line as
// GetCommandLineW gives it).
bool IsAscii(const std::string& text)
{
    for (unsigned char c : text) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

std::u16string Widen(const std::string& ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

std::string Narrow(const std::u16string& ascii)
{
    return std::string(ascii.begin(), ascii.end());
}

// The tokens of tail; an ASCII tail is split again as UTF-16, which must
// give the same tokens.
// capacity is the token buffer's size; the program's holds a whole command
// line.
template <typename Unit>
std::vector<std::basic_string<Unit>> TokensOf(const Unit* tail, int* tooLong, size_t capacity = WIDE_PATH_SIZE)
{
    std::vector<std::basic_string<Unit>> tokens;
    std::vector<Unit> token(capacity);
    size_t position = 0;
    int skipped = 0;
    for (int guard = 0; guard < 1000; ++guard) {
        TokenResult result = NextToken(tail, &position, token.data(), capacity);
        if (result == TAIL_END)
            break;
        if (result == TAIL_PATH)
            tokens.push_back(token.data());
        else
            ++skipped;
    }
    if (tooLong != nullptr)
        *tooLong = skipped;
    return tokens;
}

std::vector<std::string> Tokens(const char* tail, int* tooLong = nullptr, size_t capacity = WIDE_PATH_SIZE)
{
    std::vector<std::string> tokens = TokensOf(tail, tooLong, capacity);
    if (IsAscii(tail)) {
        int wideTooLong = 0;
        std::vector<std::string> wide;
        for (const std::u16string& token : TokensOf(Widen(tail).c_str(), &wideTooLong, capacity))
            wide.push_back(Narrow(token));
        EXPECT_EQ(wide, tokens) << "as UTF-16";
        EXPECT_EQ(wideTooLong, tooLong != nullptr ? *tooLong : wideTooLong) << "as UTF-16";
    }
    return tokens;
}

TEST(SkipProgramName, QuotedAndUnquotedNames)
{
    struct Row { const char* line; const char* tail; };
    const Row rows[] = {
        {"\"C:\\Program Files\\bm.exe\" \"C:\\a b.txt\"", "\"C:\\a b.txt\""},
        {"\"C:\\bm.exe\"\"C:\\a b.txt\"", "\"C:\\a b.txt\""},
        {"\"C:\\bm.exe\"x y", "x y"},
        {"C:\\bm.exe  \t x", "x"},
        {"bm.exe\tx", "x"},
        {"bm.exe", ""},
        {"\"C:\\bm.exe\"   \t \t", ""},
        {"bm.exe \t  ", ""},
        {"", ""},
        {"\"C:\\no closing quote x", ""},
        // Program names with trail bytes 0x5C (ソ, 表) and a lead-range trail
        // byte (ル) followed by the closing quote.
        {"\"C:\\\x83\x5C\\\x95\x5C\\bm.exe\" a", "a"},
        {"\"C:\\\x83\x74\x83\x40\x83\x43\x83\x8B\" a", "a"},
        {"C:\\\x83\x5C\\bm.exe a", "a"},
        // Only bytes 0x01-0x20 are passed over after the name.
        {"bm.exe \x7F" "a", "\x7F" "a"},
        {"bm.exe \x81\x40x", "\x81\x40x"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_STREQ(SkipProgramName(row.line), row.tail);
        if (IsAscii(row.line)) {
            const std::u16string wide = Widen(row.line);
            EXPECT_EQ(Narrow(SkipProgramName(wide.c_str())), row.tail) << "as UTF-16";
        }
    }
    // UTF-16 units that are no blank, whatever their low byte.
    EXPECT_EQ(std::u16string(SkipProgramName(u"\"C:\\caf\u00e9\u3000\u0120\" x")), u"x");
    EXPECT_EQ(std::u16string(SkipProgramName(u"bm\u0120\u3000.exe \u0120x")), u"\u0120x");
}

TEST(NextToken, SplitsTheTail)
{
    struct Row { const char* tail; std::vector<std::string> tokens; };
    const Row rows[] = {
        {"\"C:\\My Docs\\a b.txt\" \"C:\\My Docs\\c d.txt\"",
         {"C:\\My Docs\\a b.txt", "C:\\My Docs\\c d.txt"}},
        {"C:\\x\\one C:\\x\\two", {"C:\\x\\one", "C:\\x\\two"}},
        {"a   b ", {"a", "b"}},
        {"", {}},
        {"   ", {}},
        // A missing closing quote runs to the end.
        {"\"C:\\a b", {"C:\\a b"}},
        {"x \"C:\\a b", {"x", "C:\\a b"}},
        {"\"", {""}},
        // Empty quotes are an (empty) path of their own.
        {"\"\"", {""}},
        {"\"\" x", {"", "x"}},
        {"x \"\"", {"x", ""}},
        // A quoted path directly followed by another path.
        {"\"a b\"c", {"a b", "c"}},
        {"\"a b\"\"c d\"", {"a b", "c d"}},
        {"\"a b\" c", {"a b", "c"}},
        // The position is left on the space after a quoted path; the next
        // character may be another space.
        {"\"a\"  c", {"a", "c"}},
        // A quote inside an unquoted path is an ordinary byte.
        {"ab\"c d\"", {"ab\"c", "d\""}},
        // Tabs and ideographic spaces do not separate.
        {"a\tb c", {"a\tb", "c"}},
        {"\x89\xEF\x8B\x63\x81\x40\x8E\x91\x97\xBF.pdf x", {"\x89\xEF\x8B\x63\x81\x40\x8E\x91\x97\xBF.pdf", "x"}},
        // Trail bytes that look like a backslash, an underbar, a letter or a
        // lead byte change nothing.
        {"\x83\x5C\\\x95\x5C \x83\x5F\x83\x41 \"\x83\x8B\\a b\"",
         {"\x83\x5C\\\x95\x5C", "\x83\x5F\x83\x41", "\x83\x8B\\a b"}},
        // A lone lead byte at the end is kept as it is.
        {"a\x81", {"a\x81"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.tail);
        EXPECT_EQ(Tokens(row.tail), row.tokens);
    }
}

TEST(NextToken, UnitsWhoseLowByteIsABlankOrAQuote)
{
    // U+0120 and U+0122 end in 0x20 and 0x22, and U+FF02 is the full-width
    // quote: none of them separates or quotes.
    struct Row { std::u16string tail; std::vector<std::u16string> tokens; };
    const Row rows[] = {
        {u"\"C:\\caf\u00e9 x\" \u00e9\u0120 y", {u"C:\\caf\u00e9 x", u"\u00e9\u0120", u"y"}},
        {u"a\u0122b \uFF02c d\uFF02", {u"a\u0122b", u"\uFF02c", u"d\uFF02"}},
        {u"\"\U00020BB7 \U0001F600\"\u3000z", {u"\U00020BB7 \U0001F600", u"\u3000z"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.tail));
        EXPECT_EQ(TokensOf(row.tail.c_str(), nullptr), row.tokens);
    }
}

TEST(NextToken, AtTheEndStaysAtTheEnd)
{
    NameBuffer token;
    size_t position = 0;
    const char* tail = "\"a b\"";
    EXPECT_EQ(NextToken(tail, &position, token, sizeof token), TAIL_PATH);
    EXPECT_EQ(NextToken(tail, &position, token, sizeof token), TAIL_END);
    EXPECT_EQ(NextToken(tail, &position, token, sizeof token), TAIL_END);
    EXPECT_STREQ(token, "");
    EXPECT_EQ(position, 5u);
}

TEST(NextToken, LongPathsArePassedOverWhole)
{
    // In a buffer of 256 units, 255 fit; 256 do not, quoted or not, and
    // nothing of them is handed on: neither a cut prefix nor the rest as a
    // path of its own.
    const std::string fits(255, 'a');
    const std::string over(256, 'b');
    const std::string overWithSpace = std::string(200, 'c') + " " + std::string(100, 'd');
    struct Row { std::string tail; std::vector<std::string> tokens; int skipped; };
    const Row rows[] = {
        {fits, {fits}, 0},
        {"\"" + fits + "\"", {fits}, 0},
        {over, {}, 1},
        {"x " + over + " y", {"x", "y"}, 1},
        {"\"" + overWithSpace + "\" y", {"y"}, 1},
        {"\"" + overWithSpace, {}, 1},
        {"\"" + over + "\"\"z\"", {"z"}, 1},
        {over + "\"q r\"", {"r\""}, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.tail.size());
        int skipped = 0;
        EXPECT_EQ(Tokens(row.tail.c_str(), &skipped, 256), row.tokens);
        EXPECT_EQ(skipped, row.skipped);
    }

    // The program's buffer takes a path as long as a command line can be:
    // every one of these is handed on whole (they were skipped from 256
    // units on when the buffer held a name's worth).
    const std::string deep = "C:\\" + std::string(300, 'd') + "\\a_b.txt";
    const std::string longest(MAX_PATH_UNITS - 2, 'e');
    const Row whole[] = {
        {over, {over}, 0},
        {"x " + over + " y", {"x", over, "y"}, 0},
        {"\"" + overWithSpace + "\" y", {overWithSpace, "y"}, 0},
        {"\"" + deep + "\" " + deep, {deep, deep}, 0},
        {"\"" + longest + "\"", {longest}, 0},
    };
    for (const Row& row : whole) {
        SCOPED_TRACE(row.tail.size());
        int skipped = 0;
        EXPECT_EQ(Tokens(row.tail.c_str(), &skipped), row.tokens);
        EXPECT_EQ(skipped, row.skipped);
    }
}

TEST(IsUsablePath, WildcardsAndEmpty)
{
    struct Row { const char* path; bool usable; };
    const Row rows[] = {
        {"", false},
        {"C:\\caf? x.txt", false},
        {"C:\\*.txt", false},
        {"C:\\a<b", false},
        {"C:\\a>b", false},
        {"ab\"c", false},
        {"C:\\a b.txt", true},
        {"\x83\x5C\x95\x5C\x83\x8B", true},
        {"\x82\x48", true}, // full-width ？ is an ordinary character
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(IsUsablePath(row.path), row.usable);
    }
}

TEST(SplitPath, FolderBaseNameExtension)
{
    // The folder is split off in UTF-16, where no unit of a character can
    // pass for a separator; the name is then split at its last dot in code
    // page 932, where the conversions work.
    struct Row { std::u16string path; std::u16string directory; const char* name; const char* base; const char* extension; bool hasDot; };
    const Row rows[] = {
        {u"C:\\My Docs\\a b.txt", u"C:\\My Docs\\", "a b.txt", "a b", "txt", true},
        {u"C:\\dir\\archive.tar.gz", u"C:\\dir\\", "archive.tar.gz", "archive.tar", "gz", true},
        {u"C:\\dir\\read me", u"C:\\dir\\", "read me", "read me", "", false},
        {u"C:\\dir\\.profile", u"C:\\dir\\", ".profile", "", "profile", true},
        {u"C:\\dir\\name.", u"C:\\dir\\", "name.", "name", "", true},
        {u"C:\\dir\\sub\\", u"C:\\dir\\sub\\", "", "", "", false},
        {u"C:\\my.folder\\a b", u"C:\\my.folder\\", "a b", "a b", "", false},
        {u"C:\\dir\\v1.2 x", u"C:\\dir\\", "v1.2 x", "v1", "2 x", true},
        {u"Z:/tmp/a b.txt", u"Z:/tmp/", "a b.txt", "a b", "txt", true},
        {u"\\\\?\\UNC\\server\\share\\a b.txt", u"\\\\?\\UNC\\server\\share\\", "a b.txt", "a b", "txt", true},
        // No separator: a bare name in the current folder.
        {u"a b.txt", u"", "a b.txt", "a b", "txt", true},
        {u"read me", u"", "read me", "read me", "", false},
        {u"C:a b.txt", u"C:", "a b.txt", "a b", "txt", true},
        {u"1:a b", u"", "1:a b", "1:a b", "", false},
        // A file name ending in ソ (trail byte 0x5C) is not split inside it.
        {u"C:\\dir\\a\u30BD", u"C:\\dir\\", "a\x83\x5C", "a\x83\x5C", "", false},
        {u"C:\\dir\\\u8868 \u30BD.txt", u"C:\\dir\\", "\x95\x5C \x83\x5C.txt", "\x95\x5C \x83\x5C", "txt", true},
        {u"\u30BD", u"", "\x83\x5C", "\x83\x5C", "", false},
        // ダ (83 5F), then a real separator.
        {u"C:\\\u30D5\u30A9\u30EB\u30C0\\x", u"C:\\\u30D5\u30A9\u30EB\u30C0\\", "x", "x", "", false},
        // A folder ending in ル (83 8B) or ン (83 93), or in あ (82 A0): the
        // separator after it is still the last one.
        {u"C:\\\u30D5\u30A1\u30A4\u30EB\\a b.txt", u"C:\\\u30D5\u30A1\u30A4\u30EB\\", "a b.txt", "a b", "txt", true},
        {u"C:\\\u30EC\u30F3\\x y", u"C:\\\u30EC\u30F3\\", "x y", "x y", "", false},
        {u"C:\\d\u3042\\x y.z", u"C:\\d\u3042\\", "x y.z", "x y", "z", true},
        // Trail bytes that equal a dot's neighbours; the dot itself is never
        // a trail byte.
        {u"C:\\\u9AD8a.\u30A2", u"C:\\", "\x8D\x82" "a.\x83\x41", "\x8D\x82" "a", "\x83\x41", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const size_t nameStart = NameStart(row.path.c_str());
        EXPECT_TRUE(row.path.substr(0, nameStart) == row.directory);

        NameBuffer base, extension;
        bool hasDot = !row.hasDot;
        SplitName(row.name, base, extension, &hasDot);
        EXPECT_STREQ(base, row.base);
        EXPECT_STREQ(extension, row.extension);
        EXPECT_EQ(hasDot, row.hasDot);

        // Rebuilt unchanged, every name comes back as it was.
        NameBuffer rebuilt;
        ASSERT_TRUE(BuildNewName(base, extension, hasDot, rebuilt, sizeof rebuilt));
        EXPECT_STREQ(rebuilt, row.name);
    }
}

// GetFullPathNameW as far as these tests need it: a relative path joins
// the current folder "C:\cwd" ("D:x" the root of D:, "\x" that of C:),
// '/' becomes '\', "." and ".." go, and the last part loses its trailing
// blanks and dots, as Windows trims them.
size_t FakeFullPath(const WideChar* path, WideChar* out, size_t capacity)
{
    std::u16string in(path);
    for (char16_t& unit : in) {
        if (unit == u'/')
            unit = u'\\';
    }
    const bool unc = in.compare(0, 2, u"\\\\") == 0;
    const bool absolute = unc || (in.size() >= 3 && in[1] == u':' && in[2] == u'\\');
    if (!absolute && in.size() >= 2 && in[1] == u':')
        in = in.substr(0, 2) + (in[0] == u'C' ? u"\\cwd\\" : u"\\") + in.substr(2);
    else if (!absolute && !in.empty() && in[0] == u'\\')
        in = u"C:" + in;
    else if (!absolute)
        in = u"C:\\cwd\\" + in;
    std::vector<std::u16string> parts;
    size_t at = unc ? 2 : 0;
    while (at <= in.size()) {
        size_t next = in.find(u'\\', at);
        if (next == std::u16string::npos)
            next = in.size();
        std::u16string part = in.substr(at, next - at);
        if (part == u"..") {
            if (parts.size() > 1)
                parts.pop_back();
        } else if (part != u"." && !(part.empty() && next < in.size())) {
            parts.push_back(part);
        }
        at = next + 1;
    }
    while (!parts.empty() && !parts.back().empty() && (parts.back().back() == u' ' || parts.back().back() == u'.'))
        parts.back().pop_back();
    std::u16string full = unc ? u"\\\\" : u"";
    for (size_t i = 0; i < parts.size(); ++i)
        full += (i > 0 ? u"\\" : u"") + parts[i];
    if (parts.size() == 1 && !unc)
        full += u"\\";
    if (full.size() + 1 > capacity)
        return 0;
    std::copy(full.begin(), full.end(), out);
    out[full.size()] = 0;
    return full.size();
}

TEST(FileCallPath, ExtendedFormFromTheFullPath)
{
    // A folder of 300 units.
    const std::u16string deep = u"\\" + std::u16string(300, u'd');
    // The longest path Windows can hold, with the four units of "\\?\".
    const std::u16string longest = u"C:\\" + std::u16string(MAX_PATH_UNITS - 4 - 3, u'x');
    struct Row { std::u16string path; std::u16string expected; };
    const Row rows[] = {
        // Extended at any length: a plain path loses trailing blanks.
        {u"C:\\a b.txt", u"\\\\?\\C:\\a b.txt"},
        {u"C:\\" + std::u16string(256, u'x'), u"\\\\?\\C:\\" + std::u16string(256, u'x')},  // 259
        {u"C:\\" + std::u16string(257, u'x'), u"\\\\?\\C:\\" + std::u16string(257, u'x')},  // 260
        {u"C:" + deep + u"\\a b.txt", u"\\\\?\\C:" + deep + u"\\a b.txt"},
        // UNC: "\\server\share" becomes "\\?\UNC\server\share".
        {u"\\\\server\\share\\x.txt", u"\\\\?\\UNC\\server\\share\\x.txt"},
        {u"\\\\server\\share" + deep, u"\\\\?\\UNC\\server\\share" + deep},
        {u"//server/share/a/../b", u"\\\\?\\UNC\\server\\share\\b"},
        {u"\\\\server\\share\\..\\..\\x", u"\\\\?\\UNC\\server\\share\\x"},
        // Relative, with '/' and "..": made full first.
        {u"a b.txt", u"\\\\?\\C:\\cwd\\a b.txt"},
        {u"sub/../a b.txt", u"\\\\?\\C:\\cwd\\a b.txt"},
        {u"sub" + deep + u"/./x", u"\\\\?\\C:\\cwd\\sub" + deep + u"\\x"},
        {u"C:/dir/../" + deep.substr(1), u"\\\\?\\C:\\" + deep.substr(1)},
        {u"C:\\..\\..\\x", u"\\\\?\\C:\\x"},
        {u"C:\\", u"\\\\?\\C:\\"},
        {u"C:\\dir\\..", u"\\\\?\\C:\\"},
        // A drive's current folder, the current drive's root.
        {u"C:a b", u"\\\\?\\C:\\cwd\\a b"},
        {u"D:a b", u"\\\\?\\D:\\a b"},
        {u"\\top\\a b", u"\\\\?\\C:\\top\\a b"},
        // Every part as written, trailing blanks and dots too, where the
        // system's service would trim them.
        {u"C:\\w\\memo ", u"\\\\?\\C:\\w\\memo "},
        {u"C:\\w\\a b \\", u"\\\\?\\C:\\w\\a b "},
        {u"dir \\sub \\end.", u"\\\\?\\C:\\cwd\\dir \\sub \\end."},
        {u"C:\\dir.\\x..\\...", u"\\\\?\\C:\\dir.\\x..\\..."},
        {u"C:\\w\\  ", u"\\\\?\\C:\\w\\  "},
        // Already extended, or a device path: taken as they are, short or
        // long, even with what a full path would resolve.
        {u"\\\\?\\C:\\a\\..\\b", u"\\\\?\\C:\\a\\..\\b"},
        {u"\\\\?\\UNC\\server\\share" + deep, u"\\\\?\\UNC\\server\\share" + deep},
        {u"\\\\.\\C:\\x", u"\\\\.\\C:\\x"},
        {longest, u"\\\\?\\" + longest},
    };
    std::vector<WideChar> out(WIDE_PATH_SIZE + 8);
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.path.substr(0, 40)));
        ASSERT_TRUE(FileCallPath(row.path.c_str(), FakeFullPath, out.data(), out.size()));
        EXPECT_TRUE(std::u16string(out.data()) == row.expected) << Narrow(std::u16string(out.data()));
        // Whatever was added comes off again, and leaves the full path.
        if (!IsExtendedPath(row.path.c_str())) {
            TakeOffExtendedPrefix(out.data());
            std::vector<WideChar> full(WIDE_PATH_SIZE);
            const size_t length = FullPathKeepingParts(row.path.c_str(), FakeFullPath, full.data(), full.size());
            EXPECT_EQ(length, std::u16string(full.data()).size());
            EXPECT_TRUE(std::u16string(out.data()) == std::u16string(full.data()));
        }
    }

    // A result one unit too long for the buffer is refused, never cut.
    const std::u16string path = u"C:" + deep;
    ASSERT_TRUE(FileCallPath(path.c_str(), FakeFullPath, out.data(), path.size() + 5));
    EXPECT_FALSE(FileCallPath(path.c_str(), FakeFullPath, out.data(), path.size() + 4));
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(FullPathKeepingParts(path.c_str(), FakeFullPath, out.data(), path.size()), 0u);
    EXPECT_FALSE(FileCallPath(u"x", [](const WideChar*, WideChar*, size_t) -> size_t { return 0; },
                              out.data(), out.size()));
}

TEST(SplitPath, LongestNameFits)
{
    // A name of 255 units, each a double-byte character: 510 bytes.
    const std::string kanji = "\x95\x5C";
    std::string name;
    for (int i = 0; i < 251; ++i)
        name += kanji;
    name += ".\x83\x5C\x83\x5C\x83\x5C";
    ASSERT_EQ(name.size(), 509u);
    NameBuffer base, extension;
    bool hasDot = false;
    SplitName(name.c_str(), base, extension, &hasDot);
    EXPECT_EQ(std::string(base), name.substr(0, 502));
    EXPECT_STREQ(extension, "\x83\x5C\x83\x5C\x83\x5C");
    EXPECT_TRUE(hasDot);

    const std::string whole = name.substr(0, 502) + kanji + kanji + kanji + kanji;
    ASSERT_EQ(whole.size(), 510u);
    SplitName(whole.c_str(), base, extension, &hasDot);
    EXPECT_EQ(std::string(base), whole);
    EXPECT_FALSE(hasDot);
}

TEST(BuildNewPath, FitsOrReports)
{
    struct Row { std::string base; std::string extension; bool hasDot; bool fits; };
    const Row rows[] = {
        {std::string(511, 'b'), "", false, true},    // 511 and the terminator
        {std::string(512, 'b'), "", false, false},
        {std::string(507, 'b'), "txt", true, true},  // 507 + 4 = 511
        {std::string(508, 'b'), "txt", true, false},
        {std::string(510, 'b'), "", true, true},     // the dot alone: 511
        {std::string(511, 'b'), "", true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.base.size());
        char newName[NAME_BUFFER_SIZE];
        strcpy(newName, "stale");
        bool fits = BuildNewName(row.base.c_str(), row.extension.c_str(), row.hasDot, newName, sizeof newName);
        EXPECT_EQ(fits, row.fits);
        if (fits) {
            std::string expected = row.base + (row.hasDot ? "." + row.extension : "");
            EXPECT_EQ(std::string(newName), expected);
        } else {
            EXPECT_STREQ(newName, "");
        }
    }
}

TEST(MayDifferOnlyInCase, OnlySureDifferencesCount)
{
    // Names as Windows holds them. A length in units, or an ASCII unit
    // against one that no case mapping takes it to, is a sure difference.
    struct Row { std::u16string a; std::u16string b; bool may; };
    const Row rows[] = {
        {u"abc.txt", u"ABC.txt", true},
        {u"abc.txt", u"abc.txt", true},
        {u"a b.txt", u"a_b.txt", false},
        {u"ab", u"abc", false},
        {u"\u3000x", u"_x", false},          // ideographic space to underbar
        {u"\uFF41", u"\uFF21", true},        // ａ and Ａ
        {u"\u30C2", u"\u30A2", true},        // ヂ and ア: left to the disk
        {u"\uFF41a", u"A\uFF21", false},     // ａ is never A
        {u"\uFF71 ", u"\uFF71_", false},     // half-width katakana, then a blank
        {u"[", u"{", false},                 // 0x5B and 0x7B are no letters
        {u"@", u"`", false},
        {u"\u0131", u"I", true},             // dotless i, whose capital is I
        {u"\u212A", u"k", true},             // the Kelvin sign
        {u"\xD842", u"\xD843", true},        // lone surrogates: left to the disk
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.a) + " / " + Narrow(row.b));
        EXPECT_EQ(MayDifferOnlyInCase(row.a.c_str(), row.b.c_str()), row.may);
        EXPECT_EQ(MayDifferOnlyInCase(row.b.c_str(), row.a.c_str()), row.may);
    }
}

TEST(StandIns, OutsideCharactersRoundTrip)
{
    struct Row { std::u16string name; std::string bytes; size_t standIns; };
    const Row rows[] = {
        // Inside the code page: plain code page 932, no stand-in.
        {u"C:\\\u8868 \u30BD\\\u3042\u3000\uFF41\uFF10.txt",
         "C:\\\x95\x5C \x83\x5C\\\x82\xA0\x81\x40\x82\x81\x82\x4F.txt", 0},
        {u"\uFF71~\\", "\xB1~\\", 0},
        {u"", "", 0},
        // Outside: é, 〜, the private-use U+E000, 𠮷 (a surrogate pair) and
        // lone surrogates, in the order they come. The same character
        // twice has one stand-in.
        {u"caf\u00e9 menu", "caf\xF0\x40 menu", 1},
        {u"\u00e9\u00e9a\u00e9", "\xF0\x40\xF0\x40" "a\xF0\x40", 1},
        {u"10\u301C12\uFF5E", "10\xF0\x40" "12\x81\x60", 1},
        {u"\uE000\u00e9", "\xF0\x40\xF0\x41", 2},
        {u"\U00020BB7\u91CE\U0001F600", "\xF0\x40\xF0\x41\xF0\x42", 3},
        {u"\xD842x\xDFB7", "\xF0\x40x\xF0\x41", 2},
        {u"\xD842\xD842\xDFB7", "\xF0\x40\xF0\x41", 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Ref::Hex(row.bytes));
        StandIns table;
        table.count = 0;
        NameBuffer bytes;
        ASSERT_TRUE(ToCodePage932(row.name.data(), row.name.size(), Ref::SMALL_CODE_PAGE, &table, bytes, sizeof bytes));
        EXPECT_EQ(Ref::Hex(bytes), Ref::Hex(row.bytes));
        EXPECT_EQ(table.count, row.standIns);

        char16_t back[NAME_BUFFER_SIZE];
        ASSERT_TRUE(FromCodePage932(bytes, Ref::SMALL_CODE_PAGE, table, back, NAME_BUFFER_SIZE));
        EXPECT_TRUE(std::u16string(back) == row.name);
    }
}

TEST(StandIns, TheConversionsKeepThemAsTheyAre)
{
    // Under 2085 (capitalise) an outside character ends a word; under 0xFFF
    // nothing of it changes, whatever its trail byte looks like: stand-in 28
    // is F0 5C, a trail byte that looks like a backslash, and 33 is F0 61.
    struct Row { std::u16string name; SettingsWord word; std::u16string converted; };
    const Row rows[] = {
        {u"caf\u00e9 menu", 2085, u"Caf\u00e9_Menu"},
        {u"\u00e9a b", 2085, u"\u00e9A_B"},
        {u"10\u301C12 \u3000x", OPT_SPACES, u"10\u301C12__x"},
        {u"\uE000\u00e9 \uFF41", 0xFFF, u"\uE000\u00e9_A"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.converted));
        StandIns table;
        table.count = 0;
        NameBuffer bytes;
        ASSERT_TRUE(ToCodePage932(row.name.data(), row.name.size(), Ref::SMALL_CODE_PAGE, &table, bytes, sizeof bytes));
        ASSERT_TRUE(ConvertNameWithWord(row.word, bytes, sizeof bytes));
        char16_t back[NAME_BUFFER_SIZE];
        ASSERT_TRUE(FromCodePage932(bytes, Ref::SMALL_CODE_PAGE, table, back, NAME_BUFFER_SIZE));
        EXPECT_TRUE(std::u16string(back) == row.converted);
    }

    std::u16string many;
    for (char16_t k = 0; k < 40; ++k)
        many += static_cast<char16_t>(0xAC00 + k);
    StandIns table;
    table.count = 0;
    NameBuffer bytes;
    const std::u16string path = u"_\\" + many + u"\\_";
    ASSERT_TRUE(ToCodePage932(path.data(), path.size(), Ref::SMALL_CODE_PAGE, &table, bytes, sizeof bytes));
    EXPECT_EQ(Ref::Hex(std::string(bytes + 2 + 2 * 28, 2)), Ref::Hex("\xF0\x5C"));
    EXPECT_EQ(Ref::Hex(std::string(bytes + 2 + 2 * 33, 2)), Ref::Hex("\xF0\x61"));
    EXPECT_EQ(FindLastSeparator(bytes), 2 + 2 * many.size());
    for (SettingsWord word : {0xFFF, 2085, 0x84F}) {
        NameBuffer converted;
        std::memcpy(converted, bytes, sizeof bytes);
        ASSERT_TRUE(ConvertNameWithWord(word, converted, sizeof converted));
        EXPECT_EQ(std::string(converted + 2, 2 * many.size()), std::string(bytes + 2, 2 * many.size()));
    }
}

TEST(ConvertNameWith, TheNameAloneWithinTheUnitLimit)
{
    // Names as Windows holds them, converted in code page 932 and back.
    // Lengths count UTF-16 units: 255 full-width letters are 510 bytes and
    // still a name Windows can hold; 256 units are none. Where a name is
    // kept in UTF-8 (Linux, under Wine) a limit in bytes comes on top: a
    // full-width letter takes three, a character beyond U+FFFF four.
    const std::u16string fullA(255, u'\uFF41');
    const std::u16string fullUpperA(255, u'\uFF21');
    const std::u16string halfA(255, u'a');
    std::u16string capital = u"\uFF21" + std::u16string(254, u'\uFF41');
    const SettingsWord widen = OPT_LETTERS | OPT_LETTERS_TO_FULL | OPT_CASE_KEEP;
    std::u16string emoji;
    for (int i = 0; i < 63; ++i)
        emoji += u"\U0001F600";
    struct Row {
        std::u16string name;
        SettingsWord word;
        NameResult result;
        std::u16string converted;
        size_t utf8Limit = 0;
    };
    const Row rows[] = {
        {u"my file 01.txt", OPT_SPACES, NAME_CONVERTED, u"my_file_01.txt"},
        {u"my_file.txt", OPT_SPACES, NAME_UNCHANGED, u""},
        {u"a b.c d", OPT_SPACES, NAME_CONVERTED, u"a_b.c d"},
        {u"\u8868 \u30BD\u3000x", OPT_SPACES, NAME_CONVERTED, u"\u8868_\u30BD_x"},
        {u"caf\u00e9 x.txt", 0x825, NAME_CONVERTED, u"Caf\u00e9_X.txt"},
        {fullA, 0x225, NAME_CONVERTED, fullUpperA},
        {fullA.substr(0, 251) + u".txt", 0x225, NAME_CONVERTED, fullUpperA.substr(0, 251) + u".txt"},
        {halfA, 0x845, NAME_CONVERTED, capital},
        {fullA + u"\uFF41", 0x225, NAME_TOO_LONG, u""},
        {halfA + u"a", OPT_SPACES, NAME_TOO_LONG, u""},
        // 120 letters widened: 124 units, 364 bytes.
        {halfA.substr(0, 120) + u".txt", widen, NAME_CONVERTED, fullA.substr(0, 120) + u".txt"},
        {halfA.substr(0, 120) + u".txt", widen, NAME_TOO_LONG, u"", UTF8_NAME_LIMIT},
        // 255 bytes and 256.
        {u"12" + halfA.substr(0, 83) + u".txt", widen, NAME_CONVERTED, u"12" + fullA.substr(0, 83) + u".txt",
         UTF8_NAME_LIMIT},
        {halfA.substr(0, 84) + u".txt", widen, NAME_TOO_LONG, u"", UTF8_NAME_LIMIT},
        // Surrogate pairs: 254 bytes and 258.
        {emoji + u" x", OPT_SPACES, NAME_CONVERTED, emoji + u"_x", UTF8_NAME_LIMIT},
        {emoji + u"\U0001F600 x", OPT_SPACES, NAME_TOO_LONG, u"", UTF8_NAME_LIMIT},
        // A name already past the limit in bytes that needs no change
        // stays unchanged: only a new name is measured.
        {fullA.substr(0, 100) + u".txt", OPT_SPACES, NAME_UNCHANGED, u"", UTF8_NAME_LIMIT},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name.size());
        SCOPED_TRACE(row.utf8Limit);
        WideName out;
        out[0] = u'?';
        EXPECT_EQ(ConvertNameWith(row.word, row.name.data(), row.name.size(),
                                  {Ref::SMALL_CODE_PAGE, nullptr, row.utf8Limit}, out),
                  row.result);
        EXPECT_TRUE(std::u16string(out) == row.converted) << Narrow(out);
    }
}

TEST(StandIns, EveryStandInAndTheLimits)
{
    // Every stand-in of F040-F9FC in turn: leads F0-F9, trails 40-7E and
    // 80-FC, never 7F.
    std::u16string all;
    for (size_t k = 0; k < STAND_IN_COUNT; ++k)
        all += static_cast<char16_t>(0x4E00 + k);
    std::vector<char> bytes(2 * STAND_IN_COUNT + 1);
    StandIns table;
    table.count = 0;
    ASSERT_TRUE(ToCodePage932(all.data(), all.size(), Ref::SMALL_CODE_PAGE, &table, bytes.data(), bytes.size()));
    EXPECT_EQ(table.count, STAND_IN_COUNT);
    for (size_t k = 0; k < STAND_IN_COUNT; ++k) {
        const unsigned char lead = static_cast<unsigned char>(bytes[2 * k]);
        const unsigned char trail = static_cast<unsigned char>(bytes[2 * k + 1]);
        const size_t column = trail < 0x7F ? trail - 0x40u : trail - 0x80u + 0x3Fu;
        ASSERT_TRUE(lead >= 0xF0 && lead <= 0xF9 && trail >= 0x40 && trail <= 0xFC && trail != 0x7F) << k;
        ASSERT_EQ((lead - 0xF0u) * 188u + column, k);
    }
    std::vector<char16_t> back(all.size() + 1);
    ASSERT_TRUE(FromCodePage932(bytes.data(), Ref::SMALL_CODE_PAGE, table, back.data(), back.size()));
    EXPECT_TRUE(std::u16string(back.data()) == all);
    // One unit short of room, and one character more than the table holds.
    EXPECT_FALSE(FromCodePage932(bytes.data(), Ref::SMALL_CODE_PAGE, table, back.data(), back.size() - 1));
    const std::u16string more = all + u"\u00e9";
    std::vector<char> moreBytes(2 * STAND_IN_COUNT + 3);
    table.count = 0;
    EXPECT_FALSE(ToCodePage932(more.data(), more.size(), Ref::SMALL_CODE_PAGE, &table, moreBytes.data(), moreBytes.size()));
    EXPECT_EQ(moreBytes[0], '\0');

    // Lengths count code page 932 bytes, an outside character as two:
    // "ab" and é need 5 bytes with the terminator.
    const std::u16string name = u"ab\u00e9";
    for (size_t capacity = 0; capacity <= 6; ++capacity) {
        SCOPED_TRACE(capacity);
        char out[8] = "stale";
        table.count = 0;
        EXPECT_EQ(ToCodePage932(name.data(), name.size(), Ref::SMALL_CODE_PAGE, &table, out, capacity), capacity >= 5);
        if (capacity > 0 && capacity < 5) {
            EXPECT_EQ(out[0], '\0');
        }
    }

    // What neither the code page nor the table can read is refused.
    table.count = 1;
    table.length[0] = 1;
    table.units[0][0] = u'\u00e9';
    char16_t wide[8];
    EXPECT_TRUE(FromCodePage932("a\xF0\x40", Ref::SMALL_CODE_PAGE, table, wide, 8));
    EXPECT_FALSE(FromCodePage932("a\xF0\x41", Ref::SMALL_CODE_PAGE, table, wide, 8));  // no such stand-in
    EXPECT_FALSE(FromCodePage932("\x88\x9F", Ref::SMALL_CODE_PAGE, table, wide, 8));   // not in this code page
    EXPECT_FALSE(FromCodePage932("a\x82", Ref::SMALL_CODE_PAGE, table, wide, 8));      // a lone lead byte
    EXPECT_FALSE(FromCodePage932("abc", Ref::SMALL_CODE_PAGE, table, wide, 3));
    EXPECT_TRUE(FromCodePage932("abc", Ref::SMALL_CODE_PAGE, table, wide, 4));
}

} // namespace

namespace {

TEST(CommandOptions, TheLinuxCommandsArguments)
{
    // paths: the argv indexes taken as paths, in order.
    struct Row {
        std::vector<const char*> args;
        CommandAction action;
        SettingsWord word; // the batch's word over a saved 305
        bool dryRun;
        std::vector<int> paths;
    };
    const SettingsWord SAVED = 305;
    const SettingsWord TREE = SAVED | OPT_FOLDER_CONTENTS;
    const Row rows[] = {
        {{"a b.txt"}, COMMAND_RENAME, SAVED, false, {1}},
        {{"-r", "x", "y"}, COMMAND_RENAME, TREE, false, {2, 3}},
        {{"x", "--folder-contents", "-n", "y"}, COMMAND_RENAME, TREE, true, {1, 4}},
        {{"-rn", "x"}, COMMAND_RENAME, TREE, true, {2}},
        {{"-nr", "--dry-run", "x"}, COMMAND_RENAME, TREE, true, {3}},
        {{"--word", "1", "x"}, COMMAND_RENAME, 1, false, {3}},
        {{"--word=45057", "-r", "x"}, COMMAND_RENAME, 45057 | OPT_FOLDER_CONTENTS, false, {3}},
        {{"--word", "0", "x"}, COMMAND_RENAME, 0, false, {3}},
        // After "--" everything is a path; "-" alone always is.
        {{"--", "-r", "--word"}, COMMAND_RENAME, SAVED, false, {2, 3}},
        {{"-", "x"}, COMMAND_RENAME, SAVED, false, {1, 2}},
        {{"--undo"}, COMMAND_UNDO, SAVED, false, {}},
        {{"--help"}, COMMAND_HELP, SAVED, false, {}},
        {{"x", "-h", "--bogus-after-help-is-still-bad"}, COMMAND_BAD_USAGE, SAVED, false, {1}},
        {{"--version", "x"}, COMMAND_VERSION, SAVED, false, {2}},
        {{"x", "--undo", "-h"}, COMMAND_HELP, SAVED, false, {1}},
        // Bad usage: nothing to do, unknown options, a word that is no
        // whole number within the seventeen bits, undo with anything else.
        {{}, COMMAND_BAD_USAGE, SAVED, false, {}},
        {{"-r"}, COMMAND_BAD_USAGE, TREE, false, {}},
        {{"-x", "a"}, COMMAND_BAD_USAGE, SAVED, false, {}},
        {{"-rx", "a"}, COMMAND_BAD_USAGE, TREE, false, {}},
        {{"--dry", "a"}, COMMAND_BAD_USAGE, SAVED, false, {}},
        {{"a", "--word"}, COMMAND_BAD_USAGE, SAVED, false, {1}},
        {{"--word", "12x", "a"}, COMMAND_BAD_USAGE, SAVED, false, {}},
        {{"--word", "-1", "a"}, COMMAND_BAD_USAGE, SAVED, false, {}},
        {{"--word", "262144", "a"}, COMMAND_BAD_USAGE, SAVED, false, {}},
        {{"--word", "", "a"}, COMMAND_BAD_USAGE, SAVED, false, {}},
        {{"--word=", "a"}, COMMAND_BAD_USAGE, SAVED, false, {}},
        {{"--undo", "a"}, COMMAND_BAD_USAGE, SAVED, false, {2}},
        {{"--undo", "-n"}, COMMAND_BAD_USAGE, SAVED, true, {}},
    };
    for (const Row& row : rows) {
        std::vector<const char*> argv = {"blankmender"};
        std::string shown;
        for (const char* arg : row.args) {
            argv.push_back(arg);
            shown += std::string(arg) + " ";
        }
        SCOPED_TRACE(shown);
        CommandOptions options;
        std::vector<int> paths(argv.size());
        ReadCommandOptions(static_cast<int>(argv.size()), argv.data(), &options, paths.data());
        EXPECT_EQ(options.action, row.action) << options.error;
        EXPECT_EQ(options.action == COMMAND_BAD_USAGE, options.error[0] != '\0');
        if (row.action == COMMAND_BAD_USAGE)
            continue;
        EXPECT_EQ(CommandWord(options, SAVED), row.word);
        EXPECT_EQ(options.dryRun, row.dryRun);
        EXPECT_EQ(std::vector<int>(paths.begin(), paths.begin() + static_cast<long>(options.pathCount)), row.paths);
    }
}

} // namespace
