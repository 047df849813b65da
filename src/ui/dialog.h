// The settings dialog (dialog mode).
#pragma once

#include <windows.h>

INT_PTR CALLBACK SettingsDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
