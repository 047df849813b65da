// The batch's plan and its carrying out (batch.h).
//
// Rows are kept compact, for trees of 100,000 entries and more: a row
// holds indexes into one pool of text, and its folder as a node; a node is
// either a folder that is itself a row (a walked folder, a given folder) or
// the folder of given paths, kept as its full path. A path is made when
// needed by following nodes up, with each folder's name as it is at that
// moment: so a folder's new name carries into the paths of what is moved
// after it, and the list shows each row where it is.
//
// The names each folder will hold are keys of one hash table: a key is a
// folder's set and a name compared as the file system compares it, and
// counts how many entries hold it on disk now and how many rows of the
// plan move there.
#include "batch/batch.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "convert/name.h"
#include "files/entries.h"
#include "files/walk.h"
#include "history/history_file.h"

namespace {

const uint32_t NONE = 0xFFFFFFFF;
// Sets of keys that are no folder's: given paths (exact), and the folders
// of given paths (by their full path).
const uint32_t GIVEN_PATHS = 0xFFFFFFFE;
const uint32_t GIVEN_FOLDERS = 0xFFFFFFFD;
// How many given paths each folder, as given (its text, not resolved),
// holds: a key's onDisk counts them.
const uint32_t GIVEN_COUNTS = 0xFFFFFFFC;
// A folder set's key whose onDisk is assumed, not listed: the name of a
// given entry that was found, or a new name a lookup found taken. A
// listing of the folder later confirms it rather than counting it again.
const uint32_t ASSUMED = 0;
// On Windows, a folder of given paths is listed for the list (not for the
// silent batch) once it holds this many of them: one listing instead of a
// lookup of each new name, which under Wine costs a scan of the folder
// when the name is free. On a POSIX system it is always listed: a lookup
// there cannot see a name that differs only in case.
#if defined(_WIN32)
const uint32_t LIST_GIVEN_FOLDER_AFTER = 8;
#endif
// What ListForPlan answers for a folder inside a tree that was given
// before and has its rows already (its own tree walked, or its own row):
// the walk neither enters it nor hands it out again. No Windows error has
// the number.
const unsigned long GIVEN_BEFORE = 0xE0000001;

// Whether unit separates a path's parts here: a POSIX name may hold '\\'.
bool IsSeparator(WideChar unit)
{
#if defined(_WIN32)
    return unit == '\\' || unit == '/';
#else
    return unit == '/';
#endif
}

template <typename T>
struct Array {
    T* items;
    size_t count;
    size_t capacity;
};

template <typename T>
bool Reserve(Array<T>* array, size_t more)
{
    if (array->count + more <= array->capacity)
        return true;
    size_t grown = array->capacity < 64 ? 64 : array->capacity;
    while (grown < array->count + more)
        grown *= 2;
    void* moved = realloc(array->items, grown * sizeof(T));
    if (moved == nullptr)
        return false;
    array->items = static_cast<T*>(moved);
    array->capacity = grown;
    return true;
}

template <typename T>
bool Push(Array<T>* array, const T& item)
{
    if (!Reserve(array, 1))
        return false;
    array->items[array->count++] = item;
    return true;
}

template <typename T>
void Release(Array<T>* array)
{
    free(array->items);
    *array = {};
}

struct Row {
    uint32_t node;  // its folder
    uint32_t nameAt; // in text
    uint32_t newAt;
    uint32_t given;
    uint32_t nameKey; // its name in its folder's set
    uint32_t newKey;  // its new name there; NONE when unchanged
    uint32_t error;
    uint16_t nameLength;
    uint16_t newLength;
    RowStatus found;  // what planning found, before any conflict
    RowStatus status;
    bool ticked;
    bool folder;
    bool isGiven;
    bool itselfALink; // a given symbolic link renamed as itself (FoundEntry)
};

struct Node {
    uint32_t row;    // the folder's own row; NONE for a folder of given paths
    uint32_t pathAt; // that folder's full path, in text (no row)
    uint32_t pathLength;
    uint32_t middleAt; // with a row: the part from it down to this folder
    uint32_t middleLength;
    uint32_t set;
    bool listed;  // its set holds every name on disk (the node that made it)
    bool hasRows; // rows were planned in its set (the node that made it)
};

struct Key {
    uint32_t set;
    uint32_t hash;
    uint32_t textAt;
    uint32_t length;
    int32_t onDisk;    // entries that hold the name on disk before the batch
    int32_t diskNow;   // of them, those still there at this point of the plan
    int32_t planned;   // rows planned to move there so far
    uint32_t value;    // GIVEN_PATHS: the row; GIVEN_FOLDERS: the node; a
                       // folder's set: ASSUMED or NONE
};

// A given path, as the user gave it, and how far planning has got with it.
struct Given {
    uint32_t textAt;
    uint32_t length;
};

// Case as the file systems a batch meets compare names: NTFS and FAT
// ignore it, and so do the Windows clients of a Linux share. ASCII,
// full-width Latin, Latin-1, Greek and Cyrillic letters; other scripts
// have no case worth a second name.
WideChar Fold(WideChar unit)
{
    const unsigned u = unit;
    if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7) || (u >= 0x3B1 && u <= 0x3C9 && u != 0x3C2) ||
        (u >= 0x430 && u <= 0x44F))
        return static_cast<WideChar>(u - 0x20);
    if (u >= 0xFF41 && u <= 0xFF5A)
        return static_cast<WideChar>(u - 0x20);
    if (u >= 0x450 && u <= 0x45F)
        return static_cast<WideChar>(u - 0x50);
    return unit;
}

bool Exact(uint32_t set)
{
    return set == GIVEN_PATHS;
}

uint32_t HashName(uint32_t set, const WideChar* name, size_t length)
{
    uint32_t hash = 2166136261u ^ set;
    const bool exact = Exact(set);
    for (size_t i = 0; i < length; ++i) {
        hash ^= exact ? name[i] : Fold(name[i]);
        hash *= 16777619u;
    }
    return hash;
}

// The pool of text: chunks that never move, so that adding text never
// copies what is there (a pool that doubles would hold the old and the new
// copy at once, at the peak of a large tree), and no chunk is more than
// one item short of full. A text's index is its chunk and its place there;
// every text (a name, a path of at most MAX_PATH_UNITS) lies in one chunk.
const uint32_t CHUNK_BITS = 16;
const uint32_t CHUNK_UNITS = 1u << CHUNK_BITS;
static_assert(MAX_PATH_UNITS < CHUNK_UNITS, "a path lies in one chunk");

struct TextPool {
    Array<WideChar*> chunks;
    uint32_t used; // units used in the last chunk
};

WideChar* Text(const TextPool& text, uint32_t at)
{
    return text.chunks.items[at >> CHUNK_BITS] + (at & (CHUNK_UNITS - 1));
}

void ReleaseText(TextPool* text)
{
    for (size_t i = 0; i < text->chunks.count; ++i)
        free(text->chunks.items[i]);
    Release(&text->chunks);
    text->used = 0;
}

}  // namespace

struct BatchPlan {
    SettingsWord word;
    bool silent;   // carried out at once: no lookups for the list's sake
    bool complete;
    bool resettle; // a folder with rows was listed since: settle them again
    bool running;
    bool recordOpen;
    Array<Row> rows;
    Array<Node> nodes;
    TextPool text;
    Array<Key> keys;
    uint32_t* slots; // the hash table: indexes into keys, NONE for free
    size_t slotCount;
    Array<Given> givens;
    Array<uint32_t> nodeStack; // the walk's folders being listed
    size_t nextGiven;
    bool walking;
    uint32_t walkGiven;
    size_t nextRun;
    uint32_t listingSet; // the set of the folder being listed; NONE: counted before
    TreeWalk walk;
    FileCallPaths* files;
    BatchRecord record;
    WidePath path;
    WidePath newPath;
    WideName newName;
    WidePath lookup;
    WidePath lookupFound;
};

namespace {

bool AddText(BatchPlan* plan, const WideChar* text, size_t length, uint32_t* at)
{
    TextPool& pool = plan->text;
    if (length >= CHUNK_UNITS)
        return false;
    if (pool.chunks.count == 0 || pool.used + length > CHUNK_UNITS) {
        if (pool.chunks.count >= (NONE >> CHUNK_BITS) || !Reserve(&pool.chunks, 1))
            return false;
        WideChar* chunk = static_cast<WideChar*>(malloc(CHUNK_UNITS * sizeof(WideChar)));
        if (chunk == nullptr)
            return false;
        pool.chunks.items[pool.chunks.count++] = chunk;
        pool.used = 0;
    }
    *at = static_cast<uint32_t>(((pool.chunks.count - 1) << CHUNK_BITS) | pool.used);
    memcpy(pool.chunks.items[pool.chunks.count - 1] + pool.used, text, length * sizeof(WideChar));
    pool.used += static_cast<uint32_t>(length);
    return true;
}

bool SameKey(const BatchPlan* plan, const Key& key, uint32_t set, const WideChar* name, size_t length)
{
    if (key.set != set || key.length != length)
        return false;
    const WideChar* text = Text(plan->text, key.textAt);
    if (Exact(set))
        return memcmp(text, name, length * sizeof(WideChar)) == 0;
    for (size_t i = 0; i < length; ++i)
        if (Fold(text[i]) != Fold(name[i]))
            return false;
    return true;
}

bool GrowSlots(BatchPlan* plan)
{
    const size_t count = plan->slotCount == 0 ? 1024 : plan->slotCount * 2;
    uint32_t* slots = static_cast<uint32_t*>(malloc(count * sizeof(uint32_t)));
    if (slots == nullptr)
        return false;
    memset(slots, 0xFF, count * sizeof(uint32_t));
    for (size_t i = 0; i < plan->keys.count; ++i) {
        size_t at = plan->keys.items[i].hash & (count - 1);
        while (slots[at] != NONE)
            at = (at + 1) & (count - 1);
        slots[at] = static_cast<uint32_t>(i);
    }
    free(plan->slots);
    plan->slots = slots;
    plan->slotCount = count;
    return true;
}

// The key of name in set; NONE when there is none.
uint32_t FindKey(const BatchPlan* plan, uint32_t set, const WideChar* name, size_t length)
{
    if (plan->slotCount == 0)
        return NONE;
    const uint32_t hash = HashName(set, name, length);
    for (size_t at = hash & (plan->slotCount - 1);; at = (at + 1) & (plan->slotCount - 1)) {
        const uint32_t index = plan->slots[at];
        if (index == NONE)
            return NONE;
        const Key& key = plan->keys.items[index];
        if (key.hash == hash && SameKey(plan, key, set, name, length))
            return index;
    }
}

// The key of name in set, made when there is none (its text kept in the
// pool unless textAt already holds it). NONE when there is no memory.
uint32_t AddKey(BatchPlan* plan, uint32_t set, const WideChar* name, size_t length, uint32_t textAt)
{
    const uint32_t found = FindKey(plan, set, name, length);
    if (found != NONE)
        return found;
    if ((plan->keys.count + 1) * 2 > plan->slotCount && !GrowSlots(plan))
        return NONE;
    if (textAt == NONE && !AddText(plan, name, length, &textAt))
        return NONE;
    const uint32_t hash = HashName(set, name, length);
    if (!Push(&plan->keys, {set, hash, textAt, static_cast<uint32_t>(length), 0, 0, 0, NONE}))
        return NONE;
    size_t at = hash & (plan->slotCount - 1);
    while (plan->slots[at] != NONE)
        at = (at + 1) & (plan->slotCount - 1);
    const uint32_t index = static_cast<uint32_t>(plan->keys.count - 1);
    plan->slots[at] = index;
    return index;
}

bool SawListedName(void* context, const WideChar* name, size_t length)
{
    BatchPlan* plan = static_cast<BatchPlan*>(context);
    if (plan->listingSet == NONE)
        return true;
    const uint32_t key = AddKey(plan, plan->listingSet, name, length, NONE);
    if (key == NONE)
        return false;
    Key& found = plan->keys.items[key];
    if (found.value == ASSUMED) {
        // Held on disk as assumed: now known, and counted once.
        found.value = NONE;
        return true;
    }
    ++found.onDisk;
    ++found.diskNow;
    return true;
}

uint32_t NewNode(BatchPlan* plan, uint32_t set)
{
    const uint32_t index = static_cast<uint32_t>(plan->nodes.count);
    if (!Push(&plan->nodes, {NONE, 0, 0, 0, 0, set == NONE ? index : set, false, false}))
        return NONE;
    return index;
}

// Lists a folder for the walk: a node for it, whose set takes every name
// the listing gives. A folder that is also the folder of given paths
// shares their set, so both see the same names.
unsigned long ListForPlan(void* context, const WideChar* path, TreeWalk* walk)
{
    BatchPlan* plan = static_cast<BatchPlan*>(context);
    if (plan->nodeStack.count != 0 && plan->givens.count > 1) {
        const uint32_t given = FindKey(plan, GIVEN_PATHS, path, WideLength(path));
        if (given != NONE && plan->keys.items[given].value < plan->rows.count)
            return GIVEN_BEFORE;
    }
    const uint32_t folders = FindKey(plan, GIVEN_FOLDERS, path, WideLength(path));
    const uint32_t shared = folders == NONE ? NONE : plan->nodes.items[plan->keys.items[folders].value].set;
    const uint32_t node = NewNode(plan, shared);
    if (node == NONE || !Push(&plan->nodeStack, node))
        return WALK_NO_MEMORY;
    const uint32_t set = plan->nodes.items[node].set;
    // A folder listed before (a folder of given paths) has its names
    // counted already.
    const bool counted = plan->nodes.items[set].listed;
    plan->listingSet = counted ? NONE : set;
    const unsigned long error = ListFolderOnDisk(plan->files, path, walk);
    if (error != 0 || walk->listingFailed) {
        --plan->nodeStack.count;
    } else if (!counted) {
        plan->nodes.items[set].listed = true;
        plan->resettle = plan->resettle || plan->nodes.items[set].hasRows;
    }
    return error;
}

bool AppendText(WideChar* out, size_t* length, const WideChar* text, size_t count)
{
    if (*length + count + 1 > WIDE_PATH_SIZE)
        return false;
    memcpy(out + *length, text, count * sizeof(WideChar));
    *length += count;
    out[*length] = 0;
    return true;
}

bool AppendSeparator(WideChar* out, size_t* length)
{
    if (*length > 0 && IsSeparator(out[*length - 1]))
        return true;
    const WideChar separator = PATH_SEPARATOR;
    return AppendText(out, length, &separator, 1);
}

// The row's name as it is now: its new one once it has been renamed (or,
// planned, once it will have been).
void CurrentName(const BatchPlan* plan, const Row& row, const WideChar** name, size_t* length, bool planned = false)
{
    const bool renamed = row.status == ROW_RENAMED || (planned && row.status == ROW_CHANGE && row.ticked);
    *name = Text(plan->text, renamed ? row.newAt : row.nameAt);
    *length = renamed ? row.newLength : row.nameLength;
}

// Appends the full path of the folder of node to out at *length (no
// trailing separator, except a root's): the folder a chain of rows leads
// up to, then each row's name as it is now, and the middle parts between.
// Two passes up the chain, the second writing backwards, with no
// recursion: a chain may be 16,000 folders deep. planned: each folder by
// the name it will have once the plan is carried out as it stands, a
// ticked change counted as made. False when it does not fit.
bool AppendFolderPath(const BatchPlan* plan, uint32_t node, WideChar* out, size_t* length, bool planned = false)
{
    const WideChar* name;
    size_t nameLength;
    size_t total = 0;
    uint32_t up = node;
    for (; plan->nodes.items[up].row != NONE; up = plan->rows.items[plan->nodes.items[up].row].node) {
        const Node& folder = plan->nodes.items[up];
        if (folder.middleLength != 0)
            total += 1 + folder.middleLength;
        CurrentName(plan, plan->rows.items[folder.row], &name, &nameLength, planned);
        total += 1 + nameLength;
    }
    const Node& base = plan->nodes.items[up];
    const WideChar* basePath = Text(plan->text, base.pathAt);
    // A root keeps its separator, and the first name follows it at once.
    const bool baseEnds = base.pathLength != 0 && IsSeparator(basePath[base.pathLength - 1]);
    if (up != node && baseEnds)
        --total;
    total += base.pathLength;
    if (*length + total + 1 > WIDE_PATH_SIZE)
        return false;
    size_t at = *length + total;
    out[at] = 0;
    for (up = node; plan->nodes.items[up].row != NONE;) {
        const Node& folder = plan->nodes.items[up];
        if (folder.middleLength != 0) {
            at -= folder.middleLength;
            memcpy(out + at, Text(plan->text, folder.middleAt), folder.middleLength * sizeof(WideChar));
            out[--at] = PATH_SEPARATOR;
        }
        const Row& row = plan->rows.items[folder.row];
        CurrentName(plan, row, &name, &nameLength, planned);
        at -= nameLength;
        memcpy(out + at, name, nameLength * sizeof(WideChar));
        up = row.node;
        if (plan->nodes.items[up].row != NONE || !baseEnds)
            out[--at] = PATH_SEPARATOR;
    }
    memcpy(out + *length, basePath, base.pathLength * sizeof(WideChar));
    *length += total;
    return true;
}

// The row's full path now, in plan->path; its name starts at *nameAt.
bool MakeRowPath(BatchPlan* plan, uint32_t index, size_t* nameAt)
{
    size_t length = 0;
    plan->path[0] = 0;
    if (!AppendFolderPath(plan, plan->rows.items[index].node, plan->path, &length) ||
        !AppendSeparator(plan->path, &length))
        return false;
    *nameAt = length;
    const WideChar* name;
    size_t nameLength;
    CurrentName(plan, plan->rows.items[index], &name, &nameLength);
    return AppendText(plan->path, &length, name, nameLength);
}

// The key of name in set, made when there is none, in *key, and where its
// text is in *at: the key's own when it is spelt the same (a listed name
// is kept once, for its folder's set and its row). False when there is no
// memory.
bool KeepName(BatchPlan* plan, uint32_t set, const WideChar* name, size_t length, uint32_t* key, uint32_t* at)
{
    *key = FindKey(plan, set, name, length);
    if (*key != NONE && memcmp(Text(plan->text, plan->keys.items[*key].textAt), name, length * sizeof(WideChar)) == 0) {
        *at = plan->keys.items[*key].textAt;
        return true;
    }
    if (!AddText(plan, name, length, at))
        return false;
    if (*key == NONE)
        *key = AddKey(plan, set, name, length, *at);
    return *key != NONE;
}

// A row's status among the rows before it: the names its folder holds then
// decide. Moves a ticked change's name in its folder's set.
void Settle(BatchPlan* plan, Row* row)
{
    row->status = row->found;
    if (row->found != ROW_CHANGE || !row->ticked)
        return;
    Key& target = plan->keys.items[row->newKey];
    if (row->newKey == row->nameKey) {
        // A change of case of its own name, which it keeps holding; but
        // another entry holding the name in another case (where case
        // counts, and under Wine) takes it.
        if (target.diskNow > 1)
            row->status = ROW_EXISTS;
        return;
    }
    if (target.diskNow > 0) {
        row->status = ROW_EXISTS;
        return;
    }
    if (target.planned > 0) {
        row->status = ROW_TAKEN_FIRST;
        return;
    }
    ++target.planned;
    --plan->keys.items[row->nameKey].diskNow;
}

// Adds a row for the entry name (length units) in node, found as found
// (error with it), and converts and checks its name. pathLength is the
// length of its folder's path, for the limit.
bool AddRow(BatchPlan* plan, uint32_t node, const WideChar* name, size_t length, size_t folderLength, bool folder,
            RowStatus found, unsigned long error)
{
    Row row = {};
    row.node = node;
    row.given = plan->walking ? plan->walkGiven : static_cast<uint32_t>(plan->nextGiven);
    row.folder = folder;
    row.ticked = true;
    row.newKey = NONE;
    row.error = static_cast<uint32_t>(error);
    row.nameLength = static_cast<uint16_t>(length > MAX_NAME_UNITS ? MAX_NAME_UNITS : length);
    const uint32_t set = plan->nodes.items[node].set;
    if (!KeepName(plan, set, name, row.nameLength, &row.nameKey, &row.nameAt))
        return false;
    row.newAt = row.nameAt;
    row.newLength = row.nameLength;
    Key& own = plan->keys.items[row.nameKey];
    if (own.onDisk == 0 && found != ROW_NOT_FOUND) {
        // A given path's folder that is not listed.
        own.onDisk = own.diskNow = 1;
        own.value = ASSUMED;
    }
    plan->nodes.items[set].hasRows = true;

    if (found == ROW_CHANGE && (row.error = static_cast<uint32_t>(CheckNameBytes(name, row.nameLength))) != 0)
        found = ROW_FAILED;
    if (found == ROW_CHANGE) {
        switch (ConvertFileName(plan->word, name, row.nameLength, plan->newName)) {
        case NAME_CONVERTED: {
            const size_t newLength = WideLength(plan->newName);
            if (folderLength + 1 + newLength > MAX_PATH_UNITS) {
                found = ROW_TOO_LONG;
                row.error = ERROR_NUMBER_NAME_TOO_LONG;
                break;
            }
            row.newLength = static_cast<uint16_t>(newLength);
            if (!KeepName(plan, set, plan->newName, newLength, &row.newKey, &row.newAt))
                return false;
            // For the list, a name taken on disk in a folder that was not
            // listed is looked up; carried out at once, its move tells.
            Key& target = plan->keys.items[row.newKey];
            if (!plan->silent && target.onDisk == 0 && row.newKey != row.nameKey && !plan->nodes.items[set].listed) {
                size_t at = 0;
                plan->lookup[0] = 0;
                FoundEntry entry;
                if (AppendFolderPath(plan, node, plan->lookup, &at) && AppendSeparator(plan->lookup, &at) &&
                    AppendText(plan->lookup, &at, plan->newName, newLength) &&
                    FindGivenEntry(plan->lookup, plan->lookupFound, WIDE_PATH_SIZE, &entry, plan->files) == 0) {
                    target.onDisk = target.diskNow = 1;
                    target.value = ASSUMED;
                }
            }
            break;
        }
        case NAME_UNCHANGED:
            found = ROW_CLEAN;
            break;
        case NAME_TOO_LONG:
            found = ROW_TOO_LONG;
            row.error = ERROR_NUMBER_NAME_TOO_LONG;
            break;
        default:
            found = ROW_FAILED;
            row.error = ERROR_NUMBER_INVALID_NAME;
            break;
        }
    }
    row.found = found;
    if (!Push(&plan->rows, row))
        return false;
    Settle(plan, &plan->rows.items[plan->rows.count - 1]);
    return true;
}

// The node of a given path's folder full[0, nameAt): the row of a folder
// given before it, when it lies in one (so that folder's new name carries
// into its path), else the folder by its path, one node for all given
// paths there. *inWalk: it lies in a tree the plan walks, where it
// already has its row.
uint32_t GivenFolderNode(BatchPlan* plan, const WideChar* full, size_t nameAt, bool* inWalk)
{
    *inWalk = false;
    size_t folderLength = nameAt;
    while (folderLength > 1 && IsSeparator(full[folderLength - 1]))
        --folderLength;
    // The deepest folder given before that holds it.
    for (size_t end = folderLength; end > 0; --end) {
        if (end != folderLength && !IsSeparator(full[end]))
            continue;
        const uint32_t key = FindKey(plan, GIVEN_PATHS, full, end);
        if (key == NONE)
            continue;
        const uint32_t row = plan->keys.items[key].value;
        if ((plan->word & OPT_FOLDER_CONTENTS) != 0 && plan->rows.items[row].found != ROW_EXCLUDED) {
            *inWalk = true;
            return NONE;
        }
        const size_t middle = end == folderLength ? 0 : folderLength - end - 1;
        uint32_t middleAt = 0;
        if (middle != 0 && !AddText(plan, full + end + 1, middle, &middleAt))
            return NONE;
        const uint32_t node = NewNode(plan, NONE);
        if (node == NONE)
            return NONE;
        Node& made = plan->nodes.items[node];
        made.row = row;
        made.middleAt = middleAt;
        made.middleLength = static_cast<uint32_t>(middle);
        // The same folder's names, whatever way it is reached.
        const uint32_t folders = AddKey(plan, GIVEN_FOLDERS, full, folderLength, NONE);
        if (folders == NONE)
            return NONE;
        if (plan->keys.items[folders].value != NONE)
            made.set = plan->nodes.items[plan->keys.items[folders].value].set;
        else
            plan->keys.items[folders].value = node;
        return node;
    }
    const uint32_t folders = AddKey(plan, GIVEN_FOLDERS, full, folderLength, NONE);
    if (folders == NONE)
        return NONE;
    Key& key = plan->keys.items[folders];
    if (key.value != NONE && plan->nodes.items[key.value].row == NONE)
        return key.value;
    const uint32_t node = NewNode(plan, key.value == NONE ? NONE : plan->nodes.items[key.value].set);
    if (node == NONE)
        return NONE;
    // The folder keeps its separator when it is a root ("C:\", "/").
    const size_t kept = folderLength == 0 ? nameAt : folderLength;
    if (!AddText(plan, full, kept, &plan->nodes.items[node].pathAt))
        return NONE;
    plan->nodes.items[node].pathLength = static_cast<uint32_t>(kept);
    plan->keys.items[folders].value = node;
    return node;
}

// Whether the token names an entry by a name of its own: not a folder's
// path ending in a separator, nor "." or "..", which name a folder through
// another, nor a bare drive ("C:"), which stands for its current folder.
// On a POSIX system "/" names the root, which the guard refuses, and a
// trailing '/' (a shell's completion of a folder) is taken off first.
bool NamesAnEntry(const WideChar* path, size_t length)
{
#if !defined(_WIN32)
    if (length == 1 && path[0] == '/')
        return true;
#endif
    const size_t at = NameStart(path);
    const size_t nameLength = length - at;
    return nameLength != 0 && !(nameLength == 1 && path[at] == '.') &&
           !(nameLength == 2 && path[at] == '.' && path[at + 1] == '.');
}

// Whether a token can name an entry at all: a Windows name holds no
// wildcard nor quote (a lookup would take it for a pattern), a POSIX name
// any unit but '/' and NUL.
bool IsUsable(const WideChar* path)
{
    if (path[0] == 0)
        return false;
#if defined(_WIN32)
    for (size_t i = 0; path[i] != 0; ++i)
        if (path[i] == '*' || path[i] == '?' || path[i] == '<' || path[i] == '>' || path[i] == '"')
            return false;
#endif
    return true;
}

// Whether the folder of given paths whose set is set should be listed
// whole: on a POSIX system always, on Windows for the list once it holds
// LIST_GIVEN_FOLDER_AFTER given paths (counted by the given text's folder).
bool WantsListing(const BatchPlan* plan, const WideChar* given)
{
#if defined(_WIN32)
    if (plan->silent)
        return false;
    const uint32_t key = FindKey(plan, GIVEN_COUNTS, given, NameStart(given));
    return key != NONE && plan->keys.items[key].onDisk >= static_cast<int32_t>(LIST_GIVEN_FOLDER_AFTER);
#else
    (void)plan;
    (void)given;
    return true;
#endif
}

// Lists the folder full[0, nameAt) of a given path into its node's set,
// unless it was listed before: every name it holds, hidden ones too, so
// that no new name needs a lookup and case is compared as the list shows
// it. A listing that fails leaves the set to the lookups. False when there
// is no memory.
bool ListGivenFolder(BatchPlan* plan, uint32_t node, const WideChar* full, size_t nameAt)
{
    const uint32_t set = plan->nodes.items[node].set;
    if (plan->nodes.items[set].listed || plan->walking)
        return true;
    size_t length = nameAt;
    while (length > 1 && IsSeparator(full[length - 1]))
        --length; // "C:\" is listed as "C:", whose pattern is "C:\*"; "/" stays
    if (length == 0 || length >= WIDE_PATH_SIZE)
        return true;
    memcpy(plan->lookup, full, length * sizeof(WideChar));
    plan->lookup[length] = 0;
    plan->listingSet = set;
#if defined(_WIN32)
    TreeWalk* walk = &plan->walk; // over: only its buffers serve
    walk->watcher = {SawListedName, plan};
    walk->entryCount = 0;
    walk->nameUnits = 0;
    walk->listingFailed = false;
    const unsigned long error = ListFolderOnDisk(plan->files, plan->lookup, walk);
    const bool failed = walk->listingFailed;
    walk->entryCount = 0;
    walk->nameUnits = 0;
#else
    // Names only, through a link too: a given path's folder may be one
    // (~/share pointing to /srv/share), which the walk would never enter.
    const unsigned long error = ListNamesOnDisk(plan->files, plan->lookup, {SawListedName, plan});
    const bool failed = false;
#endif
    if (error == WALK_NO_MEMORY)
        return false;
    if (error == 0 && !failed) {
        plan->nodes.items[set].listed = true;
        plan->resettle = plan->resettle || plan->nodes.items[set].hasRows;
    }
    return true;
}

// Plans the next given path: its row, or the start of its tree's walk.
// False when there is no memory.
bool PlanGiven(BatchPlan* plan)
{
    const Given& given = plan->givens.items[plan->nextGiven];
    WideChar* path = plan->newPath;
    size_t givenLength = given.length;
    memcpy(path, Text(plan->text, given.textAt), givenLength * sizeof(WideChar));
#if !defined(_WIN32)
    while (givenLength > 1 && path[givenLength - 1] == '/')
        --givenLength;
#endif
    path[givenLength] = 0;
    if (!IsUsable(path) || !NamesAnEntry(path, givenLength))
        return true;

    FoundEntry found = {};
    WideChar* full = plan->path;
    const unsigned long error = FindGivenEntry(path, full, WIDE_PATH_SIZE, &found, plan->files);
    if (error != 0) {
        // Shown where it was given: nothing on disk tells more.
        const size_t nameAt = NameStart(path);
        bool inWalk;
        const uint32_t node = GivenFolderNode(plan, path, nameAt, &inWalk);
        if (inWalk)
            return true;
        if (node == NONE)
            return false;
        const RowStatus status = error == ERROR_NUMBER_FILE_NOT_FOUND || error == 3 ? ROW_NOT_FOUND : ROW_FAILED;
        if (!AddRow(plan, node, path + nameAt, givenLength - nameAt, nameAt, false, status, error))
            return false;
        plan->rows.items[plan->rows.count - 1].isGiven = true;
        return true;
    }

    const size_t length = WideLength(full);
    // An entry given twice is planned once; a refusal is told each time.
    const uint32_t twice = FindKey(plan, GIVEN_PATHS, full, length);
    if (twice != NONE && plan->keys.items[twice].value < plan->rows.count &&
        plan->rows.items[plan->keys.items[twice].value].found != ROW_EXCLUDED)
        return true;
    bool inWalk;
    const uint32_t node = GivenFolderNode(plan, full, found.nameAt, &inWalk);
    if (inWalk)
        return true;
    if (node == NONE)
        return false;

    RowStatus status = ROW_CHANGE;
    unsigned long why = 0;
    if (found.link) {
        status = ROW_EXCLUDED;
        why = ERROR_NUMBER_STOPPED_ON_SYMLINK;
    } else if (found.folder && IsGuardedOnThisSystem(full)) {
        // Programs rely on the names in the Windows folder, Program Files
        // and the profile, and on the folders above them: not even the
        // folder's own name changes.
        status = ROW_EXCLUDED;
        why = ERROR_NUMBER_ACCESS_DENIED;
    }
    // The names beside it, before its row or its tree's top row is checked
    // against them.
    if (status == ROW_CHANGE && WantsListing(plan, path) &&
        !ListGivenFolder(plan, node, full, found.nameAt))
        return false;
    if (status == ROW_CHANGE && found.folder && (plan->word & OPT_FOLDER_CONTENTS) != 0) {
        // Its tree first; the folder's own row comes last, from the walk.
        const uint32_t key = AddKey(plan, GIVEN_PATHS, full, length, NONE);
        if (key == NONE)
            return false;
        plan->keys.items[key].value = static_cast<uint32_t>(plan->rows.count); // until its row is made
        if (!StartWalk(&plan->walk, full, {ListForPlan, plan})) {
            if (!AddRow(plan, node, full + found.nameAt, length - found.nameAt, found.nameAt, true, ROW_FAILED,
                        ERROR_NUMBER_NAME_TOO_LONG))
                return false;
            plan->rows.items[plan->rows.count - 1].isGiven = true;
            return true;
        }
        plan->walk.watcher = {SawListedName, plan};
        plan->walking = true;
        plan->walkGiven = static_cast<uint32_t>(plan->nextGiven);
        plan->nodeStack.count = 0;
        return true;
    }
    if (!AddRow(plan, node, full + found.nameAt, length - found.nameAt, found.nameAt, found.folder, status, why))
        return false;
    plan->rows.items[plan->rows.count - 1].isGiven = true;
    plan->rows.items[plan->rows.count - 1].itselfALink = found.symbolicLink;
    const uint32_t key = AddKey(plan, GIVEN_PATHS, full, length, NONE);
    if (key == NONE)
        return false;
    if (plan->keys.items[key].value == NONE)
        plan->keys.items[key].value = static_cast<uint32_t>(plan->rows.count - 1);
    return true;
}

// One step of the walk under way. False when there is no memory.
bool PlanWalkStep(BatchPlan* plan)
{
    WalkStep step;
    if (!NextWalkStep(&plan->walk, &step)) {
        plan->walking = false;
        ++plan->nextGiven;
        return true;
    }
    if (step.error == GIVEN_BEFORE)
        return true;
    const WideChar* name = step.path + step.nameAt;
    const size_t length = WideLength(name);
    uint32_t node;
    uint32_t own = NONE;
    if (step.folder && step.error == 0)
        own = plan->nodeStack.items[--plan->nodeStack.count];
    const bool top = plan->nodeStack.count == 0;
    // An entry given before the walk reached it keeps the row it has.
    if (!top && plan->givens.count > 1 && FindKey(plan, GIVEN_PATHS, step.path, step.nameAt + length) != NONE)
        return true;
    if (top) {
        bool inWalk;
        node = GivenFolderNode(plan, step.path, step.nameAt, &inWalk);
        if (node == NONE)
            return false;
    } else {
        node = plan->nodeStack.items[plan->nodeStack.count - 1];
    }
    const RowStatus status = step.error != 0 ? ROW_FAILED : ROW_CHANGE;
    if (!AddRow(plan, node, name, length, step.nameAt, step.folder, status, step.error))
        return false;
    const uint32_t row = static_cast<uint32_t>(plan->rows.count - 1);
    if (own != NONE)
        plan->nodes.items[own].row = row;
    if (top) {
        plan->rows.items[row].isGiven = true;
        const uint32_t key = FindKey(plan, GIVEN_PATHS, step.path, step.nameAt + length);
        if (key != NONE)
            plan->keys.items[key].value = row;
    }
    return true;
}

// Plans the rows again from the start, as the ticks are now.
void SettleAll(BatchPlan* plan)
{
    for (size_t i = 0; i < plan->keys.count; ++i) {
        plan->keys.items[i].diskNow = plan->keys.items[i].onDisk;
        plan->keys.items[i].planned = 0;
    }
    for (size_t i = 0; i < plan->rows.count; ++i)
        Settle(plan, &plan->rows.items[i]);
}

// The folder of row as the user knows it: no "\\?\", no trailing
// separator but a root's.
size_t ShownFolder(const BatchPlan* plan, size_t row, WideChar* out, size_t capacity, bool planned)
{
    size_t length = 0;
    out[0] = 0;
    if (capacity < WIDE_PATH_SIZE || !AppendFolderPath(plan, plan->rows.items[row].node, out, &length, planned))
        return 0;
    TakeOffExtendedPrefix(out);
    length = WideLength(out);
    while (length > 1 && IsSeparator(out[length - 1]) && out[length - 2] != ':')
        out[--length] = 0;
    return length;
}

// Carries out one row: moves a ticked change, and records every row as
// the batch always has.
void RunRow(BatchPlan* plan, uint32_t index)
{
    Row& row = plan->rows.items[index];
    size_t nameAt;
    const bool made = MakeRowPath(plan, index, &nameAt);
    BatchRecord* record = &plan->record;
    if (!made) {
        if (row.status == ROW_CHANGE && row.ticked)
            row.status = ROW_LEFT_ALONE;
        row.error = ERROR_NUMBER_NAME_TOO_LONG;
        return;
    }
    switch (row.status) {
    case ROW_CHANGE:
        break;
    case ROW_CLEAN:
        if (row.isGiven)
            RecordGivenUnchanged(record, plan->path);
        else
            RecordUnchanged(record);
        return;
    case ROW_EXISTS:
    case ROW_TAKEN_FIRST:
        RecordNotRenamed(record, plan->path, ERROR_NUMBER_ALREADY_EXISTS);
        return;
    default:
        RecordNotRenamed(record, plan->path, row.error);
        return;
    }
    if (!row.ticked) {
        // Left as it is, as the user chose.
        if (row.isGiven)
            RecordGivenUnchanged(record, plan->path);
        else
            RecordUnchanged(record);
        return;
    }

    WideChar* newPath = plan->newPath;
    memcpy(newPath, plan->path, nameAt * sizeof(WideChar));
    size_t length = nameAt;
    newPath[length] = 0;
    if (!AppendText(newPath, &length, Text(plan->text, row.newAt), row.newLength)) {
        row.status = ROW_LEFT_ALONE;
        row.error = ERROR_NUMBER_NAME_TOO_LONG;
        RecordNotRenamed(record, plan->path, row.error);
        return;
    }
    // Never a move of what is not where it was listed or found: under Wine
    // moving a link to a file moves the file, from wherever it is.
    // A symbolic link given itself is renamed as the link (never its
    // target): the check, which tells a link, is not its.
    unsigned long error = row.itselfALink ? 0 : CheckEntryIsItself(plan->path, plan->files);
    if (error != 0) {
        row.status = ROW_LEFT_ALONE;
        row.error = static_cast<uint32_t>(error);
        RecordNotRenamed(record, plan->path, error);
        return;
    }
    // Recorded before the move, so that a batch stopped at any moment
    // leaves every rename it made in the history.
    RecordMove(record, plan->path, newPath);
    error = MoveEntry(plan->path, newPath, plan->files);
    RecordOutcome(record, plan->path, error);
    row.status = error == 0 ? ROW_RENAMED : ROW_LEFT_ALONE;
    row.error = static_cast<uint32_t>(error);
}

}  // namespace

BatchPlan* NewPlan(SettingsWord word)
{
    BatchPlan* plan = static_cast<BatchPlan*>(calloc(1, sizeof(BatchPlan)));
    if (plan == nullptr)
        return nullptr;
    plan->files = NewFileCallPaths();
    if (plan->files == nullptr) {
        free(plan);
        return nullptr;
    }
    plan->word = word;
    plan->walk.state = 2;
    return plan;
}

void FreePlan(BatchPlan* plan)
{
    if (plan == nullptr)
        return;
    if (plan->recordOpen)
        EndRun(plan);
    FreeWalk(&plan->walk);
    FreeFileCallPaths(plan->files);
    Release(&plan->rows);
    Release(&plan->nodes);
    ReleaseText(&plan->text);
    Release(&plan->keys);
    Release(&plan->givens);
    Release(&plan->nodeStack);
    free(plan->slots);
    free(plan);
}

void AddGivenPath(BatchPlan* plan, const WideChar* path)
{
    Given given = {0, static_cast<uint32_t>(WideLength(path))};
    if (given.length <= MAX_PATH_UNITS && AddText(plan, path, given.length, &given.textAt) &&
        Push(&plan->givens, given)) {
        const uint32_t folder = AddKey(plan, GIVEN_COUNTS, path, NameStart(path), given.textAt);
        if (folder != NONE)
            ++plan->keys.items[folder].onDisk;
    }
    plan->complete = false;
}

bool PlanSome(BatchPlan* plan, size_t budget)
{
    for (size_t done = 0; done < budget && !plan->complete; ++done) {
        bool ok;
        if (plan->walking) {
            ok = PlanWalkStep(plan);
        } else if (plan->nextGiven < plan->givens.count) {
            ok = PlanGiven(plan);
            if (!plan->walking)
                ++plan->nextGiven;
        } else {
            plan->complete = true;
            break;
        }
        if (!ok) {
            // No memory left: the plan ends here, and so does what it
            // carries out.
            FreeWalk(&plan->walk);
            plan->walking = false;
            plan->nextGiven = plan->givens.count;
            plan->complete = true;
        }
    }
    if (plan->complete && plan->resettle) {
        // A folder was listed after rows in it were checked (a folder of
        // given paths walked later, or reached by another spelling).
        plan->resettle = false;
        SettleAll(plan);
    }
    return plan->complete;
}

size_t RowCount(const BatchPlan* plan)
{
    return plan->rows.count;
}

BatchRow GetRow(const BatchPlan* plan, size_t index)
{
    const Row& row = plan->rows.items[index];
    BatchRow out;
    out.status = row.status;
    out.ticked = row.ticked;
    out.folder = row.folder;
    out.error = row.error;
    out.name = Text(plan->text, row.nameAt);
    out.nameLength = row.nameLength;
    out.newName = Text(plan->text, row.newAt);
    out.newNameLength = row.newLength;
    out.given = row.given;
    out.isGiven = row.isGiven;
    return out;
}

size_t RowFolder(const BatchPlan* plan, size_t row, WideChar* out, size_t capacity)
{
    return ShownFolder(plan, row, out, capacity, false);
}

size_t RowFolderAfterRun(const BatchPlan* plan, size_t row, WideChar* out, size_t capacity)
{
    return ShownFolder(plan, row, out, capacity, true);
}

void SetTicked(BatchPlan* plan, size_t row, bool ticked)
{
    if (plan->running || row >= plan->rows.count || plan->rows.items[row].ticked == ticked)
        return;
    plan->rows.items[row].ticked = ticked;
    SettleAll(plan);
}

void SetTickedRows(BatchPlan* plan, const size_t* rows, size_t count, bool ticked)
{
    if (plan->running)
        return;
    bool changed = false;
    for (size_t i = 0; i < count; ++i) {
        if (rows[i] < plan->rows.count && plan->rows.items[rows[i]].ticked != ticked) {
            plan->rows.items[rows[i]].ticked = ticked;
            changed = true;
        }
    }
    if (changed)
        SettleAll(plan);
}

PlanCounts CountRows(const BatchPlan* plan)
{
    PlanCounts counts = {};
    counts.rows = plan->rows.count;
    for (size_t i = 0; i < plan->rows.count; ++i) {
        const Row& row = plan->rows.items[i];
        ++counts.byStatus[row.status];
        if (row.ticked && row.status == ROW_CHANGE)
            ++counts.ticked;
    }
    return counts;
}

void StartRun(BatchPlan* plan)
{
    plan->running = true;
    plan->nextRun = 0;
    StartBatchRecord(&plan->record, plan->word);
    plan->recordOpen = true;
}

bool RunSome(BatchPlan* plan, size_t budget)
{
    for (size_t done = 0; done < budget && plan->nextRun < plan->rows.count; ++done)
        RunRow(plan, static_cast<uint32_t>(plan->nextRun++));
    return plan->nextRun == plan->rows.count;
}

void EndRun(BatchPlan* plan)
{
    if (plan->recordOpen)
        EndBatchRecord(&plan->record);
    plan->recordOpen = false;
    plan->nextRun = plan->rows.count;
}

void RunWholeBatch(BatchPlan* plan)
{
    plan->silent = true;
    while (!PlanSome(plan, 4096)) {
    }
    StartRun(plan);
    while (!RunSome(plan, 4096)) {
    }
    EndRun(plan);
}
