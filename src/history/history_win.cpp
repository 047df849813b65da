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

#include <cwchar>

#include "files/files.h"

namespace {

const char HISTORY_FILE_NAME[] = "history.txt";

// What is read of the file: all of it, or its last part when it has grown
// this large (older batches a failed trim left behind).
const size_t HISTORY_READ_SIZE = 8 << 20;
char fileText[HISTORY_READ_SIZE];

WidePath historyPath;
WidePath callPath;
WidePath fullPath;

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

// The file's text into fileText: its length, 0 when there is none. Only
// whole lines when just its end is read.
size_t ReadWhole(HANDLE file)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size))
        return 0;
    long long start = size.QuadPart > static_cast<long long>(HISTORY_READ_SIZE)
                          ? size.QuadPart - static_cast<long long>(HISTORY_READ_SIZE)
                          : 0;
    LARGE_INTEGER offset;
    offset.QuadPart = start;
    if (!SetFilePointerEx(file, offset, nullptr, FILE_BEGIN))
        return 0;
    size_t length = 0;
    DWORD read = 0;
    while (length < HISTORY_READ_SIZE &&
           ReadFile(file, fileText + length, static_cast<DWORD>(HISTORY_READ_SIZE - length), &read, nullptr) &&
           read != 0)
        length += read;
    if (start == 0)
        return length;
    size_t skip = 0;
    while (skip < length && fileText[skip] != '\n')
        ++skip;
    if (skip < length)
        ++skip;
    memmove(fileText, fileText + skip, length - skip);
    return length - skip;
}

size_t ReadHistory()
{
    if (!MakeHistoryPath())
        return 0;
    HANDLE file = CreateFileW(callPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    size_t length = ReadWhole(file);
    CloseHandle(file);
    return length;
}

// Drops the oldest batches once the file is over the limit. Only when no
// one else has it open (no sharing at all): a batch still writing would
// otherwise lose what it writes next. The new file is complete before it
// is moved over the old one.
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
    size_t length = TrimHistory(fileText, ReadWhole(file), HISTORY_TRIMMED);
    // Only one batch at a time can get here (no sharing above), but another
    // may follow before this one has moved its file: the temporary names of
    // two processes differ.
    static AtomicSave save;
    if (StartAtomicSave(&save, historyPath))
        WriteAtomicSave(&save, fileText, length);
    CloseHandle(file);
    FinishAtomicSave(&save);
}

// The batch being recorded. A move's outcome waits in the buffer and goes
// out with the next line, in one turn at the file: a batch stopped in
// between leaves that move without its outcome, which undo handles like
// any move whose outcome is unknown.
HANDLE batchFile = INVALID_HANDLE_VALUE;
char batchId[HISTORY_ID_SIZE];
unsigned long unchangedNames;
char batchLines[2 * HISTORY_LINE_SIZE];
size_t waiting;

// path in its full form, or as it is when that cannot be had.
const wchar_t* Full(const wchar_t* path, wchar_t* out)
{
    return FullPathOf(path, out, WIDE_PATH_SIZE) != 0 ? out : path;
}

// Where the next line is formatted, and how much room it has.
char* Next()
{
    return batchLines + waiting;
}
size_t Room()
{
    return sizeof batchLines - waiting;
}

// Writes what waits and the line just formatted (length bytes at Next()).
void Flush(size_t length)
{
    Append(batchFile, batchLines, waiting + length);
    waiting = 0;
}

} // namespace

void StartBatchRecord(SettingsWord word)
{
    if (!MakeHistoryPath())
        return;
    batchFile = OpenForAppending();
    if (batchFile == INVALID_HANDLE_VALUE)
        return;
    EndTornLine(batchFile);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    MakeBatchId(GetCurrentProcessId(),
                static_cast<unsigned long long>(now.dwHighDateTime) << 32 | now.dwLowDateTime, batchId);
    SYSTEMTIME local;
    GetLocalTime(&local);
    const HistoryTime when = {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
    Flush(FormatBatchLine(batchId, when, word, Next(), Room()));
}

void RecordMove(const wchar_t* from, const wchar_t* to)
{
    if (batchFile != INVALID_HANDLE_VALUE)
        Flush(FormatMoveLine(batchId, from, to, Next(), Room()));
}

void RecordOutcome(const wchar_t* from, unsigned long error)
{
    if (batchFile == INVALID_HANDLE_VALUE)
        return;
    if (error == 0)
        waiting += FormatDoneLine(batchId, Next(), Room());
    else
        waiting += FormatFailedLine(batchId, from, error, Next(), Room());
}

void RecordNotRenamed(const wchar_t* path, unsigned long error)
{
    if (batchFile != INVALID_HANDLE_VALUE)
        Flush(FormatFailedLine(batchId, Full(path, fullPath), error, Next(), Room()));
}

void RecordUnchanged()
{
    ++unchangedNames;
}

void EndBatchRecord()
{
    if (batchFile == INVALID_HANDLE_VALUE)
        return;
    Flush(FormatEndLine(batchId, unchangedNames, Next(), Room()));
    CloseHandle(batchFile);
    batchFile = INVALID_HANDLE_VALUE;
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
    return FindLatestBatch(fileText, ReadHistory(), batch);
}

bool UndoLatestBatch(UndoResult* result)
{
    static HistoryMove moves[1 << 15];
    static WidePath oldPath;
    static WidePath newPath;
    static WidePath callOld;
    static WidePath callNew;
    static WidePath failedPaths[10];

    *result = UndoResult{};
    const size_t length = ReadHistory();
    HistoryBatch batch;
    if (!FindLatestBatch(fileText, length, &batch))
        return false;
    size_t count = ListBatchMoves(fileText, length, batch.id, moves, sizeof moves / sizeof moves[0]);
    if (count > sizeof moves / sizeof moves[0])
        count = sizeof moves / sizeof moves[0];

    for (size_t i = count; i-- > 0;) {
        const HistoryMove& move = moves[i];
        if (!DecodeHistoryPath(move.oldPath, oldPath, WIDE_PATH_SIZE) ||
            !DecodeHistoryPath(move.newPath, newPath, WIDE_PATH_SIZE))
            continue;
        // The move itself refuses a new name that is gone and an old one
        // that is taken, and never overwrites: its error says which.
        if (!move.confirmed) {
            // The batch was stopped at this move: it may never have been
            // made, and the new name may be another file's.
            const bool newThere = ForFileCalls(newPath, callNew, WIDE_PATH_SIZE) &&
                                  GetFileAttributesW(callNew) != INVALID_FILE_ATTRIBUTES;
            // A change of case only: where names ignore case the old name
            // is the new one's, and the move does the two steps itself.
            const bool caseOnly = CompareStringOrdinal(oldPath, -1, newPath, -1, TRUE) == CSTR_EQUAL;
            const bool oldThere = ForFileCalls(oldPath, callOld, WIDE_PATH_SIZE) &&
                                  GetFileAttributesW(callOld) != INVALID_FILE_ATTRIBUTES;
            if (!newThere || (oldThere && !caseOnly))
                continue;
        }
        const unsigned long error = MoveWithoutReplacing(newPath, oldPath);
        if (error == 0) {
            result->restored++;
            continue;
        }
        if (result->listed < 10) {
            wchar_t* kept = failedPaths[result->listed];
            kept[0] = L'\0';
            JoinWide(kept, WIDE_PATH_SIZE, newPath, L"");
            result->failures[result->listed++] = {kept, error};
        }
        result->failed++;
    }

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
