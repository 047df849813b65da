// The file calls and the history on a POSIX system, on real folders under
// a temporary root: paths found without following links, listings as the
// walk takes them (a name that is no UTF-8 kept byte for byte), moves that
// never replace, the guard by identity, and lines of batches run at once.
#if !defined(_WIN32)

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "convert/utf8.h"
#include "files/entries.h"
#include "files/files.h"
#include "files/walk.h"
#include "history/history_file.h"

namespace {

std::u16string Wide(const std::string& bytes)
{
    std::vector<WideChar> out(bytes.size() + 1);
    size_t units = 0;
    EXPECT_TRUE(Utf8ToWide(bytes.data(), bytes.size(), out.data(), out.size(), &units));
    return std::u16string(out.data(), units);
}

std::string Bytes(const std::u16string& text)
{
    std::vector<char> out(3 * text.size() + 1);
    size_t length = 0;
    EXPECT_TRUE(WideToUtf8(text.data(), text.size(), out.data(), out.size(), &length));
    return std::string(out.data(), length);
}

std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteWhole(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

int RemoveOne(const char* path, const struct stat*, int, struct FTW*)
{
    return remove(path);
}

// A temporary root, the current folder in it, and the history beside it.
class PosixTree : public ::testing::Test {
protected:
    std::string root;
    char saved[PATH_MAX];
    FileCallPaths* paths = nullptr;

    void SetUp() override
    {
        char made[] = "/tmp/blankmender-posix-XXXXXX";
        ASSERT_NE(mkdtemp(made), nullptr);
        char* resolved = realpath(made, nullptr);
        root = resolved;
        free(resolved);
        ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
        setenv("XDG_STATE_HOME", (root + "/state").c_str(), 1);
        paths = NewFileCallPaths();
        ASSERT_NE(paths, nullptr);
    }
    void TearDown() override
    {
        FreeFileCallPaths(paths);
        EXPECT_EQ(chdir(saved), 0);
        nftw(root.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
    }
    std::string At(const std::string& relative) const { return root + "/" + relative; }
    void File(const std::string& relative, const std::string& text = "x") const { WriteWhole(At(relative), text); }
    void Folder(const std::string& relative) const { ASSERT_EQ(mkdir(At(relative).c_str(), 0755), 0); }
    void Link(const std::string& target, const std::string& relative) const
    {
        ASSERT_EQ(symlink(target.c_str(), At(relative).c_str()), 0);
    }
};

TEST_F(PosixTree, GivenPathsAreMadeFullWithoutFollowingLinks)
{
    Folder("sub");
    Folder("sub/dir");
    File("sub/a b.txt");
    File("sub/.hidden");
    Link("dir", "sub/link");
    Link("nowhere", "sub/dangling");
    ASSERT_EQ(chdir(At("sub").c_str()), 0);
    const std::string tooLong(300, 'x');
    const struct {
        std::string given;
        std::string full; // relative to the root; "/" for the root itself
        unsigned long error;
        bool folder, link, hidden;
    } rows[] = {
        {"a b.txt", "sub/a b.txt", 0, false, false, false},
        {"./dir/", "sub/dir", 0, true, false, false},
        {"dir//../a b.txt", "sub/a b.txt", 0, false, false, false},
        {"../sub/./dir", "sub/dir", 0, true, false, false},
        {root + "/sub/../sub/a b.txt", "sub/a b.txt", 0, false, false, false},
        // The link itself, never its target, trailing '/' or not.
        {"link", "sub/link", 0, false, false, false},
        {"link/", "sub/link", 0, false, false, false},
        {"dangling", "sub/dangling", 0, false, false, false},
        // ".." is taken lexically, as Windows takes it: the folder the link
        // lies in.
        {"link/../a b.txt", "sub/a b.txt", 0, false, false, false},
        {".hidden", "sub/.hidden", 0, false, false, true},
        {"missing.txt", "", ERROR_NUMBER_FILE_NOT_FOUND, false, false, false},
        {"a b.txt/x", "", 3, false, false, false},
        {tooLong, "", ERROR_NUMBER_NAME_TOO_LONG, false, false, false},
        {"/../..", "/", 0, true, false, false},
    };
    std::vector<WideChar> full(WIDE_PATH_SIZE);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.given);
        FoundEntry found = {};
        ASSERT_EQ(FindGivenEntry(Wide(row.given).c_str(), full.data(), full.size(), &found, paths), row.error);
        if (row.error != 0)
            continue;
        const std::string expected = row.full == "/" ? "/" : At(row.full);
        EXPECT_EQ(Bytes(full.data()), expected);
        EXPECT_EQ(found.nameAt, expected.rfind('/') + 1);
        EXPECT_EQ(found.folder, row.folder);
        EXPECT_EQ(found.link, row.link);
        EXPECT_EQ(found.hidden, row.hidden);
    }
}

TEST_F(PosixTree, TheWalkTakesWhatTheListingGivesByteForByte)
{
    Folder("t");
    Folder("t/sub");
    Folder("t/empty");
    Folder("elsewhere");
    File("t/file one.txt");
    File("t/sub/inner.txt");
    File("t/.dot");
    File("elsewhere/outside.txt");
    File("t/\xFF name");
    Link("../elsewhere", "t/link");
    Link("file one.txt", "t/filelink");

    TreeWalk walk = {};
    ASSERT_TRUE(StartWalk(&walk, Wide(At("t")).c_str(), {ListFolderOnDisk, paths}));
    std::vector<std::string> order;
    std::map<std::string, bool> folders;
    std::u16string notUtf8;
    WalkStep step;
    while (NextWalkStep(&walk, &step)) {
        EXPECT_EQ(step.error, 0u);
        const std::u16string path(step.path);
        const std::string bytes = Bytes(path).substr(root.size() + 1);
        order.push_back(bytes);
        folders[bytes] = step.folder;
        if (HoldsEscapedByte(step.path + step.nameAt, path.size() - step.nameAt))
            notUtf8 = path;
    }
    FreeWalk(&walk);
    // Neither a hidden name nor a link, nor what lies behind one.
    const std::map<std::string, bool> expected = {{"t", true},          {"t/sub", true},
                                                  {"t/empty", true},    {"t/sub/inner.txt", false},
                                                  {"t/file one.txt", false}, {"t/\xFF name", false}};
    EXPECT_EQ(folders, expected);
    ASSERT_EQ(order.size(), expected.size());
    EXPECT_EQ(order.back(), "t");
    EXPECT_LT(std::find(order.begin(), order.end(), "t/sub/inner.txt"), std::find(order.begin(), order.end(), "t/sub"));

    // The name that is no UTF-8 goes back to its very bytes.
    ASSERT_EQ(Bytes(notUtf8), At("t/\xFF name"));
    ASSERT_EQ(MoveEntry(notUtf8.c_str(), Wide(At("t/renamed")).c_str(), paths), 0u);
    ASSERT_EQ(MoveEntry(Wide(At("t/renamed")).c_str(), notUtf8.c_str(), paths), 0u);
    struct stat status;
    EXPECT_EQ(lstat(At("t/\xFF name").c_str(), &status), 0);

    // A folder that cannot be listed is told why.
    const struct {
        std::string path;
        unsigned long error;
    } refused[] = {{"t/missing", 3}, {"t/link", ERROR_NUMBER_STOPPED_ON_SYMLINK}, {"t/file one.txt", 3}};
    for (const auto& row : refused) {
        SCOPED_TRACE(row.path);
        TreeWalk one = {};
        EXPECT_EQ(ListFolderOnDisk(paths, Wide(At(row.path)).c_str(), &one), row.error);
        FreeWalk(&one);
    }
}

TEST_F(PosixTree, MovesNeverReplaceAndLinksMoveThemselves)
{
    File("a", "first");
    File("b", "second");
    File("c", "third");
    Folder("d");
    Folder("e");
    File("e/kept", "inside");
    Link("c", "l");
    const std::string tooLong(300, 'x');
    const struct {
        std::string from, to;
        unsigned long error;
    } rows[] = {
        {"a", "b", ERROR_NUMBER_ALREADY_EXISTS},
        {"d", "e", ERROR_NUMBER_ALREADY_EXISTS},
        {"a", "e", ERROR_NUMBER_ALREADY_EXISTS},
        {"missing", "m", ERROR_NUMBER_FILE_NOT_FOUND},
        {"a", tooLong, ERROR_NUMBER_NAME_TOO_LONG},
        // A change of case only is an ordinary move where case counts.
        {"a", "A", 0},
        {"l", "l2", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.from + " -> " + row.to);
        EXPECT_EQ(MoveEntry(Wide(At(row.from)).c_str(), Wide(At(row.to)).c_str(), paths), row.error);
    }
    EXPECT_EQ(ReadWhole(At("A")), "first");
    EXPECT_EQ(ReadWhole(At("b")), "second");
    EXPECT_EQ(ReadWhole(At("e/kept")), "inside");
    // The link moved, its target stayed.
    EXPECT_EQ(ReadWhole(At("c")), "third");
    EXPECT_EQ(ReadWhole(At("l2")), "third");

    const struct {
        std::string path;
        unsigned long error;
    // A link is itself to a move here; an entry gone is told by its move
    // ("missing" above), with no lookup before each move.
    } checks[] = {{"A", 0}, {"d", 0}, {"l2", 0}, {"a", 0}};
    for (const auto& row : checks) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(CheckEntryIsItself(Wide(At(row.path)).c_str(), paths), row.error);
    }
}

TEST_F(PosixTree, TheGuardKnowsFoldersByIdentityWhateverTheirSpelling)
{
    Folder("sub");
    const char* home = getenv("HOME");
    const struct {
        std::string path;
        bool guarded;
    } rows[] = {
        {"/", true},
        {"/usr", true},
        {"/usr/../usr", true},
        {"//usr", true},
        {"/usr/", true},
        {"/etc", true},
        {"/bin", true}, // a folder, or a link into /usr
        {home != nullptr ? home : "/", true},
        {root, false},
        {At("sub"), false},
        {"/usr/share", false}, // below a guarded folder, as on Windows
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(IsGuardedOnThisSystem(Wide(row.path).c_str()), row.guarded);
    }
    // Everything above $HOME too.
    if (home != nullptr && std::string(home).rfind('/') > 0) {
        const std::string above(home, std::string(home).rfind('/'));
        EXPECT_TRUE(IsGuardedOnThisSystem(Wide(above).c_str())) << above;
    }
    // A link given itself to a guarded folder counts as a link, kept.
    FoundEntry found = {};
    std::vector<WideChar> full(WIDE_PATH_SIZE);
    ASSERT_EQ(FindGivenEntry(u"/bin", full.data(), full.size(), &found, paths), 0u);
    EXPECT_TRUE(found.folder || found.link);
}

// One batch: count moves of paths with names of nameLength bytes, then its
// end.
void RunBatch(const std::string& folder, int count, size_t nameLength)
{
    BatchRecord* record = static_cast<BatchRecord*>(calloc(1, sizeof(BatchRecord)));
    StartBatchRecord(record, 305);
    const std::u16string name = Wide(folder + "/" + std::string(nameLength, 'n'));
    for (int i = 0; i < count; ++i) {
        const std::u16string from = name + Wide(std::to_string(i) + " a");
        const std::u16string to = name + Wide(std::to_string(i) + "_a");
        RecordMove(record, from.c_str(), to.c_str());
        RecordOutcome(record, from.c_str(), i % 2 == 0 ? 0 : ERROR_NUMBER_ALREADY_EXISTS);
    }
    RecordNotRenamed(record, u"relative/gone", ERROR_NUMBER_FILE_NOT_FOUND);
    RecordGivenUnchanged(record, u"/clean");
    EndBatchRecord(record);
    free(record);
}

TEST_F(PosixTree, HistoryLinesOfBatchesRunAtOnceNeverMix)
{
    char path[PATH_BUFFER_SIZE];
    ASSERT_TRUE(HistoryFilePath(path, sizeof path));
    EXPECT_EQ(std::string(path), At("state/blankmender/history.txt"));
    // A batch stopped in the middle of a line, before these.
    ASSERT_EQ(mkdir(At("state").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(At("state/blankmender").c_str(), 0700), 0);
    WriteWhole(path, "move\ttorn");
    ASSERT_EQ(chdir(root.c_str()), 0);

    // Both start together, when the pipe closes, so their lines overlap.
    const int count = 1000;
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    pid_t children[2];
    for (pid_t& child : children) {
        child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(start[1]);
            char go;
            while (read(start[0], &go, 1) > 0) {
            }
            RunBatch(root, count, 100);
            _exit(0);
        }
    }
    close(start[0]);
    close(start[1]);
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    const std::string text = ReadWhole(path);
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    std::map<std::string, std::map<HistoryLineKind, int>> kinds;
    size_t at = 0;
    int junk = 0;
    std::string notRenamed;
    while (at < text.size()) {
        const size_t end = text.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        const HistoryLine line = ParseHistoryLine(text.data() + at, end - at);
        if (line.kind == LINE_JUNK)
            ++junk;
        else
            ++kinds[std::string(line.fields[1].text, line.fields[1].length)][line.kind];
        if (line.kind == LINE_FAILED && line.number == ERROR_NUMBER_FILE_NOT_FOUND)
            notRenamed = std::string(line.fields[2].text, line.fields[2].length);
        at = end + 2;
    }
    // Only the torn line is junk; each batch has every line it wrote.
    EXPECT_EQ(junk, 1);
    ASSERT_EQ(kinds.size(), 2u);
    for (const auto& batch : kinds) {
        SCOPED_TRACE(batch.first);
        const std::map<HistoryLineKind, int> expected = {{LINE_BATCH, 1}, {LINE_MOVE, count},
                                                         {LINE_DONE, count / 2}, {LINE_FAILED, count / 2 + 1},
                                                         {LINE_SAME, 1},  {LINE_END, 1}};
        EXPECT_EQ(batch.second, expected);
    }
    EXPECT_EQ(notRenamed, root + "/relative/gone");

    HistoryBatch latest;
    ASSERT_TRUE(LatestBatch(&latest));
    EXPECT_EQ(latest.renamed, static_cast<unsigned long>(count / 2));
}

TEST_F(PosixTree, HistoryPastItsLimitIsTrimmedToTheLatestBatches)
{
    char path[PATH_BUFFER_SIZE];
    ASSERT_TRUE(HistoryFilePath(path, sizeof path));
    // The folders are made for the user alone.
    WideName folder;
    ASSERT_TRUE(CanKeepHistory(folder, MAX_NAME_UNITS + 1));
    struct stat status;
    ASSERT_EQ(stat(At("state/blankmender").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    ASSERT_EQ(stat(path, &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    for (int i = 0; i < 3; ++i)
        RunBatch(root, 150, 3000);
    ASSERT_EQ(stat(path, &status), 0);
    ASSERT_GT(status.st_size, static_cast<off_t>(HISTORY_LIMIT));
    RunBatch(root, 1, 10);
    ASSERT_EQ(stat(path, &status), 0);
    EXPECT_LE(status.st_size, static_cast<off_t>(HISTORY_TRIMMED));
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    HistoryBatch latest;
    ASSERT_TRUE(LatestBatch(&latest));
    EXPECT_EQ(latest.renamed, 1u);
    EXPECT_TRUE(latest.ended);
}

}  // namespace

#endif
