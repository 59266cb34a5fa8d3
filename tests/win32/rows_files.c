/* The file rows: what a file held open without sharing, or marked
 * read-only, does to the calls the installer and kapdeploy make on it. */
#include "rows.h"

#include <stdio.h>
#include <string.h>

void join(char *out, const char *dir, const char *name) {
    snprintf(out, MAX_PATH, "%s\\%s", dir, name);
}

int put(const char *path, const char *text) {
    HANDLE h =
        CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD wrote = 0;
    int ok = h != INVALID_HANDLE_VALUE && WriteFile(h, text, (DWORD)strlen(text), &wrote, NULL);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    return ok;
}

/* The file's text, "(none)" if it cannot be opened. */
void content(const char *path, char *out, DWORD cap) {
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, 0, NULL);
    DWORD got = 0;
    if (h == INVALID_HANDLE_VALUE) {
        snprintf(out, cap, "(none)");
        return;
    }
    if (!ReadFile(h, out, cap - 1, &got, NULL))
        got = 0;
    out[got] = 0;
    CloseHandle(h);
}

/* Opened for reading and writing with no sharing, as a program using the
 * file keeps it. */
HANDLE hold(const char *path) {
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, NULL);
}

/* Source "new", target "old": the copy and move rows' start. */
static void two_files(const char *dir, char *source, char *target) {
    join(source, dir, "x.kapnew");
    join(target, dir, "x.hdi");
    put(source, "new");
    put(target, "old");
}

void delete_open_of_held(const char *dir, Outcome *out) {
    char path[MAX_PATH];
    join(path, dir, "x.hdi");
    put(path, "old");
    HANDLE held = hold(path);
    SetLastError(0xdeadbeef);
    HANDLE h = CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           NULL, OPEN_EXISTING, 0, NULL);
    out->result = h != INVALID_HANDLE_VALUE;
    out->error = GetLastError();
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    CloseHandle(held);
}

void delete_file_of_held(const char *dir, Outcome *out) {
    char path[MAX_PATH];
    join(path, dir, "x.hdi");
    put(path, "old");
    HANDLE held = hold(path);
    SetLastError(0xdeadbeef);
    out->result = DeleteFileA(path);
    out->error = GetLastError();
    CloseHandle(held);
    content(path, out->left, sizeof out->left);
}

/* Copies or moves a second file onto the first, which is held without
 * sharing or made read-only; what the target then holds is kept. */
static void onto_target(const char *dir, int move, int held_target, Outcome *out) {
    char source[MAX_PATH], target[MAX_PATH];
    two_files(dir, source, target);
    HANDLE held = held_target ? hold(target) : INVALID_HANDLE_VALUE;
    if (!held_target)
        SetFileAttributesA(target, FILE_ATTRIBUTE_READONLY);
    SetLastError(0xdeadbeef);
    out->result = move ? MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING)
                       : CopyFileA(source, target, FALSE);
    out->error = GetLastError();
    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);
    content(target, out->left, sizeof out->left);
}

void copy_onto_held(const char *dir, Outcome *out) {
    onto_target(dir, 0, 1, out);
}

void copy_onto_read_only(const char *dir, Outcome *out) {
    onto_target(dir, 0, 0, out);
}

void move_onto_held(const char *dir, Outcome *out) {
    onto_target(dir, 1, 1, out);
}

void move_onto_read_only(const char *dir, Outcome *out) {
    onto_target(dir, 1, 0, out);
}

static void flush_with(const char *dir, DWORD access, Outcome *out) {
    char path[MAX_PATH];
    join(path, dir, "kapdeploy.journal");
    put(path, "journal");
    HANDLE h =
        CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    SetLastError(0xdeadbeef);
    out->result = FlushFileBuffers(h);
    out->error = GetLastError();
    CloseHandle(h);
}

void flush_read_only_handle(const char *dir, Outcome *out) {
    flush_with(dir, GENERIC_READ, out);
}

void flush_write_handle(const char *dir, Outcome *out) {
    flush_with(dir, GENERIC_READ | GENERIC_WRITE, out);
}
