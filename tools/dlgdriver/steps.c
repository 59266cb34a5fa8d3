/* The program under test and the steps that act on it: each step's
 * time-out, its waiting and its report when the time is up. */
#include "steps.h"

#include <stdio.h>
#include <stdlib.h>

#include "transcript.h"

HANDLE g_proc;
DWORD g_pid;
int g_timing;
DWORD g_poll_ms = 10;
LARGE_INTEGER g_started;
DWORD g_step_ms = 120000;

int has_class(HWND h, const char *cls) {
    char buf[64];
    return GetClassNameA(h, buf, sizeof buf) && !lstrcmpiA(buf, cls);
}

void kill_child(void) {
    TerminateProcess(g_proc, 1);
    WaitForSingleObject(g_proc, 5000);
    out("exit killed\n");
}

static char g_step[128]; /* what the step is, for the time-out report */
static DWORD g_step_began;

void step_begin(const char *what, const char *action) {
    snprintf(g_step, sizeof g_step, "%s%s", what, action);
    g_step_began = GetTickCount();
}

DWORD step_left(void) {
    DWORD spent = GetTickCount() - g_step_began;
    return spent < g_step_ms ? g_step_ms - spent : 0;
}

/* Ends the run once the step's time is up, saying what it saw instead of
 * what it waited for; seen is a format with at most one window's caption. */
void step_check(const char *seen, HWND named) {
    if (step_left())
        return;
    char caption[256] = "", quoted[4 * sizeof caption + 3];
    if (named)
        GetWindowTextA(named, caption, sizeof caption);
    quote(quoted, caption);
    printf("timeout %s: ", g_step);
    if (named)
        printf(seen, quoted);
    else
        fputs(seen, stdout);
    printf("\n");
    fflush(stdout);
    TerminateProcess(g_proc, 1);
    exit(3);
}

/* Waits one poll interval, or less when the program ends or a reply to a
 * message sent with a callback arrives (it comes through our own queue). */
void step_pause(void) {
    MSG m;
    MsgWaitForMultipleObjects(1, &g_proc, FALSE, g_poll_ms, QS_ALLINPUT);
    while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE))
        DispatchMessageA(&m);
}
