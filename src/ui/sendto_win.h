// The program's place in Explorer's Send To menu: "Blankmender.lnk" in the
// user's Send To folder, a shortcut to this executable. Only a shortcut of
// that name is ever read, made or removed; one the user made under another
// name is left alone.
#pragma once

#include <cstddef>

// Whether the Send To folder holds Blankmender.lnk pointing at this
// executable. One pointing at another copy (the program was moved) does not
// count, nor does one that cannot be read.
bool HasSendToShortcut();

// Writes Blankmender.lnk pointing at this executable, with its icon and
// description, over any Blankmender.lnk already there. False when that
// fails; folder then holds the Send To folder's path (size units; empty
// when there is no such folder).
bool AddSendToShortcut(const wchar_t* description, wchar_t* folder, size_t size);

// Deletes Blankmender.lnk if it points at this executable; one pointing
// elsewhere is another copy's, and stays. False, with folder as above, when
// it is there and cannot be deleted.
bool RemoveSendToShortcut(wchar_t* folder, size_t size);
