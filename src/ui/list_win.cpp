// The list window's Win32 half: a virtual list view over the plan, the
// plan made and carried out in slices between messages, ticks, the filter,
// the copy, and a layout that follows the window's size.
#include "ui/list_win.h"

#include <commctrl.h>

#include <cstdlib>
#include <cwchar>

#include "resource.h"
#include "ui/list_rows.h"

namespace {

// A slice of planning or renaming takes about this long; between two the
// window answers, repaints and takes キャンセル.
const DWORD SLICE_MS = 50;
// The rows and the counts are shown again this often while the work goes
// on: under Wine a repaint of the list costs about as much as a slice, and
// one after every slice made renaming take twice as long.
const DWORD SHOW_MS = 500;
// What one call of PlanSome and RunSome may do: a slice makes as many calls
// as its time allows.
const size_t PLAN_BUDGET = 256;
const size_t RUN_BUDGET = 4;
// The next slice, posted by the window to itself.
const UINT WM_LIST_SLICE = WM_APP + 1;
const UINT_PTR SLICE_TIMER = 1;

// The column's title and width in dialog units.
struct Column {
    const wchar_t* title;
    int width;
};
const Column COLUMNS[] = {
    {L"状態", 50},
    {L"変換前", 95},
    {L"変換後", 95},
    {L"フォルダ", 240},
};

// The controls as the template places them, and how each follows the
// window's size: the list takes the room, the filter and the counts keep to
// the bottom left, the buttons to the bottom right.
enum Anchor { GROWS, BOTTOM_LEFT, BOTTOM_WIDENS, BOTTOM_RIGHT };
struct Placed {
    int id;
    Anchor anchor;
    RECT rect; // at the template's size, in client pixels
};

struct ListWindow {
    BatchPlan* plan;
    ListPhase phase;
    ShownRows shown;
    bool ran;
    // Renaming: the ticked rows it will reach.
    size_t runTotal;
    // When the rows and counts were last shown; the rows shown so far
    // while planning.
    DWORD shownAt;
    size_t rowsSeen;
    // The client size the template gave, the window's size then, and the
    // controls' places at that size.
    SIZE client;
    SIZE smallest;
    Placed placed[6];
    // A cell's text as the list view asks for it; a folder's, which may be
    // a whole path.
    wchar_t cell[1024];
    WidePath folder;
    wchar_t summary[512];
};

HWND List(HWND window)
{
    return GetDlgItem(window, IDC_LIST);
}

ListWindow* StateOf(HWND window)
{
    return reinterpret_cast<ListWindow*>(GetWindowLongPtrW(window, DWLP_USER));
}

// A row has a check box where its tick can decide something: one that
// changes, one a name taken first may free, and what renaming made of
// them. A clean name, one taken on disk, one too long or gone has none.
bool HasCheckBox(const BatchRow& row)
{
    return row.status == ROW_CHANGE || row.status == ROW_TAKEN_FIRST || row.status == ROW_RENAMED ||
           row.status == ROW_LEFT_ALONE;
}

void ShowSummary(HWND window, ListWindow* state)
{
    const PlanCounts counts = CountRows(state->plan);
    const size_t done = counts.byStatus[ROW_RENAMED] + counts.byStatus[ROW_LEFT_ALONE];
    const size_t total = state->phase == LIST_READY ? counts.ticked : state->runTotal;
    FormatListSummary(counts, state->phase, done, total, state->summary,
                      sizeof state->summary / sizeof state->summary[0]);
    SetDlgItemTextW(window, IDC_LIST_SUMMARY, state->summary);
}

// The list view holds no rows: it is told how many are shown and asks for
// what it draws.
void ShowRowCount(HWND window, ListWindow* state, bool redraw)
{
    ListView_SetItemCountEx(List(window), static_cast<int>(state->shown.count),
                            redraw ? LVSICF_NOSCROLL : LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    if (redraw)
        InvalidateRect(List(window), nullptr, FALSE);
}

// The shown rows made anew: the filter changed, or statuses did.
void ReshowRows(HWND window, ListWindow* state)
{
    ClearShownRows(&state->shown);
    AddShownRows(&state->shown, state->plan, 0);
    ShowRowCount(window, state, true);
}

// A posted message comes before input and painting, so a window that
// posted its next slice at once would never repaint nor see a click.
// Painting is done here; pending input gets the queue first through a
// timer, which comes after it.
void ScheduleSlice(HWND window)
{
    if (HIWORD(GetQueueStatus(QS_PAINT)) != 0)
        RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    if (HIWORD(GetQueueStatus(QS_INPUT)) != 0)
        SetTimer(window, SLICE_TIMER, USER_TIMER_MINIMUM, nullptr);
    else
        PostMessageW(window, WM_LIST_SLICE, 0, 0);
}

void FinishReading(HWND window, ListWindow* state)
{
    state->phase = LIST_READY;
    ReshowRows(window, state);
    EnableWindow(GetDlgItem(window, IDOK), TRUE);
    EnableWindow(GetDlgItem(window, IDC_LIST_COPY), TRUE);
}

void FinishRunning(HWND window, ListWindow* state)
{
    EndRun(state->plan);
    state->phase = LIST_DONE;
    ReshowRows(window, state);
    SetDlgItemTextW(window, IDCANCEL, L"閉じる");
    // The focus would stay on the greyed-out 変換する, where Enter and Esc
    // do nothing.
    SendMessageW(window, DM_SETDEFID, IDCANCEL, 0);
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDCANCEL)), TRUE);
}

void OnSlice(HWND window, ListWindow* state)
{
    const DWORD start = GetTickCount();
    bool finished = false;
    if (state->phase == LIST_READING) {
        do
            finished = PlanSome(state->plan, PLAN_BUDGET);
        while (!finished && GetTickCount() - start < SLICE_MS);
    } else if (state->phase == LIST_RUNNING) {
        do
            finished = RunSome(state->plan, RUN_BUDGET);
        while (!finished && GetTickCount() - start < SLICE_MS);
    } else {
        return;
    }
    if (finished) {
        if (state->phase == LIST_READING)
            FinishReading(window, state);
        else
            FinishRunning(window, state);
    } else if (GetTickCount() - state->shownAt >= SHOW_MS) {
        if (state->phase == LIST_READING) {
            AddShownRows(&state->shown, state->plan, state->rowsSeen);
            state->rowsSeen = RowCount(state->plan);
            ShowRowCount(window, state, false);
        } else {
            InvalidateRect(List(window), nullptr, FALSE);
        }
    } else {
        ScheduleSlice(window);
        return;
    }
    state->shownAt = GetTickCount();
    ShowSummary(window, state);
    if (!finished)
        ScheduleSlice(window);
}

void StartRunning(HWND window, ListWindow* state)
{
    if (state->phase != LIST_READY)
        return;
    state->runTotal = CountRows(state->plan).ticked;
    state->phase = LIST_RUNNING;
    state->ran = true;
    EnableWindow(GetDlgItem(window, IDOK), FALSE);
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDCANCEL)), TRUE);
    StartRun(state->plan);
    ShowSummary(window, state);
    ScheduleSlice(window);
}

// Ticks or unticks the shown rows given: all to the opposite of the first
// with a check box. The plan is made again, once, so a row another blocked
// may change.
void ToggleRows(HWND window, ListWindow* state, const int* items, size_t count)
{
    if (state->phase != LIST_READY || count == 0)
        return;
    size_t first = 0;
    while (first < count && !HasCheckBox(GetRow(state->plan, state->shown.rows[items[first]])))
        ++first;
    if (first == count)
        return;
    const bool tick = !GetRow(state->plan, state->shown.rows[items[first]]).ticked;
    size_t* rows = static_cast<size_t*>(malloc(count * sizeof(size_t)));
    if (rows == nullptr)
        return;
    size_t changing = 0;
    for (size_t i = 0; i < count; ++i) {
        const size_t row = state->shown.rows[items[i]];
        const BatchRow got = GetRow(state->plan, row);
        if (HasCheckBox(got) && got.ticked != tick)
            rows[changing++] = row;
    }
    SetTickedRows(state->plan, rows, changing, tick);
    free(rows);
    ReshowRows(window, state);
    ShowSummary(window, state);
}

// A click on a row's check box.
void OnClick(HWND window, ListWindow* state, const NMITEMACTIVATE* click)
{
    LVHITTESTINFO hit = {};
    hit.pt = click->ptAction;
    const int item = ListView_HitTest(List(window), &hit);
    if (item >= 0 && static_cast<size_t>(item) < state->shown.count && (hit.flags & LVHT_ONITEMSTATEICON) != 0)
        ToggleRows(window, state, &item, 1);
}

// Space over the selected rows, as in Explorer.
void OnSpace(HWND window, ListWindow* state)
{
    HWND list = List(window);
    const UINT selected = ListView_GetSelectedCount(list);
    if (selected == 0)
        return;
    int* items = static_cast<int*>(malloc(selected * sizeof(int)));
    if (items == nullptr)
        return;
    size_t count = 0;
    // The focused row first: its tick decides the others'.
    const int focused = ListView_GetNextItem(list, -1, LVNI_FOCUSED | LVNI_SELECTED);
    if (focused >= 0)
        items[count++] = focused;
    for (int item = ListView_GetNextItem(list, -1, LVNI_SELECTED); item >= 0 && count < selected;
         item = ListView_GetNextItem(list, item, LVNI_SELECTED)) {
        if (item != focused && static_cast<size_t>(item) < state->shown.count)
            items[count++] = item;
    }
    ToggleRows(window, state, items, count);
    free(items);
}

void OnGetDispInfo(ListWindow* state, NMLVDISPINFOW* info)
{
    LVITEMW& item = info->item;
    if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= state->shown.count)
        return;
    const size_t index = state->shown.rows[item.iItem];
    const BatchRow row = GetRow(state->plan, index);
    if (item.mask & LVIF_STATE) {
        item.state = INDEXTOSTATEIMAGEMASK(!HasCheckBox(row) ? 0 : row.ticked ? 2 : 1);
        item.stateMask = LVIS_STATEIMAGEMASK;
    }
    if ((item.mask & LVIF_TEXT) == 0)
        return;
    const size_t room = sizeof state->cell / sizeof state->cell[0] - 1;
    size_t length = 0;
    switch (item.iSubItem) {
    case 0:
        RowStatusText(row, state->phase, state->cell);
        length = wcslen(state->cell);
        break;
    case 1:
        length = row.nameLength < room ? row.nameLength : room;
        wmemcpy(state->cell, row.name, length);
        break;
    case 2:
        length = row.newNameLength < room ? row.newNameLength : room;
        wmemcpy(state->cell, row.newName, length);
        break;
    default:
        if (RowFolder(state->plan, index, state->folder, WIDE_PATH_SIZE) == 0)
            state->folder[0] = L'\0';
        item.pszText = state->folder;
        return;
    }
    state->cell[length] = L'\0';
    item.pszText = state->cell;
}

// The shown rows on the clipboard as tab-separated text.
void CopyRows(HWND window, ListWindow* state)
{
    const size_t length = FormatShownRows(state->plan, &state->shown, state->phase, nullptr, state->folder);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (length + 1) * sizeof(wchar_t));
    if (memory == nullptr)
        return;
    wchar_t* text = static_cast<wchar_t*>(GlobalLock(memory));
    if (text == nullptr) {
        GlobalFree(memory);
        return;
    }
    FormatShownRows(state->plan, &state->shown, state->phase, text, state->folder);
    GlobalUnlock(memory);
    if (!OpenClipboard(window)) {
        GlobalFree(memory);
        return;
    }
    EmptyClipboard();
    if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr)
        GlobalFree(memory);
    CloseClipboard();
}

void AddColumns(HWND window)
{
    HWND list = List(window);
    ListView_SetExtendedListViewStyleEx(list, LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES | LVS_EX_DOUBLEBUFFER,
                                        LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES | LVS_EX_DOUBLEBUFFER);
    // The ticks are the plan's: the list view asks for the check box of
    // every row it draws.
    ListView_SetCallbackMask(list, LVIS_STATEIMAGEMASK);
    for (int i = 0; i < static_cast<int>(sizeof COLUMNS / sizeof COLUMNS[0]); ++i) {
        RECT width = {0, 0, COLUMNS[i].width, 0};
        MapDialogRect(window, &width);
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<wchar_t*>(COLUMNS[i].title);
        column.cx = width.right;
        column.iSubItem = i;
        // The W message by name: the macro sends the A one to a program
        // built without UNICODE.
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
}

void RememberLayout(HWND window, ListWindow* state)
{
    RECT client, frame;
    GetClientRect(window, &client);
    GetWindowRect(window, &frame);
    state->client = {client.right, client.bottom};
    state->smallest = {frame.right - frame.left, frame.bottom - frame.top};
    const Placed placed[] = {
        {IDC_LIST, GROWS, {}},           {IDC_LIST_CHANGED_ONLY, BOTTOM_LEFT, {}},
        {IDC_LIST_SUMMARY, BOTTOM_WIDENS, {}}, {IDC_LIST_COPY, BOTTOM_RIGHT, {}},
        {IDOK, BOTTOM_RIGHT, {}},        {IDCANCEL, BOTTOM_RIGHT, {}},
    };
    for (size_t i = 0; i < sizeof placed / sizeof placed[0]; ++i) {
        state->placed[i] = placed[i];
        GetWindowRect(GetDlgItem(window, placed[i].id), &state->placed[i].rect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&state->placed[i].rect), 2);
    }
}

void OnSize(HWND window, ListWindow* state, int width, int height)
{
    const int dx = width - state->client.cx;
    const int dy = height - state->client.cy;
    HDWP moves = BeginDeferWindowPos(6);
    for (const Placed& placed : state->placed) {
        RECT r = placed.rect;
        switch (placed.anchor) {
        case GROWS:
            r.right += dx;
            r.bottom += dy;
            break;
        case BOTTOM_LEFT:
            OffsetRect(&r, 0, dy);
            break;
        case BOTTOM_WIDENS:
            OffsetRect(&r, 0, dy);
            r.right += dx;
            break;
        case BOTTOM_RIGHT:
            OffsetRect(&r, dx, dy);
            break;
        }
        if (moves != nullptr)
            moves = DeferWindowPos(moves, GetDlgItem(window, placed.id), nullptr, r.left, r.top, r.right - r.left,
                                   r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (moves != nullptr)
        EndDeferWindowPos(moves);
}

INT_PTR OnInitDialog(HWND window, ListWindow* state)
{
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    SendMessageW(window, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(LoadIconW(instance, MAKEINTRESOURCEW(IDI_MAIN))));
    HANDLE small = LoadImageW(instance, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                              GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR);
    if (small != nullptr)
        SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    RememberLayout(window, state);
    AddColumns(window);
    EnableWindow(GetDlgItem(window, IDC_LIST_COPY), FALSE);
    ShowSummary(window, state);
    ScheduleSlice(window);
    return TRUE;
}

INT_PTR OnNotify(HWND window, ListWindow* state, NMHDR* header)
{
    if (header->idFrom != IDC_LIST)
        return FALSE;
    switch (header->code) {
    case LVN_GETDISPINFOW:
        OnGetDispInfo(state, reinterpret_cast<NMLVDISPINFOW*>(header));
        return TRUE;
    case NM_CLICK:
        OnClick(window, state, reinterpret_cast<NMITEMACTIVATE*>(header));
        return TRUE;
    case LVN_KEYDOWN:
        if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey == VK_SPACE)
            OnSpace(window, state);
        return TRUE;
    case LVN_ODFINDITEMW:
        // Typing does not search the rows: found nothing.
        SetWindowLongPtrW(window, DWLP_MSGRESULT, -1);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR OnCommand(HWND window, ListWindow* state, WORD id)
{
    switch (id) {
    case IDOK:
        StartRunning(window, state);
        return TRUE;
    case IDCANCEL:
        // Renaming stops between two slices: what was moved stays moved,
        // and recorded, for undo.
        if (state->phase == LIST_RUNNING)
            EndRun(state->plan);
        EndDialog(window, state->ran ? 1 : 0);
        return TRUE;
    case IDC_LIST_CHANGED_ONLY:
        state->shown.changedOnly = IsDlgButtonChecked(window, IDC_LIST_CHANGED_ONLY) == BST_CHECKED;
        ReshowRows(window, state);
        return TRUE;
    case IDC_LIST_COPY:
        CopyRows(window, state);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK ListWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        return OnInitDialog(window, reinterpret_cast<ListWindow*>(lParam));
    ListWindow* state = StateOf(window);
    if (state == nullptr)
        return FALSE;
    switch (message) {
    case WM_LIST_SLICE:
        OnSlice(window, state);
        return TRUE;
    case WM_TIMER:
        if (wParam != SLICE_TIMER)
            return FALSE;
        KillTimer(window, SLICE_TIMER);
        OnSlice(window, state);
        return TRUE;
    case WM_NOTIFY:
        return OnNotify(window, state, reinterpret_cast<NMHDR*>(lParam));
    case WM_COMMAND:
        return OnCommand(window, state, LOWORD(wParam));
    case WM_SIZE:
        OnSize(window, state, LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    case WM_GETMINMAXINFO:
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {state->smallest.cx, state->smallest.cy};
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

bool ShowListWindow(HINSTANCE instance, HWND owner, BatchPlan* plan)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    // Large (a path's buffer), so never on the stack.
    ListWindow* state = static_cast<ListWindow*>(calloc(1, sizeof(ListWindow)));
    if (state == nullptr) {
        FreePlan(plan);
        return false;
    }
    state->plan = plan;
    state->phase = LIST_READING;
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_LIST), owner, ListWindowProc, reinterpret_cast<LPARAM>(state));
    const bool ran = state->ran;
    FreeShownRows(&state->shown);
    FreePlan(plan);
    free(state);
    return ran;
}
