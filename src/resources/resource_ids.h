// Resource and control ids, shared by the resource script and the code; plain
// macros because the resource compiler reads this file too.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_CONVERTER_DIALOG 102
#define IDD_PROGRESS 129

// Main dialog.
#define IDC_PATH 1000
#define IDC_BROWSE 1001
#define IDC_CONVERT 1002
#define IDC_EXIT 1003

// Progress window. The cancel button is deliberately not IDCANCEL, and the
// text is the unnamed static the window finds by id -1.
#define IDC_PROGRESS_CANCEL 1001
#define IDC_PROGRESS_TEXT -1

// The unnamed static of the main dialog, the label.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
