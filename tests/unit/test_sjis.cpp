#include "convert/sjis.h"

#include <gtest/gtest.h>

#include <string>

#include "reference.h"

namespace {

TEST(ByteClasses, EveryByteValue)
{
    for (int v = 0; v <= 0xFF; ++v) {
        SCOPED_TRACE(v);
        const unsigned char b = static_cast<unsigned char>(v);
        EXPECT_EQ(IsSingleByteChar(b) != 0, Ref::IsSingleByteChar(b));
        EXPECT_EQ(IsLeadByte(b) != 0, Ref::IsLeadByte(b));
        EXPECT_EQ(IsFullWidthLetterTrail(b) != 0, Ref::IsFullWidthLetterTrail(b));
        for (int w = 0; w <= 0xFF; ++w) {
            const unsigned char b2 = static_cast<unsigned char>(w);
            ASSERT_EQ(IsIdeographicSpace(b, b2) != 0, Ref::IsIdeographicSpace(b, b2)) << w;
        }
    }
}

TEST(ByteClasses, Boundaries)
{
    // 0xDF (half-width semi-voiced mark) is a character of its own; 0xE0
    // begins a double-byte character. 0x80, 0xA0 and 0xFD-0xFF are neither.
    EXPECT_TRUE(IsSingleByteChar(0xDF));
    EXPECT_FALSE(IsLeadByte(0xDF));
    EXPECT_TRUE(IsLeadByte(0xE0));
    EXPECT_FALSE(IsSingleByteChar(0xE0));
    EXPECT_TRUE(IsSingleByteChar(0xA1));
    EXPECT_TRUE(IsSingleByteChar(0x5C));
    EXPECT_TRUE(IsSingleByteChar(0x7F));
    EXPECT_TRUE(IsLeadByte(0xFC));
    for (int v : {0x00, 0x1F, 0x80, 0xA0, 0xFD, 0xFE, 0xFF}) {
        const unsigned char b = static_cast<unsigned char>(v);
        SCOPED_TRACE(v);
        EXPECT_FALSE(IsSingleByteChar(b));
        EXPECT_FALSE(IsLeadByte(b));
    }
    EXPECT_TRUE(IsFullWidthLetterTrail(0x9A));
    EXPECT_FALSE(IsFullWidthLetterTrail(0x9B));
    EXPECT_FALSE(IsFullWidthLetterTrail(0x80));
    EXPECT_FALSE(IsFullWidthLetterTrail(0x5F));
    EXPECT_FALSE(IsFullWidthLetterTrail(0x7A));
}

TEST(CharLength, LeadTakesItsTrailButNeverTheTerminator)
{
    struct Row { const char* text; size_t length; };
    const Row rows[] = {
        {"a", 1},
        {"\x83\x41", 2},       // ア
        {"\x83\x5C", 2},       // ソ: trail byte is a backslash
        {"\x81", 1},           // lone lead byte before the terminator
        {"\xDF\xE0", 1},
        {"\xE0\xDF", 2},
        {"\xA0\x41", 1},
        {"\x80\x41", 1},
        {"\xFC\x01", 2},
        {"\xFD\x41", 1},
        {"", 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(Ref::Hex(r.text));
        EXPECT_EQ(CharLength(reinterpret_cast<const unsigned char*>(r.text)), r.length);
    }
}

TEST(FindLastSeparator, Paths)
{
    struct Row { const char* path; size_t index; };
    const Row rows[] = {
        {"C:\\dir\\a\x83\x5C", 6},                                 // C:\dir\aソ
        {"C:\\\x83\x74\x83\x48\x83\x8B\x83\x5F\\x", 11},           // C:\フォルダ\x
        {"C:\\\x83\x74\x83\x40\x83\x43\x83\x8B\\x", 11},           // C:\ファイル\x
        {"C:\\\x83\x63\x81\x5B\x83\x8B\\b.exe", 9},                // C:\ツール\b.exe
        {"C:\\\x95\x5C\\\x83\x5C", 5},                             // C:\表\ソ
        {"C:\\\x82\xAB\x82\xE1\\x", 7},                            // C:\きゃ\x
        {"a/b", 1},
        {"C:\\a/b", 4},
        {"a\\b/c\\d", 5},
        {"/", 0},
        {"\\", 0},
        {"C:\\dir\\", 6},
        {"C:\\\\x", 3},
        {"\\\\server\\share", 8},
        {"\xB1\\x", 1},                                            // after ｱ
        {"\xDF\\x", 1},
        {"\xA0\\x", 1},
        {"\x80\\x", 1},
        {"\xFD\\x", 1},
        {"\x01\\x", 1},
        {"\xE0\\x", NO_SEPARATOR},                                 // E0 5C is one character
        {"a\x83\\", NO_SEPARATOR},
        {"a\x83/", NO_SEPARATOR},
        {"\\a\x81", 0},                                            // lone lead at the end
        {"\x83\x5C", NO_SEPARATOR},
        {"\x95\x5C\x83\x5C", NO_SEPARATOR},
        {"blankmender.exe", NO_SEPARATOR},
        {"", NO_SEPARATOR},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(Ref::Hex(r.path));
        EXPECT_EQ(FindLastSeparator(r.path), r.index);
        EXPECT_EQ(Ref::FindLastSeparator(r.path), r.index);
    }
}

// Every pair of bytes, followed by a separator and preceded by one: the
// separator after the pair counts exactly when the pair is not one
// double-byte character swallowing it.
TEST(FindLastSeparator, EveryBytePairAroundSeparators)
{
    for (int a = 1; a <= 0xFF; ++a) {
        for (int b = 1; b <= 0xFF; ++b) {
            const char pair[] = {static_cast<char>(a), static_cast<char>(b), 0};
            for (const char* sep : {"\\", "/"}) {
                const std::string cases[] = {
                    std::string(pair) + sep + "x",
                    std::string("d") + sep + pair,
                    std::string(sep) + pair + sep,
                    std::string(pair) + sep,
                };
                for (const std::string& path : cases) {
                    const size_t got = FindLastSeparator(path.c_str());
                    if (got != Ref::FindLastSeparator(path.c_str()))
                        FAIL() << Ref::Hex(path) << ": got " << got << ", expected "
                               << Ref::FindLastSeparator(path.c_str());
                }
            }
        }
    }
}

} // namespace
