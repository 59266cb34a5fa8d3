// The report's two destinations. Each log line starts with the local time
// and its offset from UTC, so that logs of PCs in several zones compare.
#include "deploy_log.h"

#include <stdio.h>
#include <string.h>

#include "deploy_checks.h"
#include "deploy_log_rules.h"
#include "version.h"

static bool on_stdout = true;
static FILE *run_log = nullptr;

void report_on_stdout(bool on) {
    on_stdout = on;
}

// Straight to the handle: the C library sends a character device (a
// console, NUL) one character a system call.
void print_line(const char *line) {
    char whole[LINE_MOST + 3];
    DWORD len = static_cast<DWORD>(strnlen(line, LINE_MOST));
    memcpy(whole, line, len);
    memcpy(whole + len, "\r\n", 3);
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), whole, len + 2, &written, nullptr);
}

static void log_time() {
    FILETIME utc;
    FILETIME local;
    SYSTEMTIME t;
    GetSystemTimeAsFileTime(&utc);
    FileTimeToLocalFileTime(&utc, &local);
    FileTimeToSystemTime(&local, &t);
    ULARGE_INTEGER u;
    ULARGE_INTEGER l;
    u.LowPart = utc.dwLowDateTime;
    u.HighPart = utc.dwHighDateTime;
    l.LowPart = local.dwLowDateTime;
    l.HighPart = local.dwHighDateTime;
    const long long per_minute = 600000000LL; // 100 ns ticks
    char offset[8];
    utc_offset_text(offset, static_cast<long>((static_cast<long long>(l.QuadPart) -
                                               static_cast<long long>(u.QuadPart)) /
                                              per_minute));
    fprintf(run_log, "%04u-%02u-%02u %02u:%02u:%02u %s ", t.wYear, t.wMonth, t.wDay, t.wHour,
            t.wMinute, t.wSecond, offset);
}

// Makes the folders of the log's path; a folder that exists is no error.
static void make_folders(const char *path) {
    char folder[MAX_PATH];
    size_t ends[64];
    int count = folder_ends(path, ends, 64);
    for (int i = 0; i < count; ++i) {
        if (ends[i] >= MAX_PATH)
            return;
        memcpy(folder, path, ends[i]);
        folder[ends[i]] = '\0';
        CreateDirectoryA(folder, nullptr);
    }
}

DWORD log_open(const char *path) {
    // Against the current folder, and said in the log: a start-up script's
    // relative --log would otherwise be looked for in the wrong place.
    char full[MAX_PATH];
    DWORD len = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    if (len == 0)
        return GetLastError();
    if (len >= MAX_PATH)
        return ERROR_FILENAME_EXCED_RANGE;
    make_folders(full);
    run_log = fopen(full, "a");
    if (run_log == nullptr)
        return GetLastError();
    char computer[MAX_COMPUTERNAME_LENGTH + 1] = "?";
    char account[257] = "?";
    DWORD computer_len = sizeof computer;
    DWORD account_len = sizeof account;
    GetComputerNameA(computer, &computer_len);
    GetUserNameA(account, &account_len);
    log_time();
    fprintf(run_log, "kapdeploy %s on %s as %s: %s\n", KAP_VERSION_TEXT, computer, account,
            GetCommandLineA());
    log_time();
    fprintf(run_log, "log %s\n", full);
    return ERROR_SUCCESS;
}

void log_note(const char *line) {
    if (run_log == nullptr)
        return;
    log_time();
    fprintf(run_log, "%s\n", line);
}

void say(const char *line) {
    if (on_stdout)
        print_line(line);
    log_note(line);
}

void log_close(int status) {
    if (run_log == nullptr)
        return;
    char line[32];
    snprintf(line, sizeof line, "exit code %d", status);
    log_note(line);
    fclose(run_log);
    run_log = nullptr;
}
