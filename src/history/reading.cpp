#include "history/history.h"

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

// The batches met so far, by id; ids are copied, so the text may change
// under them. A file trimmed to HISTORY_TRIMMED holds a few thousand
// batches at most, so a plain search will do. Full, it takes no more.
const size_t MAX_BATCHES = 4096;

struct BatchEntry {
    unsigned char length;
    char id[HISTORY_ID_SIZE];
    size_t bytes;
    int state;
    size_t batchStart; // where the "batch" line that trimming measured from starts
};

struct BatchList {
    BatchEntry entries[MAX_BATCHES];
    size_t count;

    // The entry of id; a new one when add is set and there is room, else
    // nullptr.
    BatchEntry* Find(const HistoryField& id, bool add)
    {
        for (size_t i = 0; i < count; ++i) {
            if (entries[i].length == id.length && memcmp(entries[i].id, id.text, id.length) == 0)
                return &entries[i];
        }
        if (!add || count == MAX_BATCHES)
            return nullptr;
        BatchEntry& entry = entries[count++];
        entry.length = static_cast<unsigned char>(id.length);
        memcpy(entry.id, id.text, id.length);
        entry.bytes = 0;
        entry.state = 0;
        entry.batchStart = 0;
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
        if (line.kind == LINE_UNDONE)
            ids.Find(line.fields[1], true);
        if (line.kind == LINE_BATCH && ids.Find(line.fields[1], false) == nullptr) {
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

size_t TrimHistory(char* text, size_t length, size_t limit)
{
    // Backwards: a batch's lines all follow its "batch" line, so when that
    // line is met its size is known. The latest batch is kept; older ones
    // while they fit; from the first that does not, none.
    enum { UNDECIDED, KEPT };
    ids.count = 0;
    size_t kept = 0;
    bool first = true;
    ForEachLineBackwards(text, length, [&](const HistoryLine& line, size_t start, size_t bytes) {
        if (line.kind == LINE_JUNK)
            return true;
        BatchEntry* entry = ids.Find(line.fields[1], true);
        if (entry == nullptr)
            return false;
        if (entry->state == KEPT)
            return true; // before the "batch" line measured: dropped below
        entry->bytes += bytes;
        if (line.kind != LINE_BATCH)
            return true;
        if (!first && kept + entry->bytes > limit)
            return false;
        first = false;
        kept += entry->bytes;
        entry->state = KEPT;
        entry->batchStart = start;
        return true;
    });

    // Forwards: every line of a kept batch from the "batch" line it was
    // measured from (its last) on, exactly what was counted. Copying from an
    // earlier "batch" line of the same id could pass the limit, and a second
    // trim would then drop a batch the first one kept.
    size_t out = 0;
    ForEachLine(text, length, [&](const HistoryLine& line, size_t start, size_t bytes) {
        if (line.kind == LINE_JUNK)
            return;
        BatchEntry* entry = ids.Find(line.fields[1], false);
        if (entry == nullptr || entry->state != KEPT || start < entry->batchStart)
            return;
        memmove(text + out, text + start, bytes);
        out += bytes;
    });
    return out;
}
