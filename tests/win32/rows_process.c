/* The running-program rows: what the .exe file of a program that runs
 * allows, as kapdeploy's uninstall meets it when the copy of kapdeploy
 * that runs it is one of the files it removes. The running program is a
 * copy of this one, started in the row's folder and waiting there until
 * the row ends it. */
#include "rows.h"

#include <stdio.h>
#include <string.h>

#define RUNNING_EXE "kapdeploy.exe"
#define RENAMED "kapdeploy.kapold"
/* Longer than any row needs; a copy whose row never ends it (the table
 * killed) goes away by itself. */
#define RUNNING_MS 30000
#define START_MS 10000

int run_as_running_copy(const char *event) {
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, event);
    if (!ready)
        return 1;
    SetEvent(ready);
    CloseHandle(ready);
    Sleep(RUNNING_MS);
    return 0;
}

/* Copies this program to dir\RUNNING_EXE and starts it there; returns once
 * it runs (its image mapped), or 0 with the failed call's error in out. */
static int start_running_copy(const char *dir, PROCESS_INFORMATION *child, Outcome *out) {
    char self[MAX_PATH], exe[MAX_PATH], event[64], line[MAX_PATH + 80];
    join(exe, dir, RUNNING_EXE);
    snprintf(event, sizeof event, "KapConformanceRunning%lu", GetCurrentProcessId());
    snprintf(line, sizeof line, "\"%s\" running %s", exe, event);
    DWORD n = GetModuleFileNameA(NULL, self, MAX_PATH);
    HANDLE ready = CreateEventA(NULL, TRUE, FALSE, event);
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    int started = n > 0 && n < MAX_PATH && ready && CopyFileA(self, exe, FALSE) &&
                  CreateProcessA(exe, line, NULL, NULL, FALSE, 0, NULL, dir, &si, child);
    if (!started)
        snprintf(out->left, sizeof out->left, "the copy did not start (error %lu)", GetLastError());
    else if (WaitForSingleObject(ready, START_MS) != WAIT_OBJECT_0) {
        snprintf(out->left, sizeof out->left, "the copy never said it runs");
        TerminateProcess(child->hProcess, 0);
        CloseHandle(child->hThread);
        CloseHandle(child->hProcess);
        started = 0;
    }
    if (ready)
        CloseHandle(ready);
    return started;
}

/* Ends the copy, then removes its file by either name. Windows may keep an
 * ended program's image (or a scanner the new file) a moment longer, so
 * the deletion is tried for up to two seconds: the folder must end empty. */
static void end_running_copy(const char *dir, PROCESS_INFORMATION *child) {
    TerminateProcess(child->hProcess, 0);
    WaitForSingleObject(child->hProcess, START_MS);
    CloseHandle(child->hThread);
    CloseHandle(child->hProcess);
    char exe[MAX_PATH], renamed[MAX_PATH];
    join(exe, dir, RUNNING_EXE);
    join(renamed, dir, RENAMED);
    for (int tries = 0; tries < 100; tries++) {
        int gone = (DeleteFileA(exe) || GetLastError() == ERROR_FILE_NOT_FOUND) &&
                   (DeleteFileA(renamed) || GetLastError() == ERROR_FILE_NOT_FOUND);
        if (gone)
            return;
        Sleep(20);
    }
}

/* Which of the two names are there, in a fixed order. */
static void names_there(const char *dir, char *out, size_t cap) {
    const char *names[] = {RUNNING_EXE, RENAMED};
    out[0] = 0;
    for (size_t i = 0; i < sizeof names / sizeof names[0]; i++) {
        char path[MAX_PATH];
        join(path, dir, names[i]);
        if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
            snprintf(out + strlen(out), cap - strlen(out), "%s%s", out[0] ? " " : "", names[i]);
    }
}

void delete_running_exe(const char *dir, Outcome *out) {
    PROCESS_INFORMATION child;
    if (!start_running_copy(dir, &child, out))
        return;
    char exe[MAX_PATH];
    join(exe, dir, RUNNING_EXE);
    SetLastError(0xdeadbeef);
    out->result = DeleteFileA(exe);
    out->error = GetLastError();
    names_there(dir, out->left, sizeof out->left);
    end_running_copy(dir, &child);
}

/* left: the names there after the rename, then what a deletion of the
 * renamed file gives while the program still runs. */
void rename_running_exe(const char *dir, Outcome *out) {
    PROCESS_INFORMATION child;
    if (!start_running_copy(dir, &child, out))
        return;
    char exe[MAX_PATH], renamed[MAX_PATH], there[100];
    join(exe, dir, RUNNING_EXE);
    join(renamed, dir, RENAMED);
    SetLastError(0xdeadbeef);
    out->result = MoveFileExA(exe, renamed, MOVEFILE_REPLACE_EXISTING);
    out->error = GetLastError();
    names_there(dir, there, sizeof there);
    SetLastError(0xdeadbeef);
    BOOL deleted = DeleteFileA(renamed);
    snprintf(out->left, sizeof out->left, "%s; its DeleteFileA: %d error %lu", there, deleted,
             GetLastError());
    end_running_copy(dir, &child);
}
