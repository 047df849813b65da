// The name's conversion on a POSIX system: code page 932 and NFC from the
// tables, never iconv or the locale, so a name converts here exactly as on
// Windows whatever LANG says.
#include "convert/cp932.h"
#include "convert/name.h"
#include "convert/nfc.h"

NameResult ConvertFileName(SettingsWord word, const WideChar* name, size_t length, WideName out)
{
    // A Linux file system holds 255 bytes of UTF-8 in one name, whatever
    // their units.
    static const NameServices services = {CODE_PAGE_932, ComposeNfc, UTF8_NAME_LIMIT};
    return ConvertNameWith(word, name, length, services, out);
}
