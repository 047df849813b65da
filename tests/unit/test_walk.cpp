#include "files/walk.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string Narrow(const std::u16string& text)
{
    std::string narrow;
    for (char16_t unit : text)
        narrow += unit < 0x80 ? static_cast<char>(unit) : '?';
    return narrow;
}

const unsigned long DIRECTORY = ENTRY_DIRECTORY;
const unsigned long HIDDEN = ENTRY_HIDDEN;
const unsigned long REPARSE = ENTRY_REPARSE_POINT;
const unsigned long JUNCTION = 0xA0000003;
const unsigned long SYMLINK = 0xA000000C;

struct FakeEntry {
    std::u16string name;
    unsigned long attributes;
    unsigned long tag;
};

// A file system as a walk sees it: each folder's listing, in the order
// the file system gives it. Every listing is logged, and every step the
// walk hands out is checked against what was listed before it.
struct FakeDisk {
    std::map<std::u16string, std::vector<FakeEntry>> folders;
    std::map<std::u16string, unsigned long> refusing; // folder -> its error
    std::vector<std::u16string> listed;
    std::vector<size_t> stepsBefore; // of each listing: the steps handed out before it
    size_t handedOut = 0;
};

// The fake disk's paths are Windows', whichever separator the walk joins
// with on this platform.
std::u16string AsWindows(const WideChar* path)
{
    std::u16string windows(path);
    for (char16_t& unit : windows)
        unit = unit == PATH_SEPARATOR ? u'\\' : unit;
    return windows;
}

unsigned long ListFake(void* context, const WideChar* path, TreeWalk* walk)
{
    FakeDisk& disk = *static_cast<FakeDisk*>(context);
    const std::u16string folder = AsWindows(path);
    disk.listed.push_back(folder);
    disk.stepsBefore.push_back(disk.handedOut);
    const auto refused = disk.refusing.find(folder);
    if (refused != disk.refusing.end())
        return refused->second;
    const auto found = disk.folders.find(folder);
    if (found == disk.folders.end())
        return 3; // ERROR_PATH_NOT_FOUND
    for (const FakeEntry& entry : found->second) {
        if (!AddListedEntry(walk, entry.name.data(), entry.name.size(), entry.attributes, entry.tag))
            return WALK_NO_MEMORY;
    }
    return 0;
}

// Builds disk from paths under root: a name ending in '/' is a folder.
void AddEntries(FakeDisk* disk, const std::u16string& root, const std::vector<FakeEntry>& entries)
{
    disk->folders[root];
    for (const FakeEntry& entry : entries) {
        std::u16string relative = entry.name;
        const bool folder = !relative.empty() && relative.back() == u'/';
        if (folder)
            relative.pop_back();
        const size_t slash = relative.rfind(u'/');
        std::u16string parent = root;
        std::u16string name = relative;
        if (slash != std::u16string::npos) {
            parent = root + u"\\" + relative.substr(0, slash);
            name = relative.substr(slash + 1);
        }
        for (char16_t& unit : parent)
            unit = unit == u'/' ? u'\\' : unit;
        disk->folders[parent].push_back({name, entry.attributes | (folder ? DIRECTORY : 0), entry.tag});
        if (folder)
            disk->folders[parent + u"\\" + name];
    }
}

struct Step {
    std::u16string path;
    bool folder;
    unsigned long error;
};

// Walks root to the end; each step's name must be where nameAt says.
std::vector<Step> Walk(TreeWalk* walk, FakeDisk* disk, const std::u16string& root)
{
    std::vector<Step> steps;
    disk->listed.clear();
    disk->stepsBefore.clear();
    disk->handedOut = 0;
    EXPECT_TRUE(StartWalk(walk, root.c_str(), {ListFake, disk}));
    WalkStep step;
    while (NextWalkStep(walk, &step)) {
        const std::u16string path = AsWindows(step.path);
        EXPECT_EQ(step.nameAt, path.find_last_of(u"\\") + 1) << Narrow(path);
        steps.push_back({path, step.folder, step.error});
        ++disk->handedOut;
        if (steps.size() > 1000000)
            break;
    }
    EXPECT_FALSE(NextWalkStep(walk, &step)) << "a walk that is over stays over";
    return steps;
}

struct WalkDeleter {
    void operator()(TreeWalk* walk) const
    {
        FreeWalk(walk);
        delete walk;
    }
};

std::unique_ptr<TreeWalk, WalkDeleter> NewWalk()
{
    return std::unique_ptr<TreeWalk, WalkDeleter>(new TreeWalk());
}

bool Inside(const std::u16string& path, const std::u16string& folder)
{
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == u'\\';
}

TEST(TreeWalk, ContentsFirstEachFolderListedWholeBeforeItsTurn)
{
    const std::u16string root = u"C:\\Drop x";
    FakeDisk disk;
    AddEntries(&disk, root,
               {{u"a b.txt", 0, 0},
                {u"sub one/", 0, 0},
                {u"sub one/c d.txt", 0, 0},
                {u"sub one/deep er/", 0, 0},
                {u"sub one/deep er/e f", 0, 0},
                {u"sub one/empty dir/", 0, 0},
                {u"sub one/g h.txt", 0, 0},
                {u"\u4F1A\u8B70 \u8CC7\u6599.pdf", 0, 0},
                {u"sub two/", 0, 0},
                {u"sub two/i j", 0, 0}});
    auto walk = NewWalk();
    const std::vector<Step> steps = Walk(walk.get(), &disk, root);

    const std::vector<std::u16string> want = {
        root + u"\\a b.txt",
        root + u"\\sub one\\c d.txt",
        root + u"\\sub one\\deep er\\e f",
        root + u"\\sub one\\deep er",
        root + u"\\sub one\\empty dir",
        root + u"\\sub one\\g h.txt",
        root + u"\\sub one",
        root + u"\\\u4F1A\u8B70 \u8CC7\u6599.pdf",
        root + u"\\sub two\\i j",
        root + u"\\sub two",
        root,
    };
    ASSERT_EQ(steps.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(Narrow(want[i]));
        EXPECT_TRUE(steps[i].path == want[i]) << Narrow(steps[i].path);
        EXPECT_EQ(steps[i].folder, disk.folders.count(want[i]) == 1);
        EXPECT_EQ(steps[i].error, 0u);
    }

    // Every folder listed once, and before anything in it was handed out;
    // each one's turn after everything in it.
    EXPECT_EQ(disk.listed.size(), 5u);
    for (const auto& folder : disk.folders) {
        SCOPED_TRACE(Narrow(folder.first));
        size_t listings = 0;
        for (const std::u16string& listed : disk.listed)
            listings += listed == folder.first;
        EXPECT_EQ(listings, 1u);
    }
    // Nothing in a folder was handed out before it was listed.
    for (size_t l = 0; l < disk.listed.size(); ++l) {
        for (size_t i = 0; i < disk.stepsBefore[l]; ++i)
            EXPECT_FALSE(Inside(steps[i].path, disk.listed[l]))
                << Narrow(steps[i].path) << " before " << Narrow(disk.listed[l]) << " was listed";
    }
    for (size_t i = 0; i < steps.size(); ++i) {
        for (size_t j = i + 1; j < steps.size(); ++j)
            EXPECT_FALSE(Inside(steps[j].path, steps[i].path)) << Narrow(steps[j].path) << " after its folder";
    }

    // Started again, the same walk keeps its buffers and gives the same.
    const std::vector<Step> again = Walk(walk.get(), &disk, root);
    ASSERT_EQ(again.size(), steps.size());
    for (size_t i = 0; i < steps.size(); ++i)
        EXPECT_TRUE(again[i].path == steps[i].path);
}

TEST(WalkTakesEntry, HiddenDotsAndLinksAreLeftAlone)
{
    struct Row { std::u16string name; unsigned long attributes; unsigned long tag; bool taken; };
    const Row rows[] = {
        {u"a b.txt", 0, 0, true},
        {u"a b", DIRECTORY, 0, true},
        {u"a.b c", 0, 0, true},
        {u"\uFF0Ea b", 0, 0, true},          // a full-width dot is no dot
        {u"\u3000.txt", 0, 0, true},
        {u".", DIRECTORY, 0, false},
        {u"..", DIRECTORY, 0, false},
        {u".git", DIRECTORY, 0, false},
        {u".DS_Store", 0, 0, false},
        {u". x", 0, 0, false},
        {u"thumbs db", HIDDEN, 0, false},
        {u"hidden dir", DIRECTORY | HIDDEN, 0, false},
        {u"system file", 0x4, 0, true},      // system alone is no reason
        {u"read only", 0x1, 0, true},
        // Name surrogates: junctions, mount points, symbolic links.
        {u"Application Data", DIRECTORY | REPARSE | HIDDEN | 0x4, JUNCTION, false},
        {u"mount point", DIRECTORY | REPARSE, JUNCTION, false},
        {u"link x", DIRECTORY | REPARSE, SYMLINK, false},
        {u"file link", REPARSE, SYMLINK, false},
        // Wine lists a link to a folder with tag 0.
        {u"wine link", DIRECTORY | REPARSE, 0, false},
        // OneDrive's placeholders, every variant, folders and files.
        {u"cloud dir", DIRECTORY | REPARSE, 0x9000001A, true},
        {u"cloud file.txt", REPARSE, 0x9000001A, true},
        {u"cloud 1", DIRECTORY | REPARSE, 0x9000101A, true},
        {u"cloud 7", REPARSE, 0x9000701A, true},
        {u"cloud F", DIRECTORY | REPARSE, 0x9000F01A, true},
        // Near misses of the cloud family, and tags not known to be files
        // of this place (deduplication, WOF, an AppExecLink).
        {u"not cloud", REPARSE, 0x9000001B, false},
        {u"not cloud 2", REPARSE, 0x9001001A, false},
        {u"surrogate cloud", DIRECTORY | REPARSE, 0xB000001A, false},
        {u"dedup", REPARSE, 0x80000013, false},
        {u"wof", REPARSE, 0x80000017, false},
        {u"app link", REPARSE, 0x8000001B, false},
        // A tag without the reparse attribute is not looked at.
        {u"plain", DIRECTORY, SYMLINK, true},
        // Hidden or a dot name wins over a cloud tag.
        {u"hidden cloud", REPARSE | HIDDEN, 0x9000001A, false},
        {u".cloud", REPARSE, 0x9000001A, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.name));
        EXPECT_EQ(WalkTakesEntry(row.name.c_str(), row.attributes, row.tag), row.taken);
    }
}

TEST(TreeWalk, WhatIsLeftAloneIsNeitherEnteredNorHandedOut)
{
    const std::u16string root = u"\\\\?\\UNC\\server\\share\\team x";
    FakeDisk disk;
    AddEntries(&disk, root,
               {{u".git/", 0, 0},
                {u".git/config x", 0, 0},
                {u".DS_Store", 0, 0},
                {u"secret dir/", HIDDEN, 0},
                {u"secret dir/a b", 0, 0},
                {u"thumbs db", HIDDEN, 0},
                {u"junction/", REPARSE, JUNCTION},
                {u"junction/in side", 0, 0},
                {u"wine link/", REPARSE, 0},
                {u"wine link/in side", 0, 0},
                {u"file link.txt", REPARSE, SYMLINK},
                {u"cloud dir/", REPARSE, 0x9000601A},
                {u"cloud dir/c d.txt", REPARSE, 0x9000001A},
                {u"keep x/", 0, 0},
                {u"keep x/.hidden/", 0, 0},
                {u"keep x/.hidden/y z", 0, 0}});
    auto walk = NewWalk();
    const std::vector<Step> steps = Walk(walk.get(), &disk, root);
    const std::vector<std::u16string> want = {
        root + u"\\cloud dir\\c d.txt",
        root + u"\\cloud dir",
        root + u"\\keep x",
        root,
    };
    ASSERT_EQ(steps.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_TRUE(steps[i].path == want[i]) << Narrow(steps[i].path);
    const std::vector<std::u16string> listed = {root, root + u"\\cloud dir", root + u"\\keep x"};
    EXPECT_TRUE(disk.listed == listed);
}

TEST(TreeWalk, AFolderThatCannotBeListedIsLeftAloneWithItsError)
{
    const std::u16string root = u"D:\\x y";
    FakeDisk disk;
    AddEntries(&disk, root,
               {{u"a b/", 0, 0}, {u"a b/in side", 0, 0}, {u"c d/", 0, 0}, {u"c d/e f", 0, 0}, {u"g h", 0, 0}});
    disk.refusing[root + u"\\a b"] = 5;
    auto walk = NewWalk();
    std::vector<Step> steps = Walk(walk.get(), &disk, root);
    ASSERT_EQ(steps.size(), 5u);
    EXPECT_TRUE(steps[0].path == root + u"\\a b" && steps[0].folder && steps[0].error == 5);
    EXPECT_TRUE(steps[1].path == root + u"\\c d\\e f" && steps[1].error == 0);
    EXPECT_TRUE(steps[2].path == root + u"\\c d" && steps[2].error == 0);
    EXPECT_TRUE(steps[3].path == root + u"\\g h" && !steps[3].folder);
    EXPECT_TRUE(steps[4].path == root && steps[4].folder && steps[4].error == 0);

    // The dropped folder itself: one step, its error, nothing else.
    disk.refusing[root] = 21;
    steps = Walk(walk.get(), &disk, root);
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_TRUE(steps[0].path == root && steps[0].folder && steps[0].error == 21);
}

TEST(TreeWalk, MemoryFollowsTheDeepestBranchNotTheTree)
{
    // 200 folders of 200 files each: 40,200 entries, but never more than
    // two listings at once.
    const std::u16string root = u"C:\\wide";
    FakeDisk disk;
    std::vector<FakeEntry> entries;
    for (int f = 0; f < 200; ++f) {
        const std::u16string folder = u"folder " + std::u16string(1, static_cast<char16_t>(u'A' + f % 26)) +
                                      std::u16string(1, static_cast<char16_t>(u'a' + f / 26));
        entries.push_back({folder + u"/", 0, 0});
        for (int i = 0; i < 200; ++i)
            entries.push_back({folder + u"/file " + std::u16string(1, static_cast<char16_t>(0x4E00 + i)) + u".txt",
                               0, 0});
    }
    AddEntries(&disk, root, entries);
    auto walk = NewWalk();
    EXPECT_EQ(Walk(walk.get(), &disk, root).size(), 200u * 201u + 1u);
    EXPECT_LE(walk->entryCapacity, 512u);
    EXPECT_LE(walk->nameCapacity, 4096u);
    EXPECT_LE(walk->levelCapacity, 64u);
}

TEST(TreeWalk, DeepChainsUpToTheLongestPath)
{
    // 300 levels of 120 units: paths pass MAX_PATH_UNITS at level 270. The
    // folders beyond cannot be named and are passed over; every one above
    // is handed out, deepest first.
    const std::u16string root = u"\\\\?\\C:\\deep";
    const std::u16string name(120, u'd');
    FakeDisk disk;
    std::u16string path = root;
    size_t reachable = 0;
    for (int level = 0; level < 300; ++level) {
        disk.folders[path].push_back({name, DIRECTORY, 0});
        path += u"\\" + name;
        reachable += path.size() <= MAX_PATH_UNITS;
        disk.folders[path];
    }
    ASSERT_EQ(reachable, 270u);
    auto walk = NewWalk();
    const std::vector<Step> steps = Walk(walk.get(), &disk, root);
    ASSERT_EQ(steps.size(), reachable + 1);
    for (size_t i = 0; i + 1 < steps.size(); ++i) {
        EXPECT_EQ(steps[i].path.size(), root.size() + (reachable - i) * (name.size() + 1));
        EXPECT_TRUE(steps[i].folder);
    }
    EXPECT_TRUE(steps.back().path == root);
    EXPECT_EQ(disk.listed.size(), reachable + 1);

    // A root that already ends in a separator gets no second one.
    FakeDisk flat;
    flat.folders[u"C:\\"] = {{u"a b", 0, 0}};
    const std::vector<Step> rootSteps = Walk(walk.get(), &flat, u"C:\\");
    ASSERT_EQ(rootSteps.size(), 2u);
    EXPECT_TRUE(rootSteps[0].path == u"C:\\a b");
    EXPECT_FALSE(StartWalk(walk.get(), u"", {ListFake, &flat}));
}

TEST(IsGuardedFolder, RootsKnownFoldersAndEverythingAboveThem)
{
    const char16_t* const known[] = {
        u"C:\\Windows",
        u"C:\\Program Files",
        u"C:\\Program Files (x86)",
        u"C:\\ProgramData",
        u"C:\\Users\\\u592A\u90CE",
        u"",
        nullptr,
        u"\\\\?\\UNC\\corp\\home\\users\\hana",
    };
    struct Row { std::u16string folder; bool guarded; };
    const Row rows[] = {
        // Roots of drives, volumes and shares, in every form.
        {u"C:", true},
        {u"C:\\", true},
        {u"D:\\", true},
        {u"Z:/", true},
        {u"\\\\?\\C:\\", true},
        {u"\\\\?\\D:", true},
        {u"\\\\.\\C:\\", true},
        {u"\\\\?\\Volume{0a1b2c3d-0000-0000-0000-100000000000}\\", true},
        {u"\\\\server\\share", true},
        {u"\\\\server\\share\\", true},
        {u"\\\\server", true},
        {u"\\\\?\\UNC\\server\\share\\", true},
        {u"\\\\?\\unc\\server\\share", true},
        {u"", true},
        // The known folders, in any ASCII case, any form, with separators
        // doubled or trailing.
        {u"C:\\Windows", true},
        {u"c:\\WINDOWS\\", true},
        {u"C:/windows", true},
        {u"C:\\\\Windows\\\\", true},
        {u"\\\\?\\C:\\Windows", true},
        {u"C:\\Program Files", true},
        {u"C:\\program files (x86)", true},
        {u"C:\\ProgramData\\", true},
        {u"C:\\Users\\\u592A\u90CE", true},
        {u"\\\\?\\c:\\users\\\u592A\u90CE\\", true},
        {u"\\\\corp\\home\\users\\hana", true},
        // Above them.
        {u"C:\\Users", true},
        {u"C:\\USERS\\", true},
        {u"\\\\corp\\home\\users", true},
        // Below them, beside them, or only alike: walked.
        {u"C:\\Windows\\Temp\\x", false},
        {u"C:\\Users\\\u592A\u90CE\\Documents", false},
        {u"C:\\Users\\\u592A\u90CE\\Documents\\a b", false},
        {u"C:\\Users\\\u82B1\u5B50", false},
        {u"C:\\Users\\\u592A", false},          // a prefix of the name only
        {u"C:\\Windows2", false},
        {u"C:\\Program", false},
        {u"C:\\Docs", false},
        {u"D:\\Windows", false},
        {u"\\\\?\\D:\\Users", false},
        {u"\\\\server\\share\\team x", false},
        {u"\\\\corp\\home\\users\\taro", false},
        {u"\\\\corp\\home2\\users", false},
        // A share's path is no drive's: "\\C:\Users" is server "C:".
        {u"\\\\C:\\Users\\x", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.folder));
        EXPECT_EQ(IsGuardedFolder(row.folder.c_str(), known, sizeof known / sizeof known[0]), row.guarded);
    }
    // With no known folders only the roots are guarded.
    EXPECT_TRUE(IsGuardedFolder(u"\\\\?\\UNC\\a\\b", nullptr, 0));
    EXPECT_FALSE(IsGuardedFolder(u"C:\\Windows", nullptr, 0));
}

}  // namespace
