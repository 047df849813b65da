// The native command on real temporary trees: its lines, its exit codes,
// what it leaves on disk, its dry run (the same lines, nothing renamed) and
// its undo. The command runs in this process, so the sanitizer build
// watches the batch, the backend and the record too.
#include "app/command.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

void Append(void* context, const char* text, size_t length)
{
    static_cast<std::string*>(context)->append(text, length);
}

struct Result {
    int code;
    std::string out;
};

// A folder of its own for each test, the record and the user's home in it.
class CommandTest : public ::testing::Test {
protected:
    std::string root;

    void SetUp() override
    {
        char pattern[] = "/tmp/bm-command-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        setenv("XDG_STATE_HOME", (root + "/state").c_str(), 1);
        mkdir((root + "/t").c_str(), 0755);
    }

    void TearDown() override
    {
        const std::string command = "rm -rf '" + root + "'";
        ASSERT_EQ(system(command.c_str()), 0);
    }

    // "{T}" in text stands for the tree's folder.
    std::string Here(std::string text) const
    {
        for (size_t at = text.find("{T}"); at != std::string::npos; at = text.find("{T}"))
            text.replace(at, 3, root + "/t");
        return text;
    }

    // Entries under T: "dir/" a folder, "name->target" a symbolic link,
    // anything else an empty file.
    void Make(const std::vector<std::string>& entries) const
    {
        for (const std::string& entry : entries) {
            const std::string path = root + "/t/" + entry;
            const size_t arrow = entry.find("->");
            if (arrow != std::string::npos) {
                ASSERT_EQ(symlink(entry.substr(arrow + 2).c_str(), (root + "/t/" + entry.substr(0, arrow)).c_str()), 0)
                    << entry;
            } else if (entry.back() == '/') {
                ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << entry;
            } else {
                std::ofstream(path) << entry;
            }
        }
    }

    // Every entry under T as Make takes it, links not followed.
    std::set<std::string> Names(const std::string& folder = "") const
    {
        std::set<std::string> names;
        DIR* dir = opendir((root + "/t/" + folder).c_str());
        if (dir == nullptr)
            return names;
        while (const dirent* found = readdir(dir)) {
            const std::string name = found->d_name;
            if (name == "." || name == "..")
                continue;
            const std::string path = root + "/t/" + folder + name;
            struct stat st;
            lstat(path.c_str(), &st);
            if (S_ISLNK(st.st_mode)) {
                char target[512];
                const ssize_t length = readlink(path.c_str(), target, sizeof target);
                names.insert(folder + name + "->" + std::string(target, length > 0 ? static_cast<size_t>(length) : 0));
            } else if (S_ISDIR(st.st_mode)) {
                names.insert(folder + name + "/");
                for (const std::string& inside : Names(folder + name + "/"))
                    names.insert(inside);
            } else {
                names.insert(folder + name);
            }
        }
        closedir(dir);
        return names;
    }

    Result Run(const std::vector<std::string>& args, const char* config = nullptr) const
    {
        std::vector<std::string> given = {"blankmender"};
        for (const std::string& arg : args)
            given.push_back(Here(arg));
        std::vector<const char*> argv;
        for (const std::string& arg : given)
            argv.push_back(arg.c_str());
        Result result;
        std::string errors;
        result.code = RunCommand(static_cast<int>(argv.size()), argv.data(), config, {Append, &result.out},
                                 {Append, &errors});
        return result;
    }
};

std::string Lines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// Entries the lines say were renamed: "now:" lines and "(and N inside)".
size_t Renamed(const std::string& lines)
{
    size_t renamed = Count(lines, "\nnow: ") + (lines.rfind("now: ", 0) == 0 ? 1 : 0);
    for (size_t at = lines.find("(and "); at != std::string::npos; at = lines.find("(and ", at + 1))
        renamed += std::stoul(lines.substr(at + 5));
    return renamed;
}

TEST_F(CommandTest, LinesExitCodesAndTheDiskAsTheySay)
{
    const std::string widen = "325"; // blanks, letters to full width, case kept
    const std::string a84(84, 'a');
    const std::string fullA = "\xEF\xBD\x81";
    std::string fullA83;
    for (int i = 0; i < 83; ++i)
        fullA83 += fullA;
    struct Row {
        const char* what;
        std::vector<std::string> make;
        std::vector<std::string> args;
        std::vector<std::string> lines;
        int code;
        std::vector<std::string> after; // the entries that changed, as they are then
        std::vector<std::string> gone;
    };
    const Row rows[] = {
        {"files: renamed, clean, target taken, missing",
         {"a b.txt", "plain.txt", "c d.txt", "c_d.txt"},
         {"{T}/a b.txt", "{T}/plain.txt", "{T}/c d.txt", "{T}/missing x.txt"},
         {"now: {T}/a_b.txt", "unchanged: {T}/plain.txt", "not renamed: {T}/c d.txt (target exists)",
          "not renamed: {T}/missing x.txt (not found)"},
         1, {"a_b.txt"}, {"a b.txt"}},
        {"a folder's tree, its failures after its line; hidden entries neither entered nor renamed",
         {"d x/", "d x/in 1.txt", "d x/s y/", "d x/s y/in 2.txt", "d x/in 3.txt", "d x/in_3.txt", "d x/.h i",
          "d x/.g h/", "d x/.g h/k l.txt", "d x/clean.txt"},
         {"-r", "{T}/d x"},
         {"now: {T}/d_x (and 3 inside)", "not renamed: {T}/d_x/in 3.txt (target exists)"},
         1, {"d_x/", "d_x/in_1.txt", "d_x/s_y/", "d_x/s_y/in_2.txt", "d_x/.h i", "d_x/.g h/k l.txt"},
         {"d x/"}},
        {"without -r a folder keeps its contents' names",
         {"e f/", "e f/g h.txt"}, {"{T}/e f"}, {"now: {T}/e_f"}, 0, {"e_f/g h.txt"}, {"e f/"}},
        {"a clean folder with renames inside",
         {"kept/", "kept/k l.txt"}, {"-r", "{T}/kept"}, {"unchanged: {T}/kept (and 1 inside)"}, 0, {"kept/k_l.txt"}, {}},
        {"marks joined with bit 15: NFD from a Mac, and the spacing mark of a zip",
         {"\xE3\x83\x8F\xE3\x82\x9A\xE3\x82\xBD\xE3\x82\xB3\xE3\x83\xB3 1.txt",
          "\xE3\x83\x8F\xE3\x82\x9C\xE3\x82\xBD\xE3\x82\xB3\xE3\x83\xB3 2.txt"},
         {"--word", "32769", "{T}/\xE3\x83\x8F\xE3\x82\x9A\xE3\x82\xBD\xE3\x82\xB3\xE3\x83\xB3 1.txt",
          "{T}/\xE3\x83\x8F\xE3\x82\x9C\xE3\x82\xBD\xE3\x82\xB3\xE3\x83\xB3 2.txt"},
         {"now: {T}/\xE3\x83\x91\xE3\x82\xBD\xE3\x82\xB3\xE3\x83\xB3_1.txt",
          "now: {T}/\xE3\x83\x91\xE3\x82\xBD\xE3\x82\xB3\xE3\x83\xB3_2.txt"},
         0, {"\xE3\x83\x91\xE3\x82\xBD\xE3\x82\xB3\xE3\x83\xB3_1.txt", "\xE3\x83\x91\xE3\x82\xBD\xE3\x82\xB3\xE3\x83\xB3_2.txt"}, {}},
        {"names that are no UTF-8 (Shift-JIS 会議, a stray byte), given and in a tree",
         {"\x89\xEF\x8B\x63 x.txt", "n o/", "n o/\xFF y.txt", "n o/ok z.txt"},
         {"-r", "{T}/\x89\xEF\x8B\x63 x.txt", "{T}/n o"},
         {"not renamed: {T}/\x89\xEF\x8B\x63 x.txt (not UTF-8)", "now: {T}/n_o (and 1 inside)",
          "not renamed: {T}/n_o/\xFF y.txt (not UTF-8)"},
         1, {"n_o/", "n_o/ok_z.txt", "n_o/\xFF y.txt"}, {"n o/"}},
        {"255 bytes of UTF-8 in a name: 83 letters widened fit, 84 do not",
         {a84.substr(0, 83) + " x", a84 + " x"},
         {"--word", widen, "{T}/" + a84.substr(0, 83) + " x", "{T}/" + a84 + " x"},
         {"now: {T}/" + fullA83 + "_\xEF\xBD\x98", "not renamed: {T}/" + a84 + " x (name too long)"},
         1, {fullA83 + "_\xEF\xBD\x98"}, {}},
        {"a dropped link is renamed itself, its target kept; with -r it is not entered",
         {"out y/", "out y/keep me.txt", "to file x->../t/out y/keep me.txt", "to dir x->out y"},
         {"-r", "{T}/to file x", "{T}/to dir x"},
         {"now: {T}/to_file_x", "now: {T}/to_dir_x"},
         0, {"to_file_x->../t/out y/keep me.txt", "to_dir_x->out y", "out y/", "out y/keep me.txt"}, {}},
        {"links in a walk are left alone, and so is what lies behind them",
         {"w x/", "w x/l k->../o p", "w x/m n->../o p/q r.txt", "o p/", "o p/q r.txt"},
         {"-r", "{T}/w x"},
         {"now: {T}/w_x"},
         0, {"w_x/", "w_x/l k->../o p", "w_x/m n->../o p/q r.txt", "o p/q r.txt"}, {}},
        {"never a name that differs only in case from one beside it, on disk or earlier in the batch",
         {"A b.txt", "a_B.txt", "x y.txt", "X y.txt"},
         {"{T}/A b.txt", "{T}/x y.txt", "{T}/X y.txt"},
         {"not renamed: {T}/A b.txt (target exists)", "now: {T}/x_y.txt", "not renamed: {T}/X y.txt (target exists)"},
         1, {"x_y.txt", "A b.txt", "X y.txt"}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Make(row.make);
        const std::set<std::string> before = Names();
        std::vector<std::string> dry = {"-n"};
        dry.insert(dry.end(), row.args.begin(), row.args.end());
        std::vector<std::string> lines;
        for (const std::string& line : row.lines)
            lines.push_back(Here(line));

        const Result planned = Run(dry);
        EXPECT_EQ(planned.out, Lines(lines) + "dry run: nothing renamed\n");
        EXPECT_EQ(planned.code, row.code);
        EXPECT_EQ(Names(), before);

        const Result done = Run(row.args);
        EXPECT_EQ(done.out, Lines(lines));
        EXPECT_EQ(done.code, row.code);
        const std::set<std::string> after = Names();
        for (const std::string& entry : row.after)
            EXPECT_EQ(after.count(entry), 1u) << entry;
        for (const std::string& entry : row.gone)
            EXPECT_EQ(after.count(entry), 0u) << entry;

        // Taken back: every entry as it was, and a line per entry renamed.
        const Result undone = Run({"--undo"});
        EXPECT_EQ(Names(), before);
        EXPECT_EQ(undone.code, 0) << undone.out;
        EXPECT_EQ(Count(undone.out, "now: "), Renamed(done.out)) << undone.out;
        EXPECT_EQ(Count(undone.out, "\n"), Renamed(done.out)) << undone.out;
        const std::string cleanup = "rm -rf '" + root + "/t' && mkdir '" + root + "/t'";
        ASSERT_EQ(system(cleanup.c_str()), 0);
    }
}

TEST_F(CommandTest, SystemFoldersAndHomeRefusedByAnySpelling)
{
    // The user's own home, as the guard reads it once per process: the
    // rows are dry runs, which would rename nothing even if the guard let
    // them pass.
    const std::string home = getenv("HOME") != nullptr ? getenv("HOME") : "/root";
    const std::string above = home.substr(0, home.rfind('/') == 0 ? 1 : home.rfind('/'));
    Make({"usr x->/usr", "home link->" + home});
    struct Row { std::string path; std::string line; };
    const Row rows[] = {
        {"/", "not renamed: / (system folder)"},
        {"/usr/../usr", "not renamed: /usr (system folder)"},
        {"//etc/", "not renamed: /etc (system folder)"},
        {"/var/lib/..", "not renamed: /var/lib/.. (no name of its own)"},
        {home, "not renamed: " + home + " (system folder)"},
        {home + "/../" + home.substr(home.rfind('/') + 1) + "/", "not renamed: " + home + " (system folder)"},
        {above, "not renamed: " + above + " (system folder)"},
        // A link to one is a link: renamed itself, never entered.
        {"{T}/usr x", "now: {T}/usr_x"},
        {"{T}/home link", "now: {T}/home_link"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        const Result result = Run({"-n", "-r", "--word", "1", row.path});
        EXPECT_EQ(result.out, Here(row.line) + "\ndry run: nothing renamed\n");
        EXPECT_EQ(result.code, row.line.rfind("now:", 0) == 0 ? 0 : 1);
    }
    const Result links = Run({"-r", "--word", "1", "{T}/usr x", "{T}/home link"});
    EXPECT_EQ(links.out, Here("now: {T}/usr_x\nnow: {T}/home_link\n"));
    EXPECT_EQ(Names(), (std::set<std::string>{"usr_x->/usr", "home_link->" + home}));
}

TEST_F(CommandTest, WordFromTheOptionTheFileOrTheDefault)
{
    const std::string config = root + "/config.dat";
    std::ofstream(config) << "2085";
    struct Row { std::vector<std::string> args; const char* config; std::string line; };
    const Row rows[] = {
        {{"{T}/my file.txt"}, nullptr, "now: {T}/my_file.txt"},          // 305
        {{"{T}/my file.txt"}, config.c_str(), "now: {T}/My_File.txt"},   // the file's
        {{"--word", "1", "{T}/my file.txt"}, config.c_str(), "now: {T}/my_file.txt"},
        {{"--word", "0", "{T}/my file.txt"}, nullptr, "unchanged: {T}/my file.txt"},
    };
    for (const Row& row : rows) {
        Make({"my file.txt"});
        const Result result = Run(row.args, row.config);
        EXPECT_EQ(result.out, Here(row.line) + "\n");
        const std::string cleanup = "rm -rf '" + root + "/t' && mkdir '" + root + "/t'";
        ASSERT_EQ(system(cleanup.c_str()), 0);
    }
    // Bad usage, help, and nothing to undo.
    EXPECT_EQ(Run({}).code, 2);
    EXPECT_EQ(Run({"--word", "x", "{T}/a"}).code, 2);
    const Result help = Run({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("--dry-run"), std::string::npos);
    setenv("XDG_STATE_HOME", (root + "/no batch yet").c_str(), 1);
    const Result nothing = Run({"--undo"});
    EXPECT_EQ(nothing.code, 1);
    EXPECT_EQ(nothing.out, "");
}

} // namespace
