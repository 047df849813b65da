// The batch's plan and its carrying out, on real folders: each case makes a
// tree, plans the given paths, checks every row, carries the plan out and
// checks the tree the outcome left, with every file's bytes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "convert/options.h"

namespace fs = std::filesystem;

namespace {

std::u16string Wide(const std::string& text)
{
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        const size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        char32_t c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
        for (size_t k = 1; k < n; ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += n;
    }
    return out;
}

std::string Narrow(const char16_t* text, size_t length)
{
    std::string out;
    for (size_t i = 0; i < length; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < length)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

const char* const STATUS[] = {"change", "clean", "exists", "taken", "too long", "not found",
                              "excluded", "failed", "renamed", "left alone"};

// A tree under root: "a b.txt" a file holding its own name, "d/" a folder,
// "l>target" a symbolic link to target.
void MakeTree(const fs::path& root, const std::vector<std::string>& tree)
{
    for (const std::string& entry : tree) {
        const size_t arrow = entry.find('>');
        if (arrow != std::string::npos) {
            fs::create_directories((root / entry.substr(0, arrow)).parent_path());
            fs::create_symlink(entry.substr(arrow + 1), root / entry.substr(0, arrow));
        } else if (entry.back() == '/') {
            fs::create_directories(root / entry);
        } else {
            fs::create_directories((root / entry).parent_path());
            std::ofstream(root / entry) << entry;
        }
    }
}

// Every entry under root as "path" (folders with a '/', links as
// "path>target", files as "path=bytes").
std::set<std::string> Snapshot(const fs::path& root)
{
    std::set<std::string> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const std::string rel = fs::relative(it->path(), root).string();
        if (it->is_symlink()) {
            out.insert(rel + ">" + fs::read_symlink(it->path()).string());
        } else if (it->is_directory()) {
            out.insert(rel + "/");
        } else {
            std::ifstream in(it->path());
            out.insert(rel + "=" + std::string(std::istreambuf_iterator<char>(in), {}));
        }
    }
    return out;
}

// The rows as "status folder/name>new", folder relative to root, in order.
std::vector<std::string> Rows(const BatchPlan* plan, const fs::path& root)
{
    std::vector<std::string> out;
    static WidePath folder;
    for (size_t i = 0; i < RowCount(plan); ++i) {
        const BatchRow row = GetRow(plan, i);
        const size_t length = RowFolder(plan, i, folder, WIDE_PATH_SIZE);
        const std::string absolute = Narrow(folder, length);
        std::string where = fs::path(absolute).lexically_relative(root).string();
        where = where.empty() || where == "." ? "" : where + "/";
        if (!absolute.empty() && absolute.compare(0, root.string().size(), root.string()) != 0)
            where = absolute == "/" ? "/" : absolute + "/"; // outside the case's folder
        std::string line = std::string(STATUS[row.status]) + (row.ticked ? " " : " (unticked) ") + where +
                           Narrow(row.name, row.nameLength);
        if (row.newNameLength != row.nameLength || !std::equal(row.name, row.name + row.nameLength, row.newName))
            line += ">" + Narrow(row.newName, row.newNameLength);
        out.push_back(line);
    }
    return out;
}

struct PlanCase {
    const char* what;
    SettingsWord word;
    std::vector<std::string> tree;
    std::vector<std::string> given;
    std::vector<std::string> untick; // rows (as Rows gives them, before) to untick
    std::vector<std::string> rows;   // sorted, as Rows gives them, after unticking
    std::vector<std::string> renamed; // old -> new of the tree, "old>new", folders with '/'
};

const SettingsWord TREE = OPT_SPACES | OPT_FOLDER_CONTENTS;
const SettingsWord TREE_UPPER = OPT_SPACES | OPT_LETTERS | OPT_WIDTH_KEEP | OPT_CASE_UPPER | OPT_FOLDER_CONTENTS;

const PlanCase CASES[] = {
    {"a tree: every name, contents first, a name taken on disk ignoring case, hidden entries and no UTF-8 kept",
     TREE, {"t/a b.txt", "t/A_B.txt", "t/c d.txt", "t/.h i", "t/s x/e f", "t/ok", "t/n o\xff"}, {"t"}, {},
     {"change t/c d.txt>c_d.txt", "change t/s x/e f>e_f", "change t/s x>s_x", "clean t", "clean t/A_B.txt",
      "clean t/ok", "exists t/a b.txt>a_b.txt", "failed t/n o\xed\xb3\xbf"},
     {"t/c d.txt>t/c_d.txt", "t/s x/e f>t/s x/e_f", "t/s x/>t/s_x/"}},
    {"unticking a row frees its name for a later one", OPT_SPACES, {"c d.txt", "c\u3000d.txt"},
     {"c d.txt", "c\u3000d.txt"}, {"change c d.txt>c_d.txt"},
     {"change (unticked) c d.txt>c_d.txt", "change c\u3000d.txt>c_d.txt"}, {"c\u3000d.txt>c_d.txt"}},
    {"a case change of a name's own is no conflict; another name in another case is", TREE_UPPER,
     {"v/ab.txt", "v/x y.txt", "v/X_Y.txt"}, {"v"}, {},
     {"change v/ab.txt>AB.txt", "change v>V", "clean v/X_Y.txt", "exists v/x y.txt>X_Y.txt"},
     {"v/ab.txt>v/AB.txt", "v/>V/"}},
    {"links: a dropped one renamed as itself, a folder's too, one in a tree left alone, the target untouched",
     TREE,
     {"out/keep me.txt", "w/link to.txt>../out/keep me.txt", "w/a b", "link x>out/keep me.txt", "dir link>w"},
     {"w", "link x", "dir link"}, {},
     {"change dir link>dir_link", "change link x>link_x", "change w/a b>a_b", "clean w"},
     {"w/a b>w/a_b", "link x>link_x", "dir link>dir_link"}},
    {"given paths: their folder's names on disk ignoring case, taken in the list ignoring case, a trailing '/', "
     "a folder reached through a link",
     OPT_SPACES, {"g h.txt", "G_H.txt", "m n.txt", "M\u3000N.txt", "s t/in.txt", "u/v w", "u/V_W", "lu>u"},
     {"g h.txt", "m n.txt", "M\u3000N.txt", "s t/", "lu/v w"}, {},
     {"change m n.txt>m_n.txt", "change s t>s_t", "exists g h.txt>g_h.txt", "exists lu/v w>v_w",
      "taken M\u3000N.txt>M_N.txt"},
     {"m n.txt>m_n.txt", "s t/>s_t/"}},
    {"a change of case with the name on disk in another case is taken; a folder listed twice counts once; a "
     "tree given inside one given later is walked once",
     TREE_UPPER, {"k/ab.txt", "k/AB.txt", "f/cd.txt", "f/s/e f", "f/s/g/h"}, {"f/cd.txt", "f/s", "f", "k"}, {},
     {"change f/cd.txt>CD.txt", "change f/s/e f>E_F", "change f/s/g/h>H", "change f/s/g>G", "change f/s>S",
      "change f>F", "change k>K", "clean k/AB.txt", "exists k/ab.txt>AB.txt"},
     {"f/cd.txt>f/CD.txt", "f/s/e f>f/s/E_F", "f/s/g/h>f/s/g/H", "f/s/g/>f/s/G/", "f/s/>f/S/", "f/>F/", "k/>K/"}},
    // A word that changes none of these names: were the guard to fail, the
    // rows would say "clean" and nothing would move.
    {"guarded: the root and a system folder, however spelt, excluded and told each time", OPT_SPACES, {"x"},
     {"/", "/usr", "//usr/"}, {},
     {"excluded /", "excluded /usr", "excluded /usr"}, {}},
    {"given paths: a folder's new name carries into a path inside it, twice is once, gone is told, taken first",
     OPT_SPACES, {"p q/r s.txt", "p q/t.txt", "c d.txt", "c\u3000d.txt"},
     {"p q", "p q/r s.txt", "p q/r s.txt", "gone x", "c d.txt", "c\u3000d.txt"}, {},
     {"change c d.txt>c_d.txt", "change p q/r s.txt>r_s.txt", "change p q>p_q", "not found gone x",
      "taken c\u3000d.txt>c_d.txt"},
     {"p q/r s.txt>p q/r_s.txt", "p q/>p_q/", "c d.txt>c_d.txt"}},
};

class PlanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/plan-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        setenv("XDG_STATE_HOME", (root / "state").c_str(), 1);
        fs::create_directories(root / "cases");
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root;
};

TEST_F(PlanTest, RowsThenOutcomeEqualThePlan)
{
    int number = 0;
    for (const PlanCase& c : CASES) {
        SCOPED_TRACE(c.what);
        const fs::path folder = root / "cases" / std::to_string(++number);
        MakeTree(folder, c.tree);
        const std::set<std::string> before = Snapshot(folder);
        ASSERT_EQ(chdir(folder.c_str()), 0);

        BatchPlan* plan = NewPlan(c.word);
        for (const std::string& given : c.given)
            AddGivenPath(plan, Wide(given).c_str());
        while (!PlanSome(plan, 3)) {
        }
        for (const std::string& untick : c.untick) {
            const std::vector<std::string> rows = Rows(plan, folder);
            const auto at = std::find(rows.begin(), rows.end(), untick);
            ASSERT_NE(at, rows.end()) << untick;
            SetTicked(plan, static_cast<size_t>(at - rows.begin()), false);
        }
        std::vector<std::string> rows = Rows(plan, folder);
        // Contents first: a folder's row after every row inside it.
        for (size_t i = 0; i < rows.size(); ++i)
            for (size_t k = i + 1; k < rows.size(); ++k)
                EXPECT_EQ(rows[k].find(rows[i].substr(rows[i].find(' ') + 1) + "/"), std::string::npos)
                    << rows[i] << " before " << rows[k];
        std::vector<std::string> sorted = rows;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, c.rows);

        // Nothing moved while planning; then the outcome is the plan.
        EXPECT_EQ(Snapshot(folder), before);
        StartRun(plan);
        while (!RunSome(plan, 2)) {
        }
        EndRun(plan);
        for (size_t i = 0; i < RowCount(plan); ++i) {
            const BatchRow row = GetRow(plan, i);
            const RowStatus planned = row.ticked && rows[i].rfind("change", 0) == 0 ? ROW_RENAMED : row.status;
            EXPECT_EQ(row.status, planned) << rows[i] << " error " << row.error;
        }
        FreePlan(plan);

        std::map<std::string, std::string> moves;
        std::set<std::string> expected;
        for (std::string entry : before) {
            for (const std::string& rename : c.renamed) {
                const size_t arrow = rename.find('>');
                const std::string from = rename.substr(0, arrow), to = rename.substr(arrow + 1);
                const std::string key = from.back() == '/' ? from : from;
                if (entry.compare(0, key.size(), key) == 0 &&
                    (key.back() == '/' || entry.size() == key.size() || entry[key.size()] == '=' ||
                     entry[key.size()] == '>'))
                    entry = to + entry.substr(key.size());
            }
            expected.insert(entry);
        }
        EXPECT_EQ(Snapshot(folder), expected);
        fs::remove_all(folder);
    }
}

} // namespace
