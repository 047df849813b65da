#include "settings/settings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#if defined(__unix__)
#include <csignal>
#include <sys/resource.h>
#endif

#include "convert/strings.h"
#include "reference.h"

namespace fs = std::filesystem;

namespace {

TEST(ParseSettingsWord, LikePercentD)
{
    struct Row { const char* text; bool ok; SettingsWord word; };
    const Row rows[] = {
        {"0", true, 0},
        {"2085", true, 2085},
        {"  37\n", true, 37},
        {" \t\r\n\v\f305", true, 305},
        {"+5", true, 5},
        {"-0", true, 0},
        {"007", true, 7},
        {"12abc", true, 12},
        {"4095", true, 4095},
        {"4096", true, 4096},         // bit 12: katakana
        {"6181", true, 6181},          // 0x1825
        {"65536", true, 65536},        // bit 16: a folder's contents
        {"67621", true, 67621},        // 0x10825
        {"131072", true, 131072},      // bit 17: the list before renaming
        {"198693", true, 198693},      // 0x30825
        {"262144", true, 0},           // bit 18 dropped
        {"460837", true, 198693},      // 0x70825
        {"-1", true, 262143},
        {"-2", true, 262142},
        {"-4097", true, 258047},
        {"-65537", true, 196607},
        {"2147483647", true, 262143},
        {"2147483648", true, 0},
        {"-2147483648", true, 0},
        {"-2147483649", true, 262143},
        {"4294967296", true, 0},
        {"4294967297", true, 1},
        {"99999999999999999999", true, 262143},
        {"777777777777777777777777777777", true, 203889},
        {"-9999999999999999999999999999999999999999", true, 1},
        {"1e3", true, 1},
        {"0x10", true, 0},
        {"", false, 0},
        {"   \n", false, 0},
        {"abc", false, 0},
        {"-", false, 0},
        {"+", false, 0},
        {"- 1", false, 0},
        {"+-1", false, 0},
        {"\x82\x50", false, 0},         // full-width 1 is not a digit
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        SettingsWord word = -12345;
        EXPECT_EQ(ParseSettingsWord(r.text, &word), r.ok);
        if (r.ok) {
            EXPECT_EQ(word, r.word);
        }
    }

    // A thousand digits: 10^999 is a multiple of 262144, so only the 5 counts.
    const std::string long_number = "1" + std::string(998, '0') + "5";
    SettingsWord word = -1;
    EXPECT_TRUE(ParseSettingsWord(long_number.c_str(), &word));
    EXPECT_EQ(word, 5);
}

TEST(PathBesideExecutable, FolderOfTheExecutable)
{
    struct Row { const char* exe; const char* path; };
    const Row rows[] = {
        {"C:\\Tools\\blankmender.exe", "C:\\Tools\\config.dat"},
        {"C:\\b.exe", "C:\\config.dat"},
        {"C:\\\x83\x63\x81\x5B\x83\x8B\\b.exe", "C:\\\x83\x63\x81\x5B\x83\x8B\\config.dat"},  // ツール
        {"C:\\\x83\x74\x83\x40\x83\x43\x83\x8B\\b.exe",                                      // ファイル
         "C:\\\x83\x74\x83\x40\x83\x43\x83\x8B\\config.dat"},
        {"C:\\\x83\x5C\\b.exe", "C:\\\x83\x5C\\config.dat"},                                 // ソ
        {"C:\\dir\\\x83\x5C.exe", "C:\\dir\\config.dat"},
        {"C:\\dir\\\x95\x5C", "C:\\dir\\config.dat"},                                         // 表
        {"/opt/bm/blankmender", "/opt/bm/config.dat"},
        {"C:\\a/b.exe", "C:\\a/config.dat"},
        {"C:\\dir\\", "C:\\dir\\config.dat"},
        {"\\\\server\\share\\b.exe", "\\\\server\\share\\config.dat"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(Ref::Hex(r.exe));
        NameBuffer buffer;
        std::memset(buffer, 0x7E, sizeof buffer);
        EXPECT_TRUE(PathBesideExecutable(r.exe, "config.dat", buffer, sizeof buffer));
        EXPECT_EQ(Ref::Hex(buffer), Ref::Hex(r.path));
    }
    for (const char* exe : {"blankmender.exe", "", "\x83\x5C", "dir\x95\x5C"}) {
        SCOPED_TRACE(Ref::Hex(exe));
        NameBuffer buffer;
        EXPECT_FALSE(PathBesideExecutable(exe, "config.dat", buffer, sizeof buffer));
    }
}

TEST(UserFilePath, AsTheXdgSpecificationSays)
{
    struct Row { const char* base; const char* home; const char* path; };
    const Row rows[] = {
        {"/x/conf", "/home/u", "/x/conf/blankmender/config.dat"},
        {nullptr, "/home/u", "/home/u/.config/blankmender/config.dat"},
        {"", "/home/u", "/home/u/.config/blankmender/config.dat"},
        {"conf", "/home/u", "/home/u/.config/blankmender/config.dat"},  // relative: ignored
        {"/x", nullptr, "/x/blankmender/config.dat"},
        {nullptr, nullptr, ""},
        {nullptr, "", ""},
        {nullptr, "home", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.base != nullptr ? r.base : "(unset)") + " " + (r.home != nullptr ? r.home : "(unset)"));
        char buffer[64] = "stale";
        EXPECT_EQ(UserFilePath(r.base, r.home, ".config", "config.dat", buffer, sizeof buffer), r.path[0] != '\0');
        EXPECT_STREQ(buffer, r.path);
    }
    char small[16];
    EXPECT_FALSE(UserFilePath("/x/conf", nullptr, ".config", "config.dat", small, sizeof small));
}

TEST(PathBesideExecutable, BufferSize)
{
    // "C:\Tools\" and "config.dat" and the terminator: 20 bytes.
    const char* exe = "C:\\Tools\\a-rather-long-program-name.exe";
    for (size_t size = 1; size <= 24; ++size) {
        SCOPED_TRACE(size);
        std::unique_ptr<char[]> buffer(new char[size]);
        EXPECT_EQ(PathBesideExecutable(exe, "config.dat", buffer.get(), size), size >= 20);
        if (size >= 20) {
            EXPECT_STREQ(buffer.get(), "C:\\Tools\\config.dat");
        }
    }
    // The program's buffer holds the longest path Windows can: a folder of
    // 32,757 units with its separator leaves exactly room for "config.dat"
    // and the terminator (it was a folder of 245 bytes when the buffer held
    // a name's worth).
    const std::string folder = "C:\\" + std::string(32753, 'd') + "\\";
    std::unique_ptr<char[]> buffer(new char[PATH_BUFFER_SIZE]);
    EXPECT_TRUE(PathBesideExecutable((folder + "b.exe").c_str(), "config.dat", buffer.get(), PATH_BUFFER_SIZE));
    EXPECT_EQ(std::string(buffer.get()), folder + "config.dat");
    const std::string longer = "C:\\" + std::string(32754, 'd') + "\\b.exe";
    EXPECT_FALSE(PathBesideExecutable(longer.c_str(), "config.dat", buffer.get(), PATH_BUFFER_SIZE));
}

// A fresh folder under the system's temporary folder for each test.
struct SettingsFile : testing::Test {
    void SetUp() override
    {
        std::random_device random;
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        dir = fs::temp_directory_path() /
              ("blankmender-test-" + std::to_string(random()) + "-" + std::to_string(now));
        ASSERT_TRUE(fs::create_directory(dir));
        file = (dir / "config.dat").string();
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    void Write(const std::string& content)
    {
        std::ofstream(file, std::ios::binary) << content;
    }
    std::string Read(const std::string& path) const
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
    }
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        return names;
    }

    fs::path dir;
    std::string file;
};

TEST_F(SettingsFile, RoundTripOfEveryWord)
{
    // Every word of bits 0-11, and every choice of bits 12-17 with a spread
    // of them: a save is a file written and moved, too slow for all 262144.
    std::vector<SettingsWord> words;
    for (SettingsWord word = 0; word <= 0xFFF; ++word)
        words.push_back(word);
    for (SettingsWord high = 0x1000; high <= 0x3F000; high += 0x1000)
        for (SettingsWord low = 0; low <= 0xFFF; low += 97)
            words.push_back(high | low);
    for (SettingsWord word : words) {
        ASSERT_TRUE(SaveSettingsTo(file.c_str(), word)) << word;
        ASSERT_EQ(Read(file), std::to_string(word));
        ASSERT_EQ(LoadSettingsFrom(file.c_str()), word);
    }
    // Nothing but the settings file is left behind.
    EXPECT_EQ(Entries(), std::vector<std::string>{"config.dat"});
}

TEST_F(SettingsFile, AFolderOfAnyDepth)
{
    // Beside an exe more than 1,000 characters deep: found, saved through
    // its temporary sibling and read back.
    fs::path deep = dir;
    for (int i = 0; i < 8; ++i)
        deep /= std::string(120, static_cast<char>('a' + i));
    ASSERT_TRUE(fs::create_directories(deep));
    const std::string exe = (deep / "blankmender.exe").string();
    ASSERT_GT(exe.size(), 1000u);
    std::unique_ptr<char[]> path(new char[PATH_BUFFER_SIZE]);
    ASSERT_TRUE(PathBesideExecutable(exe.c_str(), "config.dat", path.get(), PATH_BUFFER_SIZE));
    EXPECT_EQ(std::string(path.get()), (deep / "config.dat").string());
    ASSERT_TRUE(SaveSettingsTo(path.get(), 2085));
    EXPECT_EQ(LoadSettingsFrom(path.get()), 2085);
    EXPECT_EQ(Read(path.get()), "2085");
}

TEST_F(SettingsFile, ShorterNumberReplacesLongerOne)
{
    Write("2085 and some text after it");
    ASSERT_TRUE(SaveSettingsTo(file.c_str(), 0));
    EXPECT_EQ(Read(file), "0");
    EXPECT_EQ(LoadSettingsFrom(file.c_str()), 0);
}

TEST_F(SettingsFile, NegativeAndHighBitWords)
{
    for (SettingsWord word : {-1, -2, 0x1825, 0x10825, 0x30825, 0x7FFFF001, INT32_MIN}) {
        SCOPED_TRACE(word);
        ASSERT_TRUE(SaveSettingsTo(file.c_str(), word));
        const std::string content = Read(file);
        EXPECT_TRUE(content == std::to_string(word) || content == std::to_string(word & OPT_ALL))
            << content;
        EXPECT_EQ(LoadSettingsFrom(file.c_str()), word & OPT_ALL);
    }
}

TEST_F(SettingsFile, WhatTheFileHolds)
{
    struct Row { const char* content; SettingsWord word; };
    const Row rows[] = {
        {"0", 0},
        {"2085", 2085},
        {"  37\n", 37},
        {"37\r\n", 37},
        {"-1", 262143},
        {"6181", 6181},
        {"67621", 67621},
        {"196608", 196608},
        {"458752", 196608},
        {"99999999999999999999", 262143},
        {"12abc", 12},
        {"", DEFAULT_SETTINGS},
        {"\n", DEFAULT_SETTINGS},
        {"abc", DEFAULT_SETTINGS},
        {"-", DEFAULT_SETTINGS},
        {"\x82\x50\x82\x51", DEFAULT_SETTINGS},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(Ref::Hex(r.content));
        Write(r.content);
        EXPECT_EQ(LoadSettingsFrom(file.c_str()), r.word);
    }
    // "%d" skips any amount of white space, and a long number keeps only
    // its low bits: neither may be cut at some read size into another word.
    for (size_t blanks : {10u, 62u, 63u, 64u, 200u, 5000u}) {
        SCOPED_TRACE(blanks);
        Write(std::string(blanks, ' ') + "2085");
        EXPECT_EQ(LoadSettingsFrom(file.c_str()), 2085);
        Write(std::string(blanks, '0') + "37");
        EXPECT_EQ(LoadSettingsFrom(file.c_str()), 37);
    }
    Write(std::string("\0\x01" "5", 3));
    EXPECT_EQ(LoadSettingsFrom(file.c_str()), DEFAULT_SETTINGS);
    EXPECT_EQ(DEFAULT_SETTINGS, 305);
}

TEST_F(SettingsFile, MissingOrUnreadable)
{
    EXPECT_EQ(LoadSettingsFrom(file.c_str()), DEFAULT_SETTINGS);
    EXPECT_EQ(LoadSettingsFrom((dir / "no" / "config.dat").string().c_str()), DEFAULT_SETTINGS);
    EXPECT_EQ(LoadSettingsFrom(dir.string().c_str()), DEFAULT_SETTINGS);  // a folder
    EXPECT_EQ(LoadSettingsFrom(""), DEFAULT_SETTINGS);
}

TEST_F(SettingsFile, SaveIntoMissingFolderFails)
{
    const std::string missing = (dir / "no" / "config.dat").string();
    EXPECT_FALSE(SaveSettingsTo(missing.c_str(), 37));
    EXPECT_FALSE(fs::exists(dir / "no"));
    EXPECT_TRUE(Entries().empty());
}

TEST_F(SettingsFile, SaveOverAFolderFailsAndLeavesItAlone)
{
    fs::create_directory(file);
    std::ofstream((dir / "config.dat" / "inside").string()) << "kept";
    EXPECT_FALSE(SaveSettingsTo(file.c_str(), 37));
    EXPECT_TRUE(fs::is_directory(file));
    EXPECT_EQ(Read((dir / "config.dat" / "inside").string()), "kept");
    EXPECT_EQ(Entries(), std::vector<std::string>{"config.dat"}) << "temporary file left behind";
}

#if defined(__unix__)
// A write that fails half way (no room for even one byte: a file size
// limit, which binds root too) must leave the old settings as they were.
TEST_F(SettingsFile, FailedWriteKeepsTheOldFile)
{
    Write("37");
    struct rlimit old_limit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    void (*old_handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = old_limit;
    limit.rlim_cur = 0;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);

    const bool saved = SaveSettingsTo(file.c_str(), 2085);

    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(Read(file), "37");
    EXPECT_EQ(LoadSettingsFrom(file.c_str()), 37);
    EXPECT_EQ(Entries(), std::vector<std::string>{"config.dat"}) << "temporary file left behind";
}
#endif

TEST(Platform, ExecutablePathIsThisProgram)
{
    NameBuffer path;
    ASSERT_TRUE(GetExecutablePath(path, sizeof path));
#if defined(__linux__)
    EXPECT_EQ(std::string(path), fs::read_symlink("/proc/self/exe").string());
#endif
    EXPECT_TRUE(fs::is_regular_file(path));
    EXPECT_EQ(fs::path(path).filename().string().rfind("unit_tests", 0), 0u) << path;

    // Exactly the room it needs, then one byte less.
    const size_t size = std::strlen(path) + 1;
    std::unique_ptr<char[]> exact(new char[size]);
    EXPECT_TRUE(GetExecutablePath(exact.get(), size));
    EXPECT_STREQ(exact.get(), path);
    std::unique_ptr<char[]> short_buffer(new char[size - 1]);
    EXPECT_FALSE(GetExecutablePath(short_buffer.get(), size - 1));

    NameBuffer settings;
    ASSERT_TRUE(SettingsFilePath(settings, sizeof settings));
    EXPECT_EQ(fs::path(settings), fs::path(path).parent_path() / "config.dat");
    char tiny[8];
    EXPECT_FALSE(SettingsFilePath(tiny, sizeof tiny));

    // Any other file beside it, as long as it fits.
    NameBuffer history;
    ASSERT_TRUE(FileBesideExecutable("history.txt", history, sizeof history));
    EXPECT_EQ(fs::path(history), fs::path(path).parent_path() / "history.txt");
    const size_t fit = std::strlen(history) + 1;
    std::unique_ptr<char[]> exactFit(new char[fit]);
    EXPECT_TRUE(FileBesideExecutable("history.txt", exactFit.get(), fit));
    EXPECT_FALSE(FileBesideExecutable("history.txt", exactFit.get(), fit - 1));
}

} // namespace
