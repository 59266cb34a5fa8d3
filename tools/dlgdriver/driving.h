/* The program under test, its dialogs, and the steps that act on them. */
#pragma once

#include <windows.h>

extern HANDLE g_proc; /* the program under test */
extern DWORD g_pid;
extern int g_timing; /* 1 until the first dialog has been timed */
extern DWORD g_poll_ms;
extern LARGE_INTEGER g_started; /* when the program was started */
extern DWORD g_step_ms;         /* each step's time-out */

int has_class(HWND h, const char *cls);

/* Ends the program under test and says so in the transcript. */
void kill_child(void);

/* A step: one action and its effect, under one time-out. */
void step_begin(const char *what, const char *action);
/* Ends the run once the step's time is up, saying what it saw instead of
 * what it waited for; seen is a format with at most one window's caption. */
void step_check(const char *seen, HWND named);
/* Waits one poll interval, or less when something happens. */
void step_pause(void);

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
