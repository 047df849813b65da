#include "app/command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "settings/settings.h"

namespace {

std::vector<std::string> Tokens(const char* tail, int* tooLong = nullptr)
{
    std::vector<std::string> tokens;
    NameBuffer token;
    size_t position = 0;
    int skipped = 0;
    for (int guard = 0; guard < 1000; ++guard) {
        TokenResult result = NextToken(tail, &position, token);
        if (result == TAIL_END)
            break;
        if (result == TAIL_PATH)
            tokens.push_back(token);
        else
            ++skipped;
    }
    if (tooLong != nullptr)
        *tooLong = skipped;
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
    }
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

TEST(NextToken, AtTheEndStaysAtTheEnd)
{
    NameBuffer token;
    size_t position = 0;
    const char* tail = "\"a b\"";
    EXPECT_EQ(NextToken(tail, &position, token), TAIL_PATH);
    EXPECT_EQ(NextToken(tail, &position, token), TAIL_END);
    EXPECT_EQ(NextToken(tail, &position, token), TAIL_END);
    EXPECT_STREQ(token, "");
    EXPECT_EQ(position, 5u);
}

TEST(NextToken, LongPathsArePassedOverWhole)
{
    // 255 bytes fit; 256 do not, quoted or not, and nothing of them is
    // handed on: neither a cut prefix nor the rest as a path of its own.
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
        EXPECT_EQ(Tokens(row.tail.c_str(), &skipped), row.tokens);
        EXPECT_EQ(skipped, row.skipped);
    }
}

TEST(IsUsablePath, WildcardsAndEmpty)
{
    struct Row { const char* path; bool usable; };
    const Row rows[] = {
        {"", false},
        {"C:\\caf? x.txt", false}, // é outside code page 932
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
    struct Row { const char* path; const char* directory; const char* base; const char* extension; bool hasDot; };
    const Row rows[] = {
        {"C:\\My Docs\\a b.txt", "C:\\My Docs\\", "a b", "txt", true},
        {"C:\\dir\\archive.tar.gz", "C:\\dir\\", "archive.tar", "gz", true},
        {"C:\\dir\\read me", "C:\\dir\\", "read me", "", false},
        {"C:\\dir\\.profile", "C:\\dir\\", "", "profile", true},
        {"C:\\dir\\name.", "C:\\dir\\", "name", "", true},
        {"C:\\dir\\sub\\", "C:\\dir\\sub\\", "", "", false},
        {"C:\\my.folder\\a b", "C:\\my.folder\\", "a b", "", false},
        {"C:\\dir\\v1.2 x", "C:\\dir\\", "v1", "2 x", true},
        {"Z:/tmp/a b.txt", "Z:/tmp/", "a b", "txt", true},
        // No separator: a bare name in the current folder.
        {"a b.txt", "", "a b", "txt", true},
        {"read me", "", "read me", "", false},
        {"C:a b.txt", "C:", "a b", "txt", true},
        {"1:a b", "", "1:a b", "", false},
        // A file name ending in ソ (trail byte 0x5C) is not split inside it.
        {"C:\\dir\\a\x83\x5C", "C:\\dir\\", "a\x83\x5C", "", false},
        {"C:\\dir\\\x95\x5C \x83\x5C.txt", "C:\\dir\\", "\x95\x5C \x83\x5C", "txt", true},
        {"\x83\x5C", "", "\x83\x5C", "", false},
        // ダ (83 5F), then a real separator.
        {"C:\\\x83\x74\x83\x48\x83\x8B\x83\x5F\\x", "C:\\\x83\x74\x83\x48\x83\x8B\x83\x5F\\", "x", "", false},
        // A folder ending in ル (83 8B) or ン (83 93), or in 0x82 0xA0: the
        // separator after it is still the last one.
        {"C:\\\x83\x74\x83\x40\x83\x43\x83\x8B\\a b.txt", "C:\\\x83\x74\x83\x40\x83\x43\x83\x8B\\", "a b", "txt", true},
        {"C:\\\x83\x8C\x83\x93\\x y", "C:\\\x83\x8C\x83\x93\\", "x y", "", false},
        {"C:\\d\x82\xA0\\x y.z", "C:\\d\x82\xA0\\", "x y", "z", true},
        // Trail bytes that equal a dot's neighbours; the dot itself is never
        // a trail byte.
        {"C:\\\x8D\x82" "a.\x83\x41", "C:\\", "\x8D\x82" "a", "\x83\x41", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        NameBuffer directory, base, extension;
        bool hasDot = !row.hasDot;
        SplitPath(row.path, directory, base, extension, &hasDot);
        EXPECT_STREQ(directory, row.directory);
        EXPECT_STREQ(base, row.base);
        EXPECT_STREQ(extension, row.extension);
        EXPECT_EQ(hasDot, row.hasDot);

        // Rebuilt unchanged, every path comes back as it was.
        NameBuffer rebuilt;
        ASSERT_TRUE(BuildNewPath(directory, base, extension, hasDot, rebuilt, sizeof rebuilt));
        EXPECT_STREQ(rebuilt, row.path);
    }
}

TEST(SplitPath, LongestPathFits)
{
    const std::string path = "C:\\" + std::string(246, 'x') + ".txt\x83\x5C";
    ASSERT_EQ(path.size(), 255u);
    NameBuffer directory, base, extension;
    bool hasDot = false;
    SplitPath(path.c_str(), directory, base, extension, &hasDot);
    EXPECT_STREQ(directory, "C:\\");
    EXPECT_EQ(std::string(base), std::string(246, 'x'));
    EXPECT_STREQ(extension, "txt\x83\x5C");
    EXPECT_TRUE(hasDot);
}

TEST(BuildNewPath, FitsOrReports)
{
    const std::string dir = "C:\\" + std::string(100, 'd') + "\\";
    struct Row { std::string base; std::string extension; bool hasDot; bool fits; };
    const Row rows[] = {
        {std::string(151, 'b'), "", false, true},    // 104 + 151 = 255
        {std::string(152, 'b'), "", false, false},   // 256
        {std::string(147, 'b'), "txt", true, true},  // 104 + 147 + 4 = 255
        {std::string(148, 'b'), "txt", true, false},
        {std::string(150, 'b'), "", true, true},     // the dot alone: 255
        {std::string(151, 'b'), "", true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.base.size());
        NameBuffer newPath;
        strcpy(newPath, "stale");
        bool fits = BuildNewPath(dir.c_str(), row.base.c_str(), row.extension.c_str(), row.hasDot,
                                 newPath, sizeof newPath);
        EXPECT_EQ(fits, row.fits);
        if (fits) {
            std::string expected = dir + row.base + (row.hasDot ? "." + row.extension : "");
            EXPECT_EQ(std::string(newPath), expected);
        } else {
            EXPECT_STREQ(newPath, "");
        }
    }
}

TEST(MayDifferOnlyInCase, OnlySureDifferencesCount)
{
    struct Row { const char* a; const char* b; bool may; };
    const Row rows[] = {
        {"abc.txt", "ABC.txt", true},
        {"abc.txt", "abc.txt", true},
        {"a b.txt", "a_b.txt", false},
        {"ab", "abc", false},
        {"\x81\x40x", "_x", false},           // ideographic space to underbar
        {"\x82\x81", "\x82\x60", true},      // ａ and Ａ
        {"\x83\x61", "\x83\x41", true},      // ヂ and ア: left to the disk
        {"\x82\x81" "a", "A\x82\x60", true},  // out of step
        {"\xB1 ", "\xB1_", false},             // half-width katakana, then a blank
        {"[", "{", false},                      // 0x5B and 0x7B are no letters
        {"@", "`", false},
        {"\x81", "\x82", false},               // lone lead bytes differ as bytes
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.a) + " / " + row.b);
        EXPECT_EQ(MayDifferOnlyInCase(row.a, row.b), row.may);
        EXPECT_EQ(MayDifferOnlyInCase(row.b, row.a), row.may);
    }
}

} // namespace
