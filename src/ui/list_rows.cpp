#include "ui/list_rows.h"

#include <cstdlib>
#include <cstring>

#include "convert/strings.h"
#include "history/lines.h"

namespace {

const WideChar* const STATUS_WORDS[] = {
    WIDE("変更"),         // ROW_CHANGE
    WIDE("そのまま"),     // ROW_CLEAN
    WIDE("既にある"),     // ROW_EXISTS
    WIDE("重複"),         // ROW_TAKEN_FIRST
    WIDE("長すぎる"),     // ROW_TOO_LONG
    WIDE("見つからない"), // ROW_NOT_FOUND
    WIDE("対象外"),       // ROW_EXCLUDED
    nullptr,              // ROW_FAILED: by its error
    WIDE("変更済み"),     // ROW_RENAMED
    nullptr,              // ROW_LEFT_ALONE: by its error
};
static_assert(sizeof STATUS_WORDS / sizeof STATUS_WORDS[0] == ROW_LEFT_ALONE + 1, "a word for every status");

// The words for a move that failed, by the history's reasons for errors,
// so the list and the history's summary tell one error alike.
const WideChar* const REASON_WORDS[REASON_COUNT] = {
    WIDE("既にある"),     // REASON_EXISTS: 183, 80
    WIDE("使用中"),       // REASON_DENIED: 5, 32
    WIDE("見つからない"), // REASON_NOT_FOUND: 2, 3
    WIDE("長すぎる"),     // REASON_TOO_LONG: 206
    WIDE("エラー "),      // REASON_OTHER_ERROR, and its number
};

// Appends to a text being built; what does not fit is left out, and the
// text stays terminated.
struct TextWriter {
    WideChar* out; // null: only counts
    size_t size;   // units of out, the terminator included
    size_t used;

    void Unit(WideChar unit)
    {
        if (out != nullptr && used + 1 < size) {
            out[used] = unit;
            out[used + 1] = 0;
        }
        used++;
    }
    void Text(const WideChar* text)
    {
        for (size_t i = 0; text[i] != 0; ++i)
            Unit(text[i]);
    }
    void Units(const WideChar* text, size_t length)
    {
        for (size_t i = 0; i < length; ++i)
            Unit(text[i]);
    }
    void Number(size_t value)
    {
        char digits[DECIMAL_BUFFER_SIZE];
        FormatDecimal(static_cast<long long>(value), digits);
        for (size_t i = 0; digits[i] != 0; ++i)
            Unit(static_cast<WideChar>(static_cast<unsigned char>(digits[i])));
    }
};

void WriteStatus(TextWriter* text, const BatchRow& row, ListPhase phase)
{
    if (row.status == ROW_FAILED || row.status == ROW_LEFT_ALONE) {
        const HistoryReason reason = ReasonForError(row.error);
        text->Text(REASON_WORDS[reason]);
        if (reason == REASON_OTHER_ERROR)
            text->Number(row.error);
        return;
    }
    if (phase == LIST_DONE && row.status == ROW_CHANGE) {
        text->Text(STATUS_WORDS[ROW_CLEAN]);
        return;
    }
    text->Text(STATUS_WORDS[row.status <= ROW_LEFT_ALONE ? row.status : ROW_FAILED]);
}

} // namespace

void RowStatusText(const BatchRow& row, ListPhase phase, WideChar out[STATUS_TEXT_SIZE])
{
    out[0] = 0;
    TextWriter text = {out, STATUS_TEXT_SIZE, 0};
    WriteStatus(&text, row, phase);
}

bool AddShownRows(ShownRows* shown, const BatchPlan* plan, size_t from)
{
    const size_t rows = RowCount(plan);
    for (size_t row = from; row < rows; ++row) {
        if (shown->changedOnly && GetRow(plan, row).status == ROW_CLEAN)
            continue;
        if (shown->count == shown->capacity) {
            const size_t capacity = shown->capacity == 0 ? 4096 : shown->capacity * 2;
            void* grown = realloc(shown->rows, capacity * sizeof(size_t));
            if (grown == nullptr)
                return false;
            shown->rows = static_cast<size_t*>(grown);
            shown->capacity = capacity;
        }
        shown->rows[shown->count++] = row;
    }
    return true;
}

void ClearShownRows(ShownRows* shown)
{
    shown->count = 0;
}

void FreeShownRows(ShownRows* shown)
{
    free(shown->rows);
    shown->rows = nullptr;
    shown->count = 0;
    shown->capacity = 0;
}

void FormatListSummary(const PlanCounts& counts, ListPhase phase, size_t done, size_t total, WideChar* out,
                       size_t size)
{
    if (size == 0)
        return;
    out[0] = 0;
    TextWriter text = {out, size, 0};
    // 全 120 件: 変更 80、そのまま 35、既にある 5
    text.Text(WIDE("全 "));
    text.Number(counts.rows);
    text.Text(WIDE(" 件"));
    const WideChar* separator = WIDE(": ");
    for (int status = ROW_CHANGE; status <= ROW_LEFT_ALONE; ++status) {
        if (counts.byStatus[status] == 0)
            continue;
        text.Text(separator);
        separator = WIDE("、");
        if (status == ROW_FAILED)
            text.Text(WIDE("エラー"));
        else if (status == ROW_LEFT_ALONE)
            text.Text(WIDE("変更できず"));
        else
            text.Text(STATUS_WORDS[status]);
        text.Unit(' ');
        text.Number(counts.byStatus[status]);
    }
    text.Text(WIDE("\r\n"));
    switch (phase) {
    case LIST_READING:
        text.Text(WIDE("読み込み中…"));
        break;
    case LIST_READY:
        text.Text(WIDE("変換するもの: "));
        text.Number(total);
        text.Text(WIDE(" 件"));
        break;
    case LIST_RUNNING:
        text.Text(WIDE("変換中… "));
        text.Number(done);
        text.Text(WIDE(" / "));
        text.Number(total);
        text.Text(WIDE(" 件"));
        break;
    case LIST_DONE:
        text.Text(WIDE("変換しました。"));
        break;
    }
}

size_t FormatShownRows(const BatchPlan* plan, const ShownRows* shown, ListPhase phase, WideChar* out,
                       WideChar* folder)
{
    TextWriter text = {out, out != nullptr ? static_cast<size_t>(-1) : 0, 0};
    if (out != nullptr)
        out[0] = 0;
    text.Text(WIDE("状態\t変換前\t変換後\tフォルダ\r\n"));
    for (size_t i = 0; i < shown->count; ++i) {
        const size_t index = shown->rows[i];
        const BatchRow row = GetRow(plan, index);
        WriteStatus(&text, row, phase);
        text.Unit('\t');
        text.Units(row.name, row.nameLength);
        text.Unit('\t');
        text.Units(row.newName, row.newNameLength);
        text.Unit('\t');
        text.Units(folder, RowFolder(plan, index, folder, WIDE_PATH_SIZE));
        text.Text(WIDE("\r\n"));
    }
    return text.used;
}
