// Resource ids, shared by the resource script and the code. Plain #defines
// only: windres reads this file too.
#pragma once

// Dialogs: the settings, and the list a batch shows before it renames.
#define IDD_SETTINGS 101
#define IDD_LIST     102

// Icons
#define IDI_MAIN 103

// Bitmaps
#define IDB_BANNER 105

// Controls without an id of their own.
#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif
#define IDC_BANNER -1

// Option buttons: bits 0-2 of the settings word are 1000-1002 and bits 3-11
// are 1004-1012 (id = 1001 + bit); there is no 1003.
#define IDC_SPACES          1000
#define IDC_DIGITS          1001
#define IDC_LETTERS         1002
#define IDC_DIGITS_TO_FULL  1004
#define IDC_DIGITS_TO_HALF  1005
#define IDC_WIDTH_KEEP      1006
#define IDC_LETTERS_TO_FULL 1007
#define IDC_LETTERS_TO_HALF 1008
#define IDC_CASE_KEEP       1009
#define IDC_CASE_UPPER      1010
#define IDC_CASE_LOWER      1011
#define IDC_CASE_CAPITALIZE 1012
// Bits 12-17 cannot follow that rule (1013 is OK): 1030-1035.
#define IDC_KANA            1030
#define IDC_KANA_TO_FULL    1031
#define IDC_KANA_TO_HALF    1032
#define IDC_JOIN_MARKS      1033
#define IDC_FOLDER_CONTENTS 1034
#define IDC_CONFIRM         1035

// Push buttons. OK and CANCEL are not the system's IDOK and IDCANCEL.
#define IDC_OK              1013
#define IDC_CANCEL          1014
#define IDC_INFO            1018

// The preview: the sample after and before conversion, and the katakana
// sample likewise.
#define IDC_PREVIEW_AFTER   1021
#define IDC_PREVIEW_BEFORE  1022
#define IDC_KANA_BEFORE     1023
#define IDC_KANA_AFTER      1024

// The latest batch: undo it, and what it did.
#define IDC_UNDO            1040
#define IDC_HISTORY         1041

// Adds the program to Explorer's Send To menu, or takes it out.
#define IDC_SENDTO          1042

// The list window: the rows, the filter, the counts, the copy. Its other
// buttons are the system's IDOK (変換する) and IDCANCEL.
#define IDC_LIST              1050
#define IDC_LIST_CHANGED_ONLY 1051
#define IDC_LIST_SUMMARY      1052
#define IDC_LIST_COPY         1053
