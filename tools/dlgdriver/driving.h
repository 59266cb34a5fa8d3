/* The program under test's dialogs, and the actions that drive them. */
#pragma once

#include <windows.h>

/* Waits for the next dialog other than `last` to show and answer; when the
 * program ends instead, prints the exit line and ends the run. */
HWND next_window(HWND last);

/* Posts a key press and release to the dialog's focused control. */
void post_key(HWND dlg, WPARAM vk);

/* Clicks (or double-clicks) item n of the dialog's list; 0 if there is no
 * such item. */
int click_item(HWND dlg, int n, int dbl);

/* Says whether the dialog is still shown, and returns it. */
int still_open(HWND dlg);
