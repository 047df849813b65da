// The history file's lines: paths that come back exactly, batches told
// apart, lines cut short or made of junk passed over, and the trimming.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "history/history.h"
#include "ui/summary.h"

namespace {

typedef std::u16string Path;

const HistoryTime WHEN = {2026, 12, 9, 4, 5, 31};

std::string Batch(const char* id, SettingsWord word = 305, HistoryTime when = WHEN)
{
    char line[128];
    size_t length = FormatBatchLine(id, when, word, line, sizeof line);
    EXPECT_NE(length, 0u);
    return std::string(line, length);
}

std::string Move(const char* id, const Path& oldPath, const Path& newPath)
{
    static std::vector<char> line(HISTORY_LINE_SIZE);
    size_t length = FormatMoveLine(id, oldPath.c_str(), newPath.c_str(), line.data(), line.size());
    EXPECT_NE(length, 0u);
    return std::string(line.data(), length);
}

std::string Done(const char* id)
{
    char line[64];
    return std::string(line, FormatDoneLine(id, line, sizeof line));
}

std::string Failed(const char* id, const Path& path, unsigned long error)
{
    static std::vector<char> line(HISTORY_LINE_SIZE);
    return std::string(line.data(), FormatFailedLine(id, path.c_str(), error, line.data(), line.size()));
}

std::string Same(const char* id, const Path& path)
{
    static std::vector<char> line(HISTORY_LINE_SIZE);
    return std::string(line.data(), FormatSameLine(id, path.c_str(), line.data(), line.size()));
}

std::string End(const char* id, unsigned long unchanged)
{
    char line[64];
    return std::string(line, FormatEndLine(id, unchanged, line, sizeof line));
}

std::string Undone(const char* id)
{
    char line[64];
    return std::string(line, FormatUndoneLine(id, line, sizeof line));
}

Path Decoded(const HistoryField& field)
{
    std::vector<WideChar> out(HISTORY_PATH_UNITS);
    EXPECT_TRUE(DecodeHistoryPath(field, out.data(), out.size()));
    return Path(out.data());
}

// The moves that undo would take back, as pairs of paths.
std::vector<std::pair<Path, Path>> Moves(const std::string& text, const char* id, std::vector<bool>* confirmed = nullptr)
{
    std::vector<HistoryMove> moves(64);
    size_t count = ListBatchMoves(text.data(), text.size(), id, moves.data(), moves.size());
    EXPECT_LE(count, moves.size());
    std::vector<std::pair<Path, Path>> pairs;
    for (size_t i = 0; i < count && i < moves.size(); ++i) {
        pairs.emplace_back(Decoded(moves[i].oldPath), Decoded(moves[i].newPath));
        if (confirmed != nullptr)
            confirmed->push_back(moves[i].confirmed);
    }
    return pairs;
}

TEST(History, LinesAsNotepadShowsThem)
{
    EXPECT_EQ(Batch("12-1a2b", 2085), "batch\t12-1a2b\t2026-12-09 04:05:31\t2085\r\n");
    EXPECT_EQ(Move("12-1a2b", u"C:\\Docs\\a b.txt", u"C:\\Docs\\a_b.txt"),
              "move\t12-1a2b\tC:\\Docs\\a b.txt\tC:\\Docs\\a_b.txt\r\n");
    EXPECT_EQ(Done("12-1a2b"), "done\t12-1a2b\r\n");
    EXPECT_EQ(Same("12-1a2b", u"C:\\Docs\\end."), "same\t12-1a2b\tC:\\Docs\\end.\r\n");
    EXPECT_EQ(End("12-1a2b", 3), "end\t12-1a2b\t3\r\n");
    EXPECT_EQ(Undone("12-1a2b"), "undone\t12-1a2b\r\n");
    // 会議 資料.pdf in UTF-8, and a '%' written as its escape.
    EXPECT_EQ(Failed("7-f", u"C:\\\u4F1A\u8B70 100%.pdf", 183),
              "failed\t7-f\tC:\\\xE4\xBC\x9A\xE8\xAD\xB0 100%0025.pdf\t183\ttarget exists\r\n");

    char id[HISTORY_ID_SIZE];
    MakeBatchId(4321, 0x1DC2F3A4B5C6D7Eull, id);
    EXPECT_STREQ(id, "4321-1dc2f3a4b5c6d7e");
    MakeBatchId(0, 0, id);
    EXPECT_STREQ(id, "0-0");
}

TEST(History, ReasonsFromWindowsErrors)
{
    const struct {
        unsigned long error;
        HistoryReason reason;
        const char* word;
    } rows[] = {
        {183, REASON_EXISTS, "target exists"},
        {80, REASON_EXISTS, "target exists"},
        {5, REASON_DENIED, "in use or access denied"},
        {32, REASON_DENIED, "in use or access denied"},
        {2, REASON_NOT_FOUND, "not found"},
        {3, REASON_NOT_FOUND, "not found"},
        {206, REASON_TOO_LONG, "name too long"},
        {123, REASON_OTHER_ERROR, "other"},
        {0, REASON_OTHER_ERROR, "other"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.error);
        EXPECT_EQ(ReasonForError(row.error), row.reason);
        std::string line = Failed("1-1", u"x", row.error);
        EXPECT_EQ(line, "failed\t1-1\tx\t" + std::to_string(row.error) + "\t" + row.word + "\r\n");
    }
}

TEST(History, PathsComeBackExactly)
{
    Path longest;
    for (size_t i = 0; longest.size() < 32000; ++i)
        longest += i % 50 == 0 ? u'\\' : static_cast<char16_t>(0x3042 + i % 80);
    Path allUnits;
    for (char16_t unit = 1; unit < 0xD800; unit = static_cast<char16_t>(unit + 37))
        allUnits += unit;
    const Path paths[] = {
        u"C:\\a\tb.txt",                       // a tab: the field separator
        u"C:\\x\xD800y",                       // a lone high surrogate
        u"C:\\x\xDC00",                        // a lone low surrogate at the end
        u"C:\\\xDBFF\xDFFF\xD83D",             // a pair, then half of one
        u"C:\\\U0001F600 \u301C\uFF5E\u00E9",  // emoji, look-alikes, an accent
        u"C:\\%41%%0025\\\x7F\x01\x1F",        // what looks like an escape, DEL, controls
        u"\\\\?\\UNC\\server\\share\\\uE000",  // long form, private use
        longest,
        allUnits,
    };
    for (const Path& path : paths) {
        SCOPED_TRACE(path.size());
        std::string text = Batch("9-9") + Move("9-9", path, path + u"2") + Done("9-9");
        // One line per record: nothing in a path may break one.
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
        std::vector<std::pair<Path, Path>> moves = Moves(text, "9-9");
        ASSERT_EQ(moves.size(), 1u);
        EXPECT_TRUE(moves[0].first == path);
        EXPECT_TRUE(moves[0].second == path + u"2");
    }
    // The longest possible path at five bytes a unit still fits a line.
    Path worst(HISTORY_PATH_UNITS - 1, u'%');
    EXPECT_NE(Move("1-1", worst, worst).size(), 0u);

    // Too small a buffer is refused, never cut.
    char small[20];
    EXPECT_EQ(FormatMoveLine("1-1", u"C:\\abcdef", u"C:\\abcdefg", small, sizeof small), 0u);
    WideChar two[2];
    const char field[] = "abc";
    EXPECT_FALSE(DecodeHistoryPath({field, 3}, two, 2));
    EXPECT_EQ(two[0], 0);
}

TEST(History, JunkAndTornLinesArePassedOver)
{
    const std::string good = Batch("1-a") + Move("1-a", u"C:\\a b", u"C:\\a_b") + Done("1-a");
    const std::string junk[] = {
        "",
        "\r\n",
        "hello\r\n",
        "move\t1-a\tC:\\x y\r\n",                       // a field short
        "move\t1-a\tC:\\x y\tC:\\x_y\textra\r\n",       // a field too many
        "move\t1 a\tC:\\x y\tC:\\x_y\r\n",              // not an id
        "move\t\tC:\\x y\tC:\\x_y\r\n",                 // no id
        "move\t1-a\t\tC:\\x_y\r\n",                     // no path
        "move\t1-a\tC:\\x%zz\tC:\\x_y\r\n",             // a broken escape
        "move\t1-a\tC:\\x%0000\tC:\\x_y\r\n",           // NUL
        "move\t1-a\tC:\\\xC0\xAF\tC:\\x_y\r\n",         // an overlong form
        "move\t1-a\tC:\\\xED\xA0\x80\tC:\\x_y\r\n",     // an encoded surrogate
        "move\t1-a\tC:\\\xFF\tC:\\x_y\r\n",             // no UTF-8
        "move\t1-a\tC:\\\xE3\x81\tC:\\x_y\r\n",         // cut inside a character
        "MOVE\t1-a\tC:\\x y\tC:\\x_y\r\n",              // kinds are small letters
        "move\t2-b\tC:\\x y\tC:\\x_y\r\n",              // a batch that never started
        "batch\t3-c\t2026-1-09 04:05:31\t305\r\n",      // a broken time
        "batch\t3-c\t2026-12-09 04:05:31\t-5\r\n",      // a broken word
        "end\t1-a\tmany\r\n",
        "done\t1-a\r\n",                                // no move waiting
        std::string("move\t1-a\tC:\\x\0y\tC:\\x_y\r\n", 24),
        std::string(600000, 'x') + "\r\n",            // longer than any record
    };
    for (const std::string& line : junk) {
        SCOPED_TRACE(line);
        for (const std::string& text : {good + line, line + good, good + line + Done("1-a")}) {
            HistoryBatch batch;
            ASSERT_TRUE(FindLatestBatch(text.data(), text.size(), &batch));
            EXPECT_STREQ(batch.id, "1-a");
            EXPECT_EQ(batch.renamed, 1u);
            EXPECT_EQ(batch.unconfirmed, 0u);
            std::vector<std::pair<Path, Path>> moves = Moves(text, "1-a");
            ASSERT_EQ(moves.size(), 1u);
            EXPECT_TRUE(moves[0].first == u"C:\\a b");
        }
    }
    // The last line, cut short by a batch that was stopped: no line end.
    for (const char* torn : {"move\t1-a\tC:\\x y\tC:\\x_y", "move\t1-a\tC:\\x y\tC:\\x_", "mo",
                                    "done\t1-a", "failed\t1-a\tC:\\a b\t183\ttarget exists\r"}) {
        SCOPED_TRACE(torn);
        std::string text = good.substr(0, good.size() - Done("1-a").size()) + torn;
        HistoryBatch batch;
        ASSERT_TRUE(FindLatestBatch(text.data(), text.size(), &batch));
        EXPECT_EQ(batch.renamed, 0u);
        EXPECT_EQ(batch.unconfirmed, 1u);
        EXPECT_EQ(batch.failed, 0u);
        EXPECT_EQ(Moves(text, "1-a").size(), 1u);
    }
    // Nothing at all, or only junk: no batch.
    for (const std::string& text : {std::string(), std::string("batch\t1-a\t2026-12-09 04:05:31\t305"),
                                    std::string("\r\n\r\nx\ty\r\n")}) {
        HistoryBatch batch;
        EXPECT_FALSE(FindLatestBatch(text.data(), text.size(), &batch));
    }
}

TEST(History, ABatchStoppedPartWay)
{
    // Stopped right after writing a move (its file may or may not have
    // moved), and again in the middle of the next line.
    std::string text = Batch("5-e") + Move("5-e", u"C:\\a b", u"C:\\a_b") + Done("5-e") +
                       Move("5-e", u"C:\\c d", u"C:\\c_d") + "done\t5";
    HistoryBatch batch;
    ASSERT_TRUE(FindLatestBatch(text.data(), text.size(), &batch));
    EXPECT_EQ(batch.renamed, 1u);
    EXPECT_EQ(batch.unconfirmed, 1u);
    EXPECT_FALSE(batch.ended);
    std::vector<bool> confirmed;
    std::vector<std::pair<Path, Path>> moves = Moves(text, "5-e", &confirmed);
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_TRUE(moves[1].second == u"C:\\c_d");
    EXPECT_EQ(confirmed, (std::vector<bool>{true, false}));
}

TEST(History, InterleavedBatchesKeepTheirOwn)
{
    // Three batches at once: their lines mixed, each failure after its own
    // move. The last one started is the latest, whatever ends last.
    std::string text = Batch("1-a") + Batch("2-b") + Move("1-a", u"C:\\1 x", u"C:\\1_x") +
                       Move("2-b", u"C:\\2 x", u"C:\\2_x") + Batch("3-c", 2085) + Done("2-b") +
                       Failed("3-c", u"C:\\3 gone", 2) + Done("1-a") + Move("3-c", u"C:\\3 x", u"C:\\3_X") +
                       Move("2-b", u"C:\\2 y", u"C:\\2_y") + Failed("3-c", u"C:\\3 x", 32) + Failed("2-b", u"C:\\2 y", 183) +
                       Move("3-c", u"C:\\3 y", u"C:\\3_Y") + Same("3-c", u"C:\\3Z") + End("1-a", 0) + Done("3-c") + End("2-b", 4) + End("3-c", 1);
    HistoryBatch batch;
    ASSERT_TRUE(FindLatestBatch(text.data(), text.size(), &batch));
    EXPECT_STREQ(batch.id, "3-c");
    EXPECT_EQ(batch.word, 2085);
    EXPECT_EQ(batch.renamed, 1u);
    EXPECT_EQ(batch.failed, 2u);
    EXPECT_EQ(batch.reasons[REASON_NOT_FOUND], 1u);
    EXPECT_EQ(batch.reasons[REASON_DENIED], 1u);
    EXPECT_EQ(batch.unchanged, 1u);
    EXPECT_TRUE(batch.ended);

    const struct {
        const char* id;
        std::vector<std::pair<Path, Path>> moves;
    } rows[] = {
        {"1-a", {{u"C:\\1 x", u"C:\\1_x"}}},
        {"2-b", {{u"C:\\2 x", u"C:\\2_x"}}},
        {"3-c", {{u"C:\\3 y", u"C:\\3_Y"}}},
        {"4-d", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.id);
        EXPECT_TRUE(Moves(text, row.id) == row.moves);
    }

    // Undoing goes back one batch at a time, by start; an undone mark
    // written twice, or before the batch it names, changes nothing more.
    const struct {
        std::string marks;
        const char* latest; // nullptr: none left
    } undone[] = {
        {Undone("3-c"), "2-b"},
        {Undone("3-c") + Undone("3-c"), "2-b"},
        {Undone("3-c") + Undone("2-b"), "1-a"},
        {Undone("2-b"), "3-c"},
        {Undone("3-c") + Undone("2-b") + Undone("1-a"), nullptr},
        {Undone("9-z"), "3-c"},
    };
    for (const auto& row : undone) {
        SCOPED_TRACE(row.marks);
        std::string marked = text + row.marks;
        EXPECT_EQ(FindLatestBatch(marked.data(), marked.size(), &batch), row.latest != nullptr);
        if (row.latest != nullptr) {
            EXPECT_STREQ(batch.id, row.latest);
        }
    }
}

TEST(History, TrimmingKeepsTheLatestBatchesWhole)
{
    // Batches of about 100 KB each, interleaved two at a time, with junk.
    auto batchOf = [](int n) {
        std::string id = std::to_string(n) + "-t";
        std::string text = Batch(id.c_str());
        for (int i = 0; i < 400; ++i) {
            Path old = u"C:\\" + Path(50, static_cast<char16_t>(0x4E00 + n)) + u" " + static_cast<char16_t>(u'a' + i % 26);
            text += Move(id.c_str(), old, old + u"_") + Done(id.c_str());
        }
        return text + End(id.c_str(), 0);
    };
    std::vector<std::string> batches;
    for (int n = 0; n < 14; ++n)
        batches.push_back(batchOf(n));
    const size_t each = batches[0].size();
    ASSERT_GT(each, 100000u);
    ASSERT_LT(each, 150000u);
    std::string text = "junk\r\n";
    for (const std::string& b : batches)
        text += b;
    text += Undone("12-t") + "cut sho";
    ASSERT_GT(text.size(), HISTORY_LIMIT);

    std::string trimmed = text;
    trimmed.resize(TrimHistory(&trimmed[0], trimmed.size(), HISTORY_LIMIT));
    EXPECT_LE(trimmed.size(), HISTORY_LIMIT);
    // The newest batches that fit, whole and in order, the undone mark
    // with its batch; junk and the torn line gone.
    const size_t fit = (HISTORY_LIMIT - Undone("12-t").size()) / each;
    std::string want;
    for (size_t n = batches.size() - fit; n < batches.size(); ++n)
        want += batches[n];
    want += Undone("12-t");
    EXPECT_EQ(trimmed.size(), want.size());
    EXPECT_TRUE(trimmed == want);
    HistoryBatch batch;
    ASSERT_TRUE(FindLatestBatch(trimmed.data(), trimmed.size(), &batch));
    EXPECT_STREQ(batch.id, "13-t");

    // Trimming what it made changes nothing.
    std::string again = trimmed;
    again.resize(TrimHistory(&again[0], again.size(), HISTORY_LIMIT));
    EXPECT_TRUE(again == trimmed);

    // Interleaved: a batch is kept with all its lines or not at all.
    std::string mixed = Batch("1-a") + Move("1-a", u"C:\\a", u"C:\\b") + Batch("2-b") + Done("1-a") +
                        Move("2-b", u"C:\\c", u"C:\\d") + Done("2-b") + End("1-a", 0) + End("2-b", 0);
    std::string one = Batch("2-b") + Move("2-b", u"C:\\c", u"C:\\d") + Done("2-b") + End("2-b", 0);
    std::string copy = mixed;
    copy.resize(TrimHistory(&copy[0], copy.size(), one.size() + 10));
    EXPECT_EQ(copy, one);
    copy = mixed;
    copy.resize(TrimHistory(&copy[0], copy.size(), mixed.size()));
    EXPECT_EQ(copy, mixed);

    // The latest batch alone over the limit is still kept whole.
    std::string big = batches[0] + batches[1];
    big.resize(TrimHistory(&big[0], big.size(), each / 2));
    EXPECT_TRUE(big == batches[1]);

    // More batches than trimming can list: the latest 4,096 are kept.
    std::string many;
    std::string newest;
    for (int n = 0; n < 5000; ++n) {
        const std::string id = std::to_string(n) + "-m";
        const std::string lines = Batch(id.c_str()) + Move(id.c_str(), u"C:\\a b", u"C:\\a_b") + Done(id.c_str());
        many += lines;
        if (n >= 5000 - 4096)
            newest += lines;
    }
    many.resize(TrimHistory(&many[0], many.size(), HISTORY_LIMIT));
    EXPECT_TRUE(many == newest);
}

TEST(History, ABatchOfAnySize)
{
    // More moves than 32,768 and more bytes than 8 MiB, a few lines near
    // the longest a move can be among them, and junk longer than any line,
    // after older batches.
    const size_t count = 40000;
    const Path folder = u"C:\\" + Path(96, u'd') + u"\\";
    auto oldPath = [&](size_t i, const std::string& number) {
        return i % 10000 == 5000 ? u"C:\\" + Path(30000, u'%') + Path(1, static_cast<char16_t>(u'a' + i / 10000))
                                 : folder + u"f " + Path(number.begin(), number.end());
    };
    std::string latest = Batch("2-b");
    std::string text = Batch("1-a") + Move("1-a", u"C:\\a b", u"C:\\a_b") + Done("1-a") + End("1-a", 0) + latest;
    for (size_t i = 0; i < count; ++i) {
        const std::string number = std::to_string(i);
        const std::string lines = Move("2-b", oldPath(i, number), oldPath(i, number) + u"_") + Done("2-b");
        latest += lines;
        text += lines;
        if (i == count / 2)
            text += std::string(700000, '\t') + "\r\n";
    }
    latest += End("2-b", 3);
    text += End("2-b", 3);
    ASSERT_GT(text.size(), size_t(8) << 20);

    HistoryBatch batch;
    ASSERT_TRUE(FindLatestBatch(text.data(), text.size(), &batch));
    EXPECT_STREQ(batch.id, "2-b");
    EXPECT_EQ(batch.renamed, count);
    EXPECT_EQ(batch.unconfirmed, 0u);
    std::vector<HistoryMove> moves(batch.renamed + batch.unconfirmed);
    ASSERT_EQ(ListBatchMoves(text.data(), text.size(), "2-b", moves.data(), moves.size()), count);
    for (size_t i : {size_t(0), size_t(5000), size_t(32767), size_t(32768), size_t(35000), count - 1}) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(Decoded(moves[i].oldPath) == oldPath(i, std::to_string(i)));
        EXPECT_TRUE(moves[i].confirmed);
    }
    WideChar summary[256];
    FormatHistorySummary(&batch, summary, 256);
    EXPECT_TRUE(Path(summary) == u"2026-12-09 04:05:31\r\n名前を変更: 40000 件");

    // Trimmed, it is all that is left, whole; trimming again changes
    // nothing.
    std::string trimmed = text;
    trimmed.resize(TrimHistory(&trimmed[0], trimmed.size(), HISTORY_TRIMMED));
    EXPECT_TRUE(trimmed == latest);
    trimmed.resize(TrimHistory(&trimmed[0], trimmed.size(), HISTORY_TRIMMED));
    EXPECT_TRUE(trimmed == latest);
}

TEST(History, SummaryInJapanese)
{
    HistoryBatch batch = {};
    strcpy(batch.id, "1-a");
    batch.when = WHEN;
    batch.renamed = 12;
    batch.ended = true;
    const struct {
        unsigned long failed[REASON_COUNT];
        bool ended;
        const char16_t* want;
    } rows[] = {
        {{0, 0, 0, 0, 0}, true, u"2026-12-09 04:05:31\r\n名前を変更: 12 件"},
        // when it did not end
        {{0, 0, 0, 0, 0}, false, u"2026-12-09 04:05:31（中断）\r\n名前を変更: 12 件"},
        {{1, 2, 0, 0, 0}, true, u"2026-12-09 04:05:31\r\n名前を変更: 12 件\r\n失敗: 3 件（主に使用中か権限なし）"},
        {{0, 0, 0, 0, 1}, true, u"2026-12-09 04:05:31\r\n名前を変更: 12 件\r\n失敗: 1 件（主にその他のエラー）"},
        // a tie goes to the reason listed first
        {{2, 0, 2, 0, 0}, true, u"2026-12-09 04:05:31\r\n名前を変更: 12 件\r\n失敗: 4 件（主に同じ名前がある）"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.failed[0]);
        batch.failed = 0;
        for (int r = 0; r < REASON_COUNT; ++r) {
            batch.reasons[r] = row.failed[r];
            batch.failed += row.failed[r];
        }
        batch.ended = row.ended;
        WideChar text[256];
        FormatHistorySummary(&batch, text, 256);
        EXPECT_TRUE(Path(text) == row.want);
    }
    WideChar text[256];
    FormatHistorySummary(nullptr, text, 256);
    EXPECT_TRUE(Path(text) == u"履歴はありません。");
    // Too small: empty, never cut.
    WideChar small[24];
    FormatHistorySummary(&batch, small, 24);
    EXPECT_EQ(small[0], 0);

    // The words of each reason, as the undo report shows them too.
    const char16_t* const reasons[REASON_COUNT] = {u"同じ名前がある", u"使用中か権限なし", u"見つからない",
                                                   u"名前が長すぎる", u"その他のエラー"};
    for (int r = 0; r < REASON_COUNT; ++r)
        EXPECT_TRUE(Path(ReasonText(static_cast<HistoryReason>(r))) == reasons[r]);

    // From the file to the summary.
    std::string file = Batch("8-h") + Move("8-h", u"C:\\a b", u"C:\\a_b") + Done("8-h") +
                       Failed("8-h", u"C:\\c d", 183) + End("8-h", 2);
    HistoryBatch read;
    ASSERT_TRUE(FindLatestBatch(file.data(), file.size(), &read));
    FormatHistorySummary(&read, text, 256);
    EXPECT_TRUE(Path(text) == u"2026-12-09 04:05:31\r\n名前を変更: 1 件\r\n失敗: 1 件（主に同じ名前がある）");
}

} // namespace
