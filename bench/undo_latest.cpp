// The undo of the rename benchmark: takes back the latest batch recorded in
// the history.txt beside this program, as the dialog's 元に戻す does, with
// no window. Placed beside blankmender.exe, it undoes that copy's batches.
//
//   undo_latest.exe
//
// Exit code 0 when a batch was taken back whole, 1 when there was none, 2
// when some of its renames could not be taken back.
#include <windows.h>

#include "history/history_file.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    UndoResult result;
    if (!UndoLatestBatch(&result))
        return 1;
    return result.failed == 0 ? 0 : 2;
}
