/* conwatch: runs a console program under Wine the way a deployment tool
 * does, and tells what Wine's own exit status cannot: the full exit code,
 * and every top-level window the program made.
 *
 * Usage: conwatch.exe <status-file> <cwd> [hold=FILE ...] [release=MS] [line=TEXT]
 *                    -- <exe> [arg ...]
 *   hold=FILE  opens FILE with no sharing first and keeps it open throughout,
 *              as a program using the file would (another process than the
 *              one under test).
 *   release=MS closes the held files MS milliseconds after the program
 *              started, as a scanner lets go of a file it has looked at,
 *              and writes "released <ms>": when that really happened.
 *   line=TEXT  ends the command line with TEXT as it stands, unquoted, as a
 *              tool's command field passes it (the program splits it).
 * The program inherits our standard handles. The status file gets one line
 * "window <class> <title>" per window seen (the program is then ended, as a
 * window would wait for a person) and last "exit <code>".
 * Exit: 0 after the status was written, 2 setup error.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "hold_file.h"

static DWORD g_pid;
static FILE *g_status;
static int g_windows;
static HANDLE g_holds[8];
static int g_hold_count;

static BOOL CALLBACK seen_cb(HWND h, LPARAM lp) {
    DWORD pid = 0;
    (void)lp;
    GetWindowThreadProcessId(h, &pid);
    if (pid != g_pid)
        return TRUE;
    char cls[128] = "", title[256] = "";
    GetClassNameA(h, cls, sizeof cls);
    GetWindowTextA(h, title, sizeof title);
    fprintf(g_status, "window %s %s\n", cls, title);
    g_windows++;
    return TRUE;
}

/* Appends arg to cmd, quoted as the C runtime splits it: backslashes are
 * doubled only before a quote or the closing quote. */
static void append_arg(char *cmd, size_t cap, const char *arg) {
    size_t n = strlen(cmd);
    if (n + 4 * strlen(arg) + 4 > cap)
        return;
    if (n)
        cmd[n++] = ' ';
    cmd[n++] = '"';
    size_t slashes = 0;
    for (const char *p = arg;; p++) {
        if (*p == '\\') {
            slashes++;
            continue;
        }
        size_t times = (*p == '"' || *p == 0) ? 2 * slashes : slashes;
        for (size_t k = 0; k < times; k++)
            cmd[n++] = '\\';
        slashes = 0;
        if (*p == 0)
            break;
        if (*p == '"')
            cmd[n++] = '\\';
        cmd[n++] = *p;
    }
    cmd[n++] = '"';
    cmd[n] = 0;
}

int main(int argc, char **argv) {
    if (argc < 5) {
        fprintf(stderr, "usage: conwatch <status-file> <cwd> [hold=FILE ...] -- <exe> [arg ...]\n");
        return 2;
    }
    int i = 3;
    const char *line = NULL;
    DWORD release_ms = INFINITE;
    for (; i < argc && strcmp(argv[i], "--") != 0; i++) {
        if (strncmp(argv[i], "line=", 5) == 0) {
            line = argv[i] + 5;
            continue;
        }
        if (strncmp(argv[i], "release=", 8) == 0) {
            release_ms = (DWORD)strtoul(argv[i] + 8, NULL, 10);
            continue;
        }
        HANDLE held = strncmp(argv[i], "hold=", 5) != 0 || g_hold_count == 8
                          ? INVALID_HANDLE_VALUE
                          : hold_file(argv[i] + 5, OPEN_EXISTING);
        if (held == INVALID_HANDLE_VALUE) {
            fprintf(stderr, "conwatch: cannot %s\n", argv[i]);
            return 2;
        }
        g_holds[g_hold_count++] = held;
    }
    if (i + 1 >= argc)
        return 2;
    static char cmd[32768];
    for (int a = i + 1; a < argc; a++)
        append_arg(cmd, sizeof cmd, argv[a]);
    if (line) {
        size_t n = strlen(cmd);
        snprintf(cmd + n, sizeof cmd - n, " %s", line);
    }
    g_status = fopen(argv[1], "w");
    if (!g_status)
        return 2;
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(argv[i + 1], cmd, NULL, NULL, TRUE, 0, NULL, argv[2], &si, &pi)) {
        fprintf(g_status, "start-error %lu\n", GetLastError());
        fclose(g_status);
        return 2;
    }
    CloseHandle(pi.hThread);
    g_pid = pi.dwProcessId;
    /* Polls often: a window shown and taken down quickly is seen too. */
    DWORD started = GetTickCount();
    while (WaitForSingleObject(pi.hProcess, 2) == WAIT_TIMEOUT) {
        if (g_hold_count > 0 && GetTickCount() - started >= release_ms) {
            while (g_hold_count > 0)
                CloseHandle(g_holds[--g_hold_count]);
            fprintf(g_status, "released %lu\n", GetTickCount() - started);
        }
        EnumWindows(seen_cb, 0);
        if (g_windows)
            TerminateProcess(pi.hProcess, 1);
    }
    EnumWindows(seen_cb, 0);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    fprintf(g_status, "exit %lu\n", code);
    fclose(g_status);
    return 0;
}
