/* durable_copy: the least that a durable copy of many files costs, the
 * anchor bench/deploy.py times kapdeploy against. Each source is read and
 * written to its target through one handle, which is flushed once
 * (FlushFileBuffers) before it is closed; nothing is checked first, kept
 * for an undo or journalled.
 *
 * Usage: durable_copy.exe LIST
 *   LIST   a text file, one copy a line: the source, a tab, the target.
 * Exit code: 0 when every copy is on the disk; 1, with the first failure on
 * standard error, otherwise. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

/* The benchmark's files are small; one read takes most of them whole. */
static char buffer[64 * 1024];

/* The error of the first call that failed, 0 when all was written and
 * flushed. */
static DWORD write_flushed(HANDLE in, HANDLE out) {
    for (;;) {
        DWORD got = 0, put = 0;
        if (!ReadFile(in, buffer, sizeof buffer, &got, NULL))
            return GetLastError();
        if (got == 0)
            return FlushFileBuffers(out) ? 0 : GetLastError();
        if (!WriteFile(out, buffer, got, &put, NULL))
            return GetLastError();
        if (put != got)
            return ERROR_WRITE_FAULT;
    }
}

static DWORD copy_flushed(const char *source, const char *target) {
    HANDLE in = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (in == INVALID_HANDLE_VALUE)
        return GetLastError();
    HANDLE out = CreateFileA(target, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD error = out == INVALID_HANDLE_VALUE ? GetLastError() : write_flushed(in, out);
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    CloseHandle(in);
    return error;
}

int main(int argc, char **argv) {
    FILE *list = argc == 2 ? fopen(argv[1], "r") : NULL;
    if (!list) {
        fprintf(stderr, "usage: durable_copy LIST (one \"source<tab>target\" a line)\n");
        return 1;
    }
    char line[2 * MAX_PATH + 2];
    int failed = 0;
    while (!failed && fgets(line, sizeof line, list)) {
        line[strcspn(line, "\r\n")] = 0;
        char *tab = strchr(line, '\t');
        DWORD error = ERROR_BAD_FORMAT;
        if (tab) {
            *tab = 0;
            error = copy_flushed(line, tab + 1);
        }
        if (error) {
            fprintf(stderr, "durable_copy: %s to %s: error %lu\n", line, tab ? tab + 1 : "?",
                    error);
            failed = 1;
        }
    }
    fclose(list);
    return failed;
}
