// history.txt on Windows, through the wide API and the file operations that
// batch renaming uses too.
//
// Batches append at once: each opens the file for appending, and every line
// goes out in one write, in turn, so lines interleave but never mix. No handle
// lets the file be deleted or replaced while it is open: older batches are
// dropped only when nobody has the file open, by writing the rest to a new
// file and moving that over it, as config.dat is saved.
#include "history/history_file.h"

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cwchar>

#include "files/files.h"
#include "history/undo.h"

namespace {

const char HISTORY_FILE_NAME[] = "history.txt";

WidePath historyPath;
WidePath callPath;

bool MakeHistoryPath()
{
    return FileBesideExecutable(HISTORY_FILE_NAME, historyPath, WIDE_PATH_SIZE) &&
           ForFileCalls(historyPath, callPath, WIDE_PATH_SIZE);
}

// Another batch may be dropping old ones right now, with the file to
// itself for a moment: wait for it, a while.
HANDLE OpenForAppending()
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE file = CreateFileW(callPath, FILE_READ_DATA | FILE_APPEND_DATA | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION)
            return file;
        Sleep(10);
    }
    return INVALID_HANDLE_VALUE;
}

// The writers of all batches take turns at the end of the file: not every
// system appends in one step (Wine finds the end, then writes there). Each
// holds a lock on a byte far past any end while it is there.
OVERLAPPED TurnByte()
{
    OVERLAPPED at = {};
    at.Offset = 0xFFFFFFFE;
    at.OffsetHigh = 0x7FFFFFFF;
    return at;
}

bool TakeTurn(HANDLE file)
{
    OVERLAPPED at = TurnByte();
    return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at) != 0;
}

void EndTurn(HANDLE file, bool taken)
{
    OVERLAPPED at = TurnByte();
    if (taken)
        UnlockFileEx(file, 0, 1, 0, &at);
}

void Write(HANDLE file, const char* text, size_t length)
{
    DWORD written;
    WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr);
}

// One line, or a few, at the end of the file in one write.
void Append(HANDLE file, const char* text, size_t length)
{
    if (file == INVALID_HANDLE_VALUE || length == 0)
        return;
    const bool taken = TakeTurn(file);
    Write(file, text, length);
    EndTurn(file, taken);
}

// A batch stopped in the middle of a line left it without its line end:
// end it, so that the next line is a line of its own.
void EndTornLine(HANDLE file)
{
    const bool taken = TakeTurn(file);
    LARGE_INTEGER size;
    if (GetFileSizeEx(file, &size) && size.QuadPart != 0) {
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(size.QuadPart - 1);
        at.OffsetHigh = static_cast<DWORD>((size.QuadPart - 1) >> 32);
        char last = 0;
        DWORD read = 0;
        if (ReadFile(file, &last, 1, &read, &at) && read == 1 && last != '\n')
            Write(file, "\r\n", 2);
    }
    EndTurn(file, taken);
}

// The bytes of file at offset, for trimming.
size_t ReadAt(void* file, unsigned long long offset, char* out, size_t size)
{
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    const DWORD want = size < (1u << 30) ? static_cast<DWORD>(size) : (1u << 30);
    return ReadFile(static_cast<HANDLE>(file), out, want, &read, &at) ? read : 0;
}

void WriteToSave(void* save, const char* bytes, size_t length)
{
    WriteAtomicSave(static_cast<AtomicSave*>(save), bytes, length);
}

// The whole file in a block of the heap, for the dialog's reading and
// undo, which need all of the latest batch, whatever its size; nullptr
// when there is none or it cannot be had. The caller frees it.
char* ReadHistory(size_t* length)
{
    *length = 0;
    if (!MakeHistoryPath())
        return nullptr;
    HANDLE file = CreateFileW(callPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    LARGE_INTEGER size;
    char* text = nullptr;
    // What another batch appends meanwhile is left for the next reading.
    if (GetFileSizeEx(file, &size) && static_cast<unsigned long long>(size.QuadPart) < SIZE_MAX)
        text = static_cast<char*>(malloc(static_cast<size_t>(size.QuadPart) + 1));
    if (text != nullptr) {
        const size_t want = static_cast<size_t>(size.QuadPart);
        size_t read = 0;
        while (read < want) {
            const size_t got = ReadAt(file, read, text + read, want - read);
            if (got == 0)
                break;
            read += got;
        }
        *length = read;
    }
    CloseHandle(file);
    return text;
}

// Drops the oldest batches once the file is over the limit. Only when no
// one else has it open (no sharing at all): a batch still writing would
// otherwise lose what it writes next. The file is read piece by piece, so a
// batch of any size is trimmed in little memory, and the new file is
// complete before it is moved over the old one.
void TrimIfLarge()
{
    HANDLE file = CreateFileW(callPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart <= static_cast<long long>(HISTORY_LIMIT)) {
        CloseHandle(file);
        return;
    }
    // Only one batch at a time can get here (no sharing above), but another
    // may follow before this one has moved its file: the temporary names of
    // two processes differ.
    static AtomicSave save;
    if (StartAtomicSave(&save, historyPath))
        TrimHistoryStream({ReadAt, file}, HISTORY_TRIMMED, {WriteToSave, &save});
    CloseHandle(file);
    FinishAtomicSave(&save);
}

// Where the next line of record is formatted, and how much room it has.
char* Next(BatchRecord* record)
{
    return record->lines + record->waiting;
}
size_t Room(const BatchRecord* record)
{
    return sizeof record->lines - record->waiting;
}

// How long a batch keeps its turn at the file. Taking and giving back a
// turn is a lock and an unlock, and under Wine the two cost as much as half
// a move: a turn per line made a large tree a third slower than its moves.
// A batch that waits for the turn meanwhile waits this long at most, and
// the lines still go out one write at a time, each before its move.
const DWORD TURN_MS = 50;

// Writes what waits and the line just formatted (length bytes at Next()).
void Flush(BatchRecord* record, size_t length)
{
    HANDLE file = static_cast<HANDLE>(record->file);
    if (!record->turn) {
        record->turn = TakeTurn(file);
        record->turnSince = GetTickCount();
    }
    Write(file, record->lines, record->waiting + length);
    record->waiting = 0;
    if (record->turn && GetTickCount() - record->turnSince >= TURN_MS) {
        EndTurn(file, true);
        record->turn = false;
    }
}

} // namespace

void StartBatchRecord(BatchRecord* record, SettingsWord word)
{
    record->open = false;
    record->turn = false;
    record->unchanged = 0;
    record->waiting = 0;
    if (!MakeHistoryPath())
        return;
    HANDLE file = OpenForAppending();
    if (file == INVALID_HANDLE_VALUE)
        return;
    record->open = true;
    record->file = file;
    EndTornLine(file);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    MakeBatchId(GetCurrentProcessId(),
                static_cast<unsigned long long>(now.dwHighDateTime) << 32 | now.dwLowDateTime, record->id);
    SYSTEMTIME local;
    GetLocalTime(&local);
    const HistoryTime when = {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
    Flush(record, FormatBatchLine(record->id, when, word, Next(record), Room(record)));
}

void RecordMove(BatchRecord* record, const wchar_t* from, const wchar_t* to)
{
    if (record->open)
        Flush(record, FormatMoveLine(record->id, from, to, Next(record), Room(record)));
}

void RecordOutcome(BatchRecord* record, const wchar_t* from, unsigned long error)
{
    if (!record->open)
        return;
    if (error == 0)
        record->waiting += FormatDoneLine(record->id, Next(record), Room(record));
    else
        record->waiting += FormatFailedLine(record->id, from, error, Next(record), Room(record));
}

void RecordNotRenamed(BatchRecord* record, const wchar_t* path, unsigned long error)
{
    if (!record->open)
        return;
    // The path in its full form, or as it is when that cannot be had; a
    // trailing blank stays, or the record would name another path.
    const wchar_t* full = GivenFullPath(path, record->full, WIDE_PATH_SIZE) != 0 ? record->full : path;
    Flush(record, FormatFailedLine(record->id, full, error, Next(record), Room(record)));
}

void RecordUnchanged(BatchRecord* record)
{
    ++record->unchanged;
}

void RecordGivenUnchanged(BatchRecord* record, const wchar_t* path)
{
    ++record->unchanged;
    if (record->open)
        Flush(record, FormatSameLine(record->id, path, Next(record), Room(record)));
}

void EndBatchRecord(BatchRecord* record)
{
    if (!record->open)
        return;
    Flush(record, FormatEndLine(record->id, record->unchanged, Next(record), Room(record)));
    EndTurn(static_cast<HANDLE>(record->file), record->turn);
    CloseHandle(static_cast<HANDLE>(record->file));
    record->open = false;
    TrimIfLarge();
}

bool CanKeepHistory(wchar_t* folder, size_t size)
{
    if (MakeHistoryPath()) {
        // The file itself, or, when there is none yet, one made and gone
        // again at once.
        HANDLE file = CreateFileW(callPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND)
            file = CreateFileW(callPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        bool writable = file != INVALID_HANDLE_VALUE || GetLastError() == ERROR_SHARING_VIOLATION;
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        if (writable)
            return true;
    }
    if (size != 0) {
        folder[0] = L'\0';
        JoinWide(folder, size, historyPath, L"");
        folder[NameStart(folder)] = L'\0';
    }
    return false;
}

bool LatestBatch(HistoryBatch* batch)
{
    size_t length;
    char* text = ReadHistory(&length);
    const bool found = text != nullptr && FindLatestBatch(text, length, batch);
    free(text);
    return found;
}

bool UndoLatestBatch(UndoResult* result, UndoEntryCall each, void* context)
{
    *result = UndoResult{};
    size_t length;
    char* text = ReadHistory(&length);
    HistoryBatch batch;
    if (text == nullptr || !FindLatestBatch(text, length, &batch)) {
        free(text);
        return false;
    }
    FileCallPaths* files = NewFileCallPaths();
    const bool tookBack = files != nullptr && UndoBatchMoves(text, length, batch, files, result, each, context);
    FreeFileCallPaths(files);
    free(text);
    if (!tookBack)
        return false;

    if (MakeHistoryPath()) {
        HANDLE file = OpenForAppending();
        if (file != INVALID_HANDLE_VALUE) {
            EndTornLine(file);
            char undone[64];
            Append(file, undone, FormatUndoneLine(batch.id, undone, sizeof undone));
            CloseHandle(file);
        }
    }
    return true;
}
