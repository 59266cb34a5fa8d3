/* Reading the program's dialogs and message boxes into the transcript. */
#pragma once

#include <windows.h>

/* The dialog's list (product or language; *kind says which when kind is
 * given), or NULL. */
HWND list_of(HWND dlg, const char **kind);

/* Item i's text in the ANSI code page; the caller frees it. */
char *item_text(HWND lb, int i);

/* Writes the dialog or message box to the transcript. */
void describe(HWND dlg);
