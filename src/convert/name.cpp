#include "convert/name.h"

#include <cstring>

#include "convert/pipeline.h"
#include "convert/strings.h"

void SplitName(const char* name, char* baseName, char* extension, bool* hasDot)
{
    // A dot is never a trail byte (those start at 0x40), so the last 0x2E
    // byte is the last dot.
    const char* dot = strrchr(name, '.');
    *hasDot = dot != nullptr;
    if (dot != nullptr) {
        size_t baseLength = static_cast<size_t>(dot - name);
        memcpy(baseName, name, baseLength);
        baseName[baseLength] = '\0';
        strcpy(extension, dot + 1);
    } else {
        strcpy(baseName, name);
        extension[0] = '\0';
    }
}

bool BuildNewName(const char* baseName, const char* extension, bool hasDot, char* newName, size_t size)
{
    if (hasDot)
        return JoinStrings(newName, size, {baseName, ".", extension});
    return JoinStrings(newName, size, {baseName});
}

namespace {

// The new name without the join of combining marks.
NameResult ConvertWideName(SettingsWord word, const WideChar* name, size_t length, const Cp932Codec& codec,
                           WideChar* out)
{
    out[0] = 0;
    if (length > MAX_NAME_UNITS)
        return NAME_TOO_LONG;
    // Stand-ins are kept per name: a name of 255 units holds at most 255 of
    // them, and the table holds 1,880.
    static StandIns table;
    table.count = 0;
    NameBuffer bytes;
    if (!ToCodePage932(name, length, codec, &table, bytes, sizeof bytes))
        return NAME_UNREADABLE;

    NameBuffer baseName;
    NameBuffer extension;
    bool hasDot;
    SplitName(bytes, baseName, extension, &hasDot);
    NameBuffer oldBaseName;
    strcpy(oldBaseName, baseName);
    if (!ConvertNameWithWord(word, baseName, sizeof baseName))
        return NAME_TOO_LONG;
    if (strcmp(baseName, oldBaseName) == 0)
        return NAME_UNCHANGED;

    // Counted in units on the way back: code page 932 bytes set no limit.
    NameBuffer newName;
    static WideChar wide[NAME_BUFFER_SIZE];
    if (!BuildNewName(baseName, extension, hasDot, newName, sizeof newName) ||
        !FromCodePage932(newName, codec, table, wide, NAME_BUFFER_SIZE))
        return NAME_TOO_LONG;
    size_t units = 0;
    while (wide[units] != 0)
        ++units;
    if (units > MAX_NAME_UNITS)
        return NAME_TOO_LONG;
    for (size_t i = 0; i <= units; ++i)
        out[i] = wide[i];
    return NAME_CONVERTED;
}

// The new name with the join of combining marks, if the word asks for it.
NameResult ConvertJoinedName(SettingsWord word, const WideChar* name, size_t length, const NameServices& services,
                             WideChar* out)
{
    if (!(word & OPT_JOIN_MARKS) || length > MAX_NAME_UNITS)
        return ConvertWideName(word, name, length, services.codec, out);

    // The extension is kept as it is, like every other conversion keeps it.
    size_t dot = length;
    for (size_t i = 0; i < length; ++i) {
        if (name[i] == '.')
            dot = i;
    }
    WideName joined;
    for (size_t i = 0; i < length; ++i)
        joined[i] = name[i];
    const size_t baseLength = JoinCombiningMarks(joined, dot, services.normalize);
    size_t joinedLength = baseLength;
    for (size_t i = dot; i < length; ++i)
        joined[joinedLength++] = name[i];
    joined[joinedLength] = 0;

    const NameResult result = ConvertWideName(word, joined, joinedLength, services.codec, out);
    if (result != NAME_UNCHANGED)
        return result;
    bool same = joinedLength == length;
    for (size_t i = 0; same && i < length; ++i)
        same = joined[i] == name[i];
    if (same)
        return NAME_UNCHANGED;
    for (size_t i = 0; i <= joinedLength; ++i)
        out[i] = joined[i];
    return NAME_CONVERTED;
}

// The length of name in UTF-8: a surrogate pair takes four bytes, a
// surrogate without its partner three, as any other unit from U+0800 on.
size_t Utf8Length(const WideChar* name)
{
    size_t bytes = 0;
    for (size_t i = 0; name[i] != 0; ++i) {
        const unsigned unit = static_cast<unsigned>(name[i]);
        if (unit < 0x80) {
            bytes += 1;
        } else if (unit < 0x800) {
            bytes += 2;
        } else if (unit >= 0xD800 && unit < 0xDC00 && name[i + 1] >= 0xDC00 && name[i + 1] < 0xE000) {
            bytes += 4;
            ++i;
        } else {
            bytes += 3;
        }
    }
    return bytes;
}

}  // namespace

NameResult ConvertNameWith(SettingsWord word, const WideChar* name, size_t length, const NameServices& services,
                           WideChar* out)
{
    const NameResult result = ConvertJoinedName(word, name, length, services, out);
    if (result != NAME_CONVERTED || services.utf8Limit == 0 || Utf8Length(out) <= services.utf8Limit)
        return result;
    out[0] = 0;
    return NAME_TOO_LONG;
}
