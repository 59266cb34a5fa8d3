/* dlgdriver: drives a Win32 program's dialogs and message boxes from a
 * script of actions and writes what it saw, so installer tests under Wine
 * can check every dialog a person would meet.
 *
 * Built by make dlgdriver. This file reads the command line and runs the
 * actions (actions.c parses them); regscript.c applies the registry script,
 * driving.c finds and drives the windows, reading.c writes them to the
 * transcript (transcript.c), capture.c reads the screen.
 *
 * Usage: dlgdriver.exe <regscript|-> <cwd> <exe> [action ...]
 *   regscript: TAB-separated lines applied under HKLM (32-bit view) first:
 *     del PATH | delval PATH NAME | key PATH | val PATH NAME sz TEXT |
 *     val PATH NAME TYPE BYTES   (TYPE decimal, BYTES with %HH and %%)
 *     hold FILE   (opens FILE with no sharing and keeps it open throughout)
 *   actions: ok cancel enter esc close select:N dblclick:N shot:PATH
 *            (N counts list items from 0)
 *   A first action "timing" prints "first-window <ms>" when the first dialog
 *   shows; "manual" alone leaves the windows to a person and waits for exit.
 * Exit: 0 after "exit <code>", 2 setup/start error, 3 timeout,
 *       4 no action left or an action impossible, 5 bad command line.
 *
 * Every action waits for its effect, never for a fixed time: messages whose
 * effect is synchronous are sent, and otherwise the expected state (the next
 * window, the program's exit, an icon on screen) is polled for. Each step has
 * one overall time-out, DLGDRIVER_STEP_TIMEOUT seconds (default 120); it only
 * runs out when something is wrong, and then "timeout <step>: <seen>" says
 * what was awaited and what was there instead.
 */
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "actions.h"
#include "capture.h"
#include "driving.h"
#include "reading.h"
#include "regscript.h"
#include "steps.h"
#include "transcript.h"

static void action_error(const char *a) {
    out_q("action-error", a, "");
    kill_child();
    exit(4);
}

int main(int argc, char **argv) {
    _setmode(_fileno(stdout), _O_BINARY); /* "\n" only, as promised */
    if (argc < 4) {
        fprintf(stderr, "usage: dlgdriver <regscript|-> <cwd> <exe> [action ...]\n");
        return 5;
    }
    int next = 4;
    int manual = argc == 5 && !strcmp(argv[4], "manual");
    char seconds[16];
    DWORD got = GetEnvironmentVariableA("DLGDRIVER_STEP_TIMEOUT", seconds, sizeof seconds);
    if (got > 0 && got < sizeof seconds && strtol(seconds, NULL, 10) > 0)
        g_step_ms = (DWORD)strtol(seconds, NULL, 10) * 1000;
    if (argc > 4 && !strcmp(argv[4], "timing")) {
        g_timing = 1;
        g_poll_ms = 2;
        next = 5;
    }
    struct action a;
    for (int i = next; i < argc && !manual; i++)
        if (!parse_action(argv[i], &a)) {
            fprintf(stderr, "dlgdriver: bad action %s\n", argv[i]);
            return 5;
        }
    if (strcmp(argv[1], "-") != 0) {
        int bad = apply_script(argv[1]);
        if (bad) {
            printf("setup-error %d\n", bad < 0 ? 0 : bad);
            return 2;
        }
    }
    /* The pointer waits in a corner no dialog covers: a real pointer move
     * that reached a list while a click was delivered would select the item
     * under the pointer instead (the centre of the screen is on the product
     * list). A person driving the dialogs keeps their pointer. */
    if (!manual)
        SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    char *cmd = malloc(strlen(argv[3]) + 3);
    sprintf(cmd, "\"%s\"", argv[3]);
    QueryPerformanceCounter(&g_started);
    BOOL started = CreateProcessA(argv[3], cmd, NULL, NULL, FALSE, 0, NULL, argv[2], &si, &pi);
    free(cmd);
    if (!started) {
        printf("start-error %lu\n", (unsigned long)GetLastError());
        return 2;
    }
    CloseHandle(pi.hThread);
    g_proc = pi.hProcess;
    g_pid = pi.dwProcessId;

    if (manual) {
        DWORD code = 0;
        WaitForSingleObject(g_proc, INFINITE);
        GetExitCodeProcess(g_proc, &code);
        printf("exit %lu\n", (unsigned long)code);
        return 0;
    }
    step_begin("waiting for the first window", "");
    HWND dlg = next_window(NULL);
    for (;;) {
        describe(dlg);
        int leave = 0; /* 1 once the action was sent that should end this one */
        while (!leave) {
            if (next >= argc) {
                out("no-action-left\n");
                kill_child();
                return 4;
            }
            parse_action(argv[next++], &a); /* checked above */
            step_begin("after ", a.text);
            switch (a.kind) {
            case ACT_OK:
            case ACT_CANCEL: {
                HWND b = GetDlgItem(dlg, a.kind == ACT_OK ? IDOK : IDCANCEL);
                if (!b || !IsWindowVisible(b) || !IsWindowEnabled(b))
                    action_error(a.text);
                PostMessageA(b, BM_CLICK, 0, 0);
                leave = 1;
                break;
            }
            case ACT_ENTER:
            case ACT_ESC:
                post_key(dlg, a.kind == ACT_ENTER ? VK_RETURN : VK_ESCAPE);
                leave = 1;
                break;
            case ACT_CLOSE:
                PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
                leave = 1;
                break;
            case ACT_SHOT:
                if (!save_bmp(a.arg, dlg))
                    action_error(a.text);
                break;
            case ACT_SELECT:
            case ACT_DBLCLICK: {
                int dbl = a.kind == ACT_DBLCLICK;
                if (!click_item(dlg, a.item, dbl))
                    action_error(a.text);
                if (dbl || !IsWindow(dlg))
                    leave = !still_open(dlg);
                break;
            }
            }
        }
        dlg = next_window(dlg);
    }
}
