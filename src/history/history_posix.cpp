// history.txt on a POSIX system, one for each user, in the folder the XDG
// base directories give state that outlives a run.
//
// Batches append at once, as on Windows: each opens the file for appending,
// and every line goes out in one write while it holds an flock on the file,
// so lines interleave but never mix, even where appending is not one step
// (NFS). Older batches are dropped by writing the rest to a new file and
// moving that over the old one, under the same lock. A batch that still
// has the old file open then finds, when it next takes the lock, that the
// path names another file, and opens that one: nothing it writes is lost.
#include "history/history_file.h"
#include "history/undo.h"

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "convert/strings.h"
#include "convert/utf8.h"
#include "files/files.h"

namespace {

char historyPath[PATH_BUFFER_SIZE];

// Every folder on the way to the file, made where missing, each for the
// user alone: the history names every file the user renamed.
bool MakeHistoryFolders()
{
    char* slash = historyPath;
    while ((slash = strchr(slash + 1, '/')) != nullptr) {
        *slash = '\0';
        const bool made = mkdir(historyPath, 0700) == 0 || errno == EEXIST;
        *slash = '/';
        if (!made)
            return false;
    }
    return true;
}

int OpenForAppending()
{
    if (!HistoryFilePath(historyPath, sizeof historyPath) || !MakeHistoryFolders())
        return -1;
    return open(historyPath, O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
}

// Whether the open file is still the one the path names: a trim moves a
// new file over it.
bool StillThere(int file)
{
    struct stat open;
    struct stat named;
    return fstat(file, &open) == 0 && stat(historyPath, &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

// The turn at the end of the file: the lock on the file the path names, the
// file opened again if a trim replaced it meanwhile (*file changes then).
// False when no lock can be had (some network file systems): the lines
// still go out, one write each.
bool TakeTurn(int* file)
{
    for (int attempt = 0; attempt < 100 && *file >= 0; ++attempt) {
        int locked;
        while ((locked = flock(*file, LOCK_EX)) != 0 && errno == EINTR) {
        }
        if (locked != 0)
            return false;
        if (StillThere(*file))
            return true;
        flock(*file, LOCK_UN);
        close(*file);
        *file = open(historyPath, O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    }
    return false;
}

void EndTurn(int file, bool taken)
{
    if (taken)
        flock(file, LOCK_UN);
}

void Write(int file, const char* text, size_t length)
{
    while (length > 0 && file >= 0) {
        const ssize_t written = write(file, text, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        text += written;
        length -= static_cast<size_t>(written);
    }
}

// A batch stopped in the middle of a line left it without its line end:
// end it, so that the next line is a line of its own.
void EndTornLine(int* file)
{
    const bool taken = TakeTurn(file);
    struct stat status;
    char last = 0;
    if (*file >= 0 && fstat(*file, &status) == 0 && status.st_size != 0 &&
        pread(*file, &last, 1, status.st_size - 1) == 1 && last != '\n')
        Write(*file, "\r\n", 2);
    EndTurn(*file, taken);
}

size_t ReadAt(void* context, unsigned long long offset, char* out, size_t size)
{
    const int file = *static_cast<int*>(context);
    const ssize_t read = pread(file, out, size, static_cast<off_t>(offset));
    return read > 0 ? static_cast<size_t>(read) : 0;
}

void WriteToSave(void* save, const char* bytes, size_t length)
{
    WriteAtomicSave(static_cast<AtomicSave*>(save), bytes, length);
}

AtomicSave trimmed;

// Drops the oldest batches once the file is over the limit, with the turn
// held: no batch writes meanwhile, and each finds the new file when it
// next takes the turn.
void TrimIfLarge(int file)
{
    struct stat status;
    if (fstat(file, &status) != 0 || status.st_size <= static_cast<off_t>(HISTORY_LIMIT))
        return;
    if (!StartAtomicSave(&trimmed, historyPath))
        return;
    fchmod(fileno(trimmed.file), 0600);
    TrimHistoryStream({ReadAt, &file}, HISTORY_TRIMMED, {WriteToSave, &trimmed});
    FinishAtomicSave(&trimmed);
}

unsigned long Milliseconds()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<unsigned long>(now.tv_sec) * 1000ul + static_cast<unsigned long>(now.tv_nsec / 1000000);
}

char* Next(BatchRecord* record)
{
    return record->lines + record->waiting;
}
size_t Room(const BatchRecord* record)
{
    return sizeof record->lines - record->waiting;
}

// A batch keeps the turn for a few lines at a time, as on Windows; one that
// waits for it waits this long at most.
const unsigned long TURN_MS = 50;

// Writes what waits and the line just formatted (length bytes at Next()).
void Flush(BatchRecord* record, size_t length)
{
    if (!record->turn) {
        record->turn = TakeTurn(&record->descriptor);
        record->turnSince = Milliseconds();
    }
    Write(record->descriptor, record->lines, record->waiting + length);
    record->waiting = 0;
    if (record->turn && Milliseconds() - record->turnSince >= TURN_MS) {
        EndTurn(record->descriptor, true);
        record->turn = false;
    }
}

// The whole file in a block of the heap, nullptr when there is none. The
// caller frees it.
char* ReadHistory(size_t* length)
{
    *length = 0;
    if (!HistoryFilePath(historyPath, sizeof historyPath))
        return nullptr;
    const int file = open(historyPath, O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return nullptr;
    struct stat status;
    char* text = nullptr;
    // What another batch appends meanwhile is left for the next reading.
    if (fstat(file, &status) == 0)
        text = static_cast<char*>(malloc(static_cast<size_t>(status.st_size) + 1));
    if (text != nullptr) {
        const size_t want = static_cast<size_t>(status.st_size);
        size_t read = 0;
        while (read < want) {
            int context = file;
            const size_t got = ReadAt(&context, read, text + read, want - read);
            if (got == 0)
                break;
            read += got;
        }
        *length = read;
    }
    close(file);
    return text;
}

}  // namespace

bool HistoryFilePath(char* out, size_t size)
{
    // A relative $XDG_STATE_HOME is to be ignored, as the XDG base
    // directory rules say.
    const char* state = getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/')
        return JoinStrings(out, size, {state, "/blankmender/history.txt"});
    const char* home = getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const struct passwd* user = getpwuid(getuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    return home != nullptr && home[0] == '/' &&
           JoinStrings(out, size, {home, "/.local/state/blankmender/history.txt"});
}

void StartBatchRecord(BatchRecord* record, SettingsWord word)
{
    record->open = false;
    record->turn = false;
    record->unchanged = 0;
    record->waiting = 0;
    record->file = nullptr;
    record->descriptor = OpenForAppending();
    if (record->descriptor < 0)
        return;
    record->open = true;
    EndTornLine(&record->descriptor);
    // The stamp in Windows' units and epoch (100 ns since 1601), so ids
    // look alike whichever system wrote them.
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const unsigned long long stamp = static_cast<unsigned long long>(now.tv_sec) * 10000000ull +
                                     static_cast<unsigned long long>(now.tv_nsec / 100) + 116444736000000000ull;
    MakeBatchId(static_cast<unsigned long>(getpid()), stamp, record->id);
    struct tm local;
    const time_t seconds = now.tv_sec;
    localtime_r(&seconds, &local);
    const HistoryTime when = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                              local.tm_hour,        local.tm_min,     local.tm_sec};
    Flush(record, FormatBatchLine(record->id, when, word, Next(record), Room(record)));
}

void RecordMove(BatchRecord* record, const WideChar* from, const WideChar* to)
{
    if (record->open)
        Flush(record, FormatMoveLine(record->id, from, to, Next(record), Room(record)));
}

void RecordOutcome(BatchRecord* record, const WideChar* from, unsigned long error)
{
    if (!record->open)
        return;
    if (error == 0)
        record->waiting += FormatDoneLine(record->id, Next(record), Room(record));
    else
        record->waiting += FormatFailedLine(record->id, from, error, Next(record), Room(record));
}

void RecordNotRenamed(BatchRecord* record, const WideChar* path, unsigned long error)
{
    if (!record->open)
        return;
    // The path in its full form, or as it is when that cannot be had.
    const WideChar* full = GivenFullPath(path, record->full, WIDE_PATH_SIZE) != 0 ? record->full : path;
    Flush(record, FormatFailedLine(record->id, full, error, Next(record), Room(record)));
}

void RecordUnchanged(BatchRecord* record)
{
    ++record->unchanged;
}

void RecordGivenUnchanged(BatchRecord* record, const WideChar* path)
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
    if (!record->turn)
        record->turn = TakeTurn(&record->descriptor);
    // Only with the turn: a batch writing meanwhile would write to the
    // file the trim is replacing.
    if (record->turn)
        TrimIfLarge(record->descriptor);
    EndTurn(record->descriptor, record->turn);
    record->turn = false;
    if (record->descriptor >= 0)
        close(record->descriptor);
    record->descriptor = -1;
    record->open = false;
}

bool CanKeepHistory(WideChar* folder, size_t size)
{
    const int file = OpenForAppending();
    if (file >= 0) {
        close(file);
        return true;
    }
    if (size != 0) {
        folder[0] = 0;
        char* slash = strrchr(historyPath, '/');
        size_t units;
        if (slash != nullptr &&
            !Utf8ToWide(historyPath, static_cast<size_t>(slash - historyPath), folder, size, &units))
            folder[0] = 0;
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

    // Marked undone in one line at the end, in turn like any batch's.
    int file = OpenForAppending();
    if (file >= 0) {
        EndTornLine(&file);
        char undone[64];
        const size_t made = FormatUndoneLine(batch.id, undone, sizeof undone);
        const bool taken = TakeTurn(&file);
        Write(file, undone, made);
        EndTurn(file, taken);
        close(file);
    }
    return true;
}
