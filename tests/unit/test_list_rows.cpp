// What the list window says of a plan: a row's status in its words, the
// filter, the counts, and the copy's text, on a plan of a real folder.
#include "ui/list_rows.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

std::u16string Utf16(const std::string& utf8)
{
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        const int length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        unsigned long point = length == 1 ? c : c & (0xFF >> (length + 1));
        for (int k = 1; k < length; ++k)
            point = point << 6 | (static_cast<unsigned char>(utf8[i + static_cast<size_t>(k)]) & 0x3F);
        if (point >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(point);
        }
        i += static_cast<size_t>(length);
    }
    return out;
}

TEST(ListRows, StatusWords)
{
    struct Row {
        RowStatus status;
        unsigned long error;
        bool ticked;
        ListPhase phase;
        const char* word;
    };
    const Row rows[] = {
        {ROW_CHANGE, 0, true, LIST_READY, "変更"},
        {ROW_CHANGE, 0, false, LIST_READY, "変更"},
        {ROW_CLEAN, 0, true, LIST_READY, "そのまま"},
        {ROW_EXISTS, 183, true, LIST_READY, "既にある"},
        {ROW_TAKEN_FIRST, 0, true, LIST_READY, "重複"},
        {ROW_TOO_LONG, 206, true, LIST_READY, "長すぎる"},
        {ROW_NOT_FOUND, 2, true, LIST_READY, "見つからない"},
        {ROW_EXCLUDED, 5, true, LIST_READY, "対象外"},
        {ROW_FAILED, 1113, true, LIST_READING, "エラー 1113"},
        {ROW_FAILED, 3, true, LIST_READY, "見つからない"},
        // After renaming: the outcome, a failed move by its error.
        {ROW_RENAMED, 0, true, LIST_DONE, "変更済み"},
        {ROW_LEFT_ALONE, 183, true, LIST_DONE, "既にある"},
        {ROW_LEFT_ALONE, 80, true, LIST_DONE, "既にある"},
        {ROW_LEFT_ALONE, 5, true, LIST_DONE, "使用中"},
        {ROW_LEFT_ALONE, 32, true, LIST_DONE, "使用中"},
        {ROW_LEFT_ALONE, 2, true, LIST_DONE, "見つからない"},
        {ROW_LEFT_ALONE, 3, true, LIST_DONE, "見つからない"},
        {ROW_LEFT_ALONE, 206, true, LIST_DONE, "長すぎる"},
        {ROW_LEFT_ALONE, 1450, true, LIST_DONE, "エラー 1450"},
        // Unticked, it stayed as it was.
        {ROW_CHANGE, 0, false, LIST_DONE, "そのまま"},
        {ROW_EXISTS, 183, true, LIST_DONE, "既にある"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.word);
        BatchRow row = {};
        row.status = r.status;
        row.error = r.error;
        row.ticked = r.ticked;
        WideChar text[STATUS_TEXT_SIZE];
        RowStatusText(row, r.phase, text);
        EXPECT_EQ(std::u16string(text), Utf16(r.word));
    }
}

// A plan of a real folder: the copy's header and rows, with and without
// the filter, measured as long as it is written; the counts.
TEST(ListRows, CopyAndFilterOfAPlan)
{
    const fs::path dir = fs::temp_directory_path() / ("blankmender-list-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "a b.txt") << "1";
    std::ofstream(dir / "keep.txt") << "2";
    BatchPlan* plan = NewPlan(OPT_SPACES);
    ASSERT_NE(plan, nullptr);
    for (const char* name : {"a b.txt", "keep.txt"})
        AddGivenPath(plan, Utf16((dir / name).string()).c_str());
    while (!PlanSome(plan, 100)) {
    }
    std::unique_ptr<WideChar[]> folder(new WideChar[WIDE_PATH_SIZE]);
    const std::u16string base = Utf16(dir.string());
    for (bool changedOnly : {false, true}) {
        SCOPED_TRACE(changedOnly);
        ShownRows shown = {};
        shown.changedOnly = changedOnly;
        ASSERT_TRUE(AddShownRows(&shown, plan, 0));
        std::u16string want = Utf16("状態\t変換前\t変換後\tフォルダ\r\n変更\ta b.txt\ta_b.txt\t") + base + u"\r\n";
        if (!changedOnly)
            want += Utf16("そのまま\tkeep.txt\tkeep.txt\t") + base + u"\r\n";
        const size_t length = FormatShownRows(plan, &shown, LIST_READY, nullptr, folder.get());
        std::u16string text(length + 1, u'#');
        EXPECT_EQ(FormatShownRows(plan, &shown, LIST_READY, &text[0], folder.get()), length);
        EXPECT_EQ(text[length], 0);
        text.resize(length);
        EXPECT_EQ(text, want);
        FreeShownRows(&shown);
    }
    WideChar summary[128];
    FormatListSummary(CountRows(plan), LIST_READY, 0, 1, summary, 128);
    EXPECT_EQ(std::u16string(summary), Utf16("全 2 件: 変更 1、そのまま 1\r\n変換するもの: 1 件"));
    FreePlan(plan);
    fs::remove_all(dir);
}

} // namespace
