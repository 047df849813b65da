#include "app/command_lines.h"

#include <cstdio>
#include <cstring>

#include "convert/utf8.h"
#include "files/entries.h"

namespace {

// A line is built here whole, then written at once: a path of 32,767 units
// takes at most three bytes each.
constexpr size_t LINE_SIZE = 3 * WIDE_PATH_SIZE + 256;
char line[LINE_SIZE];
WidePath folder;

struct Line {
    size_t length;

    void Add(const char* text, size_t count)
    {
        if (length + count < LINE_SIZE) {
            memcpy(line + length, text, count);
            length += count;
        }
    }
    void Add(const char* text) { Add(text, strlen(text)); }
    void AddUnits(const WideChar* units, size_t count)
    {
        size_t made = 0;
        if (length < LINE_SIZE && WideToUtf8(units, count, line + length, LINE_SIZE - length, &made))
            length += made;
        else
            Add("?");
    }
};

// The row's path: its folder, then its name, or its new one when renamed.
void AddRowPath(Line* out, const BatchPlan* plan, size_t index, const BatchRow& row, bool renamed)
{
    const size_t length = RowFolderAfterRun(plan, index, folder, WIDE_PATH_SIZE);
    out->AddUnits(folder, length);
    if (length == 0 || folder[length - 1] != '/')
        out->Add("/");
    if (renamed)
        out->AddUnits(row.newName, row.newNameLength);
    else
        out->AddUnits(row.name, row.nameLength);
}

void AddReason(Line* out, const BatchRow& row)
{
    char buffer[48];
    out->Add(" (");
    out->Add(ReasonWords(row, buffer, sizeof buffer));
    out->Add(")");
}

void Send(Line* out, const LineSink& sink)
{
    out->Add("\n");
    sink.write(sink.context, line, out->length);
}

} // namespace

const char* ReasonWords(const BatchRow& row, char* buffer, size_t size)
{
    switch (row.status) {
    case ROW_CHANGE:
    case ROW_CLEAN:
    case ROW_RENAMED:
        return nullptr;
    case ROW_EXISTS:
    case ROW_TAKEN_FIRST:
        return "target exists";
    case ROW_TOO_LONG:
        return "name too long";
    case ROW_NOT_FOUND:
        return "not found";
    case ROW_EXCLUDED:
        // A link, or a folder the system or the user's home needs.
        return row.error == ERROR_NUMBER_STOPPED_ON_SYMLINK ? "link" : "system folder";
    case ROW_FAILED:
    case ROW_LEFT_ALONE:
        break;
    }
    return ErrorWords(row.error, buffer, size);
}

const char* ErrorWords(unsigned long error, char* buffer, size_t size)
{
    switch (error) {
    case 80:
    case ERROR_NUMBER_ALREADY_EXISTS:
        return "target exists";
    case ERROR_NUMBER_ACCESS_DENIED:
    case 32: // ERROR_SHARING_VIOLATION
        return "in use or access denied";
    case ERROR_NUMBER_FILE_NOT_FOUND:
    case 3: // ERROR_PATH_NOT_FOUND
        return "not found";
    case ERROR_NUMBER_NAME_TOO_LONG:
        return "name too long";
    case ERROR_NUMBER_STOPPED_ON_SYMLINK:
        return "link";
    case ERROR_NUMBER_NO_UNICODE_TRANSLATION:
        return "not UTF-8";
    case ERROR_NUMBER_NOT_SUPPORTED:
        return "not supported";
    default:
        snprintf(buffer, size, "other error %lu", error);
        return buffer;
    }
}

bool RowRenames(const BatchRow& row)
{
    return row.status == ROW_RENAMED || (row.status == ROW_CHANGE && row.ticked);
}

bool WriteGivenLines(const BatchPlan* plan, size_t first, size_t end, const LineSink& sink)
{
    size_t inside = 0;
    bool handled = true;
    size_t given = end;
    for (size_t i = first; i < end; ++i) {
        const BatchRow row = GetRow(plan, i);
        if (row.isGiven)
            given = i;
        else if (RowRenames(row))
            ++inside;
        else if (row.status != ROW_CLEAN)
            handled = false;
    }
    if (given == end)
        return handled;
    const BatchRow row = GetRow(plan, given);
    Line out = {0};
    if (RowRenames(row)) {
        out.Add("now: ");
        AddRowPath(&out, plan, given, row, true);
    } else if (row.status == ROW_CLEAN) {
        out.Add("unchanged: ");
        AddRowPath(&out, plan, given, row, false);
    } else {
        out.Add("not renamed: ");
        AddRowPath(&out, plan, given, row, false);
        AddReason(&out, row);
        handled = false;
    }
    if (inside > 0) {
        char count[48];
        snprintf(count, sizeof count, " (and %zu inside)", inside);
        out.Add(count);
    }
    Send(&out, sink);
    for (size_t i = first; i < end; ++i) {
        const BatchRow entry = GetRow(plan, i);
        if (entry.isGiven || RowRenames(entry) || entry.status == ROW_CLEAN)
            continue;
        Line failure = {0};
        failure.Add("not renamed: ");
        AddRowPath(&failure, plan, i, entry, false);
        AddReason(&failure, entry);
        Send(&failure, sink);
    }
    return handled;
}

void WriteUndoLine(const WideChar* newPath, const WideChar* oldPath, unsigned long error, const LineSink& sink)
{
    Line out = {0};
    if (error == 0) {
        out.Add("now: ");
        out.AddUnits(oldPath, WideLength(oldPath));
    } else {
        char buffer[48];
        out.Add("not renamed: ");
        out.AddUnits(newPath, WideLength(newPath));
        out.Add(" (");
        out.Add(ErrorWords(error, buffer, sizeof buffer));
        out.Add(")");
    }
    Send(&out, sink);
}

void WriteNotGivenLine(const char* path, const char* reason, const LineSink& sink)
{
    Line out = {0};
    out.Add("not renamed: ");
    out.Add(path);
    out.Add(" (");
    out.Add(reason);
    out.Add(")");
    Send(&out, sink);
}
