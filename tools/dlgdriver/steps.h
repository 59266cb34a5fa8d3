/* The program under test, and the steps that act on it under one time-out. */
#pragma once

#include <windows.h>

extern HANDLE g_proc; /* the program under test */
extern DWORD g_pid;
extern int g_timing; /* 1 until the first dialog has been timed */
extern DWORD g_poll_ms;
extern LARGE_INTEGER g_started; /* when the program was started */
extern DWORD g_step_ms;         /* each step's time-out */

/* Whether the window is of the class, compared without regard to case. */
int has_class(HWND h, const char *cls);

/* Ends the program under test and says so in the transcript. */
void kill_child(void);

/* A step: one action and its effect, under one time-out. */
void step_begin(const char *what, const char *action);
/* The step's time left, in milliseconds; 0 once it is up. */
DWORD step_left(void);
/* Ends the run once the step's time is up, saying what it saw instead of
 * what it waited for; seen is a format with at most one window's caption. */
void step_check(const char *seen, HWND named);
/* Waits one poll interval, or less when something happens. */
void step_pause(void);
