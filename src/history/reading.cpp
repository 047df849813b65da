#include "history/history.h"

#include <algorithm>
#include <cstring>

namespace {

// Calls visit(line, start, length) for every whole line (its line end not
// counted in length), first to last. A line ends at LF, with the CR before
// it dropped; what follows the last LF is cut short and is passed over.
template <typename Visit>
void ForEachLine(const char* text, size_t length, Visit visit)
{
    size_t start = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] != '\n')
            continue;
        size_t end = i > start && text[i - 1] == '\r' ? i - 1 : i;
        visit(ParseHistoryLine(text + start, end - start), start, i + 1 - start);
        start = i + 1;
    }
}

// The same, last to first.
template <typename Visit>
void ForEachLineBackwards(const char* text, size_t length, Visit visit)
{
    size_t end = length;
    while (end > 0 && text[end - 1] != '\n')
        --end; // the last line, cut short
    while (end > 0) {
        size_t start = end - 1;
        while (start > 0 && text[start - 1] != '\n')
            --start;
        size_t stop = end - 1 > start && text[end - 2] == '\r' ? end - 2 : end - 1;
        if (!visit(ParseHistoryLine(text + start, stop - start), start, end - start))
            return;
        end = start;
    }
}

// A walk through a source too large to hold: the window holds the longest
// line there can be, and a longer one is junk, passed over unread.
const size_t WINDOW_SIZE = 1 << 19;
static_assert(WINDOW_SIZE > HISTORY_LINE_SIZE, "a window holds any line");
char window[WINDOW_SIZE];

// Calls visit(line, start, bytes, length) for every whole line of source,
// first to last, as ForEachLine does: start is where it starts in source,
// and bytes (in the window, valid during the call) its length bytes, its
// line end included.
template <typename Visit>
void ForEachLineOf(const HistorySource& source, Visit visit)
{
    unsigned long long base = 0; // where window[0] stands in source
    size_t filled = 0;
    size_t start = 0;   // of the line being looked at, in the window
    size_t scanned = 0; // up to here it has no line end
    bool tooLong = false;
    for (;;) {
        const void* found = memchr(window + scanned, '\n', filled - scanned);
        if (found != nullptr) {
            const size_t i = static_cast<size_t>(static_cast<const char*>(found) - window);
            if (!tooLong) {
                const size_t end = i > start && window[i - 1] == '\r' ? i - 1 : i;
                visit(ParseHistoryLine(window + start, end - start), base + start, window + start, i + 1 - start);
            }
            tooLong = false;
            start = scanned = i + 1;
            continue;
        }
        if (start == 0 && filled == WINDOW_SIZE) {
            tooLong = true;
            start = filled;
        }
        memmove(window, window + start, filled - start);
        base += start;
        filled -= start;
        start = 0;
        scanned = filled;
        const size_t read = source.read(source.context, base + filled, window + filled, WINDOW_SIZE - filled);
        if (read == 0)
            return; // what is left has no line end: cut short
        filled += read;
    }
}

// The batches met so far, by id; ids are copied, so the text may change
// under them. A file trimmed to HISTORY_TRIMMED holds a few thousand
// batches at most, so a plain search will do.
const size_t MAX_BATCHES = 4096;

struct BatchEntry {
    unsigned char length;
    char id[HISTORY_ID_SIZE];
    unsigned long long batchStart; // where its last "batch" line starts
    unsigned long long bytes;      // its lines from there on
    bool kept;
};

bool EarlierBatch(const BatchEntry& a, const BatchEntry& b)
{
    return a.batchStart < b.batchStart;
}

struct BatchList {
    BatchEntry entries[MAX_BATCHES];
    size_t count;

    BatchEntry* Find(const HistoryField& id)
    {
        for (size_t i = 0; i < count; ++i) {
            if (entries[i].length == id.length && memcmp(entries[i].id, id.text, id.length) == 0)
                return &entries[i];
        }
        return nullptr;
    }
    // A new entry for id. When the list is full: nullptr, or with makeRoom
    // the oldest batch's entry (the one whose last "batch" line comes
    // first), given to id instead.
    BatchEntry* Add(const HistoryField& id, bool makeRoom)
    {
        if (count == MAX_BATCHES && !makeRoom)
            return nullptr;
        BatchEntry& entry = count < MAX_BATCHES ? entries[count++]
                                                : *std::min_element(entries, entries + count, EarlierBatch);
        entry = BatchEntry{};
        entry.length = static_cast<unsigned char>(id.length);
        memcpy(entry.id, id.text, id.length);
        return &entry;
    }
};

BatchList ids;

// What batch id did, into batch (its id already set), and its moves that
// may have happened into moves (at most capacity); returns how many moves
// there are in all. Only lines from the batch's first "batch" line on are
// its own.
size_t ReadBatch(const char* text, size_t length, const HistoryField& id, HistoryBatch* batch,
                 HistoryMove* moves, size_t capacity)
{
    size_t count = 0;
    bool started = false;
    bool pending = false;
    HistoryField pendingPath = {nullptr, 0};
    ForEachLine(text, length, [&](const HistoryLine& line, size_t, size_t) {
        if (line.kind == LINE_JUNK || !SameField(line.fields[1], id))
            return;
        if (line.kind == LINE_BATCH) {
            if (!started) {
                batch->when = line.when;
                batch->word = static_cast<SettingsWord>(line.number & static_cast<unsigned long>(OPT_ALL));
            }
            started = true;
        }
        if (!started)
            return;
        switch (line.kind) {
        case LINE_MOVE:
            batch->unconfirmed += pending;
            if (count < capacity)
                moves[count] = {line.fields[2], line.fields[3], false};
            ++count;
            pending = true;
            pendingPath = line.fields[2];
            break;
        case LINE_DONE:
            if (pending) {
                batch->renamed++;
                if (count <= capacity)
                    moves[count - 1].confirmed = true;
            }
            pending = false;
            break;
        case LINE_FAILED:
            // The move just written failed, or a path was given up before
            // any move.
            if (pending && SameField(pendingPath, line.fields[2])) {
                pending = false;
                --count;
            }
            batch->failed++;
            batch->reasons[ReasonForError(line.number)]++;
            break;
        case LINE_END:
            batch->unchanged = line.number;
            batch->ended = true;
            break;
        default:
            break;
        }
    });
    batch->unconfirmed += pending;
    return count;
}

} // namespace

bool FindLatestBatch(const char* text, size_t length, HistoryBatch* batch)
{
    // Backwards: the first "batch" line met whose id no later line marks
    // undone.
    ids.count = 0;
    HistoryField found = {nullptr, 0};
    ForEachLineBackwards(text, length, [&](const HistoryLine& line, size_t, size_t) {
        if (line.kind == LINE_UNDONE && ids.Find(line.fields[1]) == nullptr)
            ids.Add(line.fields[1], false);
        if (line.kind == LINE_BATCH && ids.Find(line.fields[1]) == nullptr) {
            found = line.fields[1];
            return false;
        }
        return true;
    });
    if (found.text == nullptr)
        return false;
    *batch = HistoryBatch{};
    memcpy(batch->id, found.text, found.length);
    ReadBatch(text, length, found, batch, nullptr, 0);
    return true;
}

size_t ListBatchMoves(const char* text, size_t length, const char* id, HistoryMove* moves, size_t capacity)
{
    HistoryBatch batch = {};
    return ReadBatch(text, length, {id, strlen(id)}, &batch, moves, capacity);
}

unsigned long long TrimHistoryStream(const HistorySource& source, size_t limit, const HistorySink& sink)
{
    // First every batch's last "batch" line and the size of its lines from
    // there on: a batch's lines all follow its "batch" line, and a line
    // before its last one is dropped, so that a second trim measures what
    // the first one kept and drops nothing more. Only batches are listed;
    // when the list is full, the oldest makes room.
    ids.count = 0;
    ForEachLineOf(source, [&](const HistoryLine& line, unsigned long long start, const char*, size_t length) {
        if (line.kind == LINE_JUNK)
            return;
        BatchEntry* entry = ids.Find(line.fields[1]);
        if (line.kind == LINE_BATCH) {
            if (entry == nullptr)
                entry = ids.Add(line.fields[1], true);
            entry->batchStart = start;
            entry->bytes = 0;
        }
        if (entry != nullptr)
            entry->bytes += length;
    });

    // The latest batch is kept; older ones, latest first, while they fit;
    // from the first that does not, none.
    std::sort(ids.entries, ids.entries + ids.count,
              [](const BatchEntry& a, const BatchEntry& b) { return EarlierBatch(b, a); });
    unsigned long long kept = 0;
    for (size_t i = 0; i < ids.count; ++i) {
        if (i > 0 && kept + ids.entries[i].bytes > limit)
            break;
        kept += ids.entries[i].bytes;
        ids.entries[i].kept = true;
    }

    // Then every line of a kept batch from its last "batch" line on,
    // exactly what was measured.
    unsigned long long written = 0;
    ForEachLineOf(source, [&](const HistoryLine& line, unsigned long long start, const char* bytes, size_t length) {
        if (line.kind == LINE_JUNK)
            return;
        const BatchEntry* entry = ids.Find(line.fields[1]);
        if (entry == nullptr || !entry->kept || start < entry->batchStart)
            return;
        sink.write(sink.context, bytes, length);
        written += length;
    });
    return written;
}

namespace {

struct InPlace {
    char* text;
    size_t length;
    size_t written;
};

size_t ReadText(void* context, unsigned long long offset, char* out, size_t size)
{
    const InPlace& in = *static_cast<InPlace*>(context);
    if (offset >= in.length)
        return 0;
    const size_t count = std::min(size, in.length - static_cast<size_t>(offset));
    memcpy(out, in.text + offset, count);
    return count;
}

// What is kept never lies after what is read: it goes to the front.
void WriteText(void* context, const char* bytes, size_t length)
{
    InPlace& in = *static_cast<InPlace*>(context);
    memmove(in.text + in.written, bytes, length);
    in.written += length;
}

} // namespace

size_t TrimHistory(char* text, size_t length, size_t limit)
{
    InPlace in = {text, length, 0};
    TrimHistoryStream({ReadText, &in}, limit, {WriteText, &in});
    return in.written;
}
