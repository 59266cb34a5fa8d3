/* conformance: the Windows behaviour that the installer and kapdeploy bet
 * on, one table row per behaviour, in the manner of Wine's own conformance
 * tests: the error code set to 0xdeadbeef, the call, the exact result and
 * code pinned. The same program runs under Wine in the checks and by hand
 * on a Windows PC; a row that fails on one of them is a difference between
 * the two that our tests under Wine cannot see.
 *
 * Usage: conformance.exe user|admin|root [folder]
 *   user   an ordinary account: a Windows user, or Wine run by a Unix user
 *          other than root
 *   admin  an elevated Windows administrator (on Windows only)
 *   root   Wine run by Unix root (under Wine only)
 *   folder where the rows make their files (default: %TEMP%\kapconf); it
 *          is made if missing and left empty.
 * (conformance.exe running EVENT is the running program of the rows that
 * need one, started by them: it sets EVENT and waits.)
 * Prints one line per row; exit code: the number of rows that failed, 100
 * for a wrong command line or a folder that cannot be made. */
#include "rows.h"

#include <stdio.h>
#include <string.h>

/* Where a row holds: the platform and the account it runs as. Wine cannot
 * tell its accounts apart (each is an administrator to it) and Windows has
 * no root, so the command line names the account. */
enum {
    WINE_USER = 1, /* Wine run by a Unix user other than root */
    WINE_ROOT = 2, /* Wine run by Unix root, which writes read-only files */
    WIN_USER = 4,  /* an ordinary Windows account */
    WIN_ADMIN = 8, /* an elevated Windows administrator */
    USER = WINE_USER | WIN_USER,
    WINE = WINE_USER | WINE_ROOT,
    WINDOWS = WIN_USER | WIN_ADMIN,
    ANY = WINE | WINDOWS
};

/* The error code of a call that succeeded is no part of what we bet on. */
#define NOT_READ 0xffffffffu

typedef struct {
    const char *name;
    int where; /* the platforms and accounts the row holds for */
    RowCall call;
    DWORD result;
    DWORD error;      /* NOT_READ: not compared */
    const char *left; /* NULL: not compared */
} Row;

static const Row ROWS[] = {
    {"DELETE open of a file held without sharing", ANY, delete_open_of_held, 0,
     ERROR_SHARING_VIOLATION, NULL},
    {"DeleteFileA of a file held without sharing", ANY, delete_file_of_held, 0,
     ERROR_SHARING_VIOLATION, "old"},
    {"CopyFileA onto a file held without sharing", ANY, copy_onto_held, 0, ERROR_SHARING_VIOLATION,
     "old"},
    {"CopyFileA onto a read-only file, ordinary user", USER, copy_onto_read_only, 0,
     ERROR_ACCESS_DENIED, "old"},
    {"CopyFileA onto a read-only file, Windows administrator", WIN_ADMIN, copy_onto_read_only, 0,
     ERROR_ACCESS_DENIED, "old"},
    {"CopyFileA onto a read-only file, Wine as root: overwritten", WINE_ROOT, copy_onto_read_only,
     1, NOT_READ, "new"},
    {"MoveFileExA onto a file held without sharing", ANY, move_onto_held, 0, ERROR_ACCESS_DENIED,
     "old"},
    {"MoveFileExA onto a read-only file, Windows", WINDOWS, move_onto_read_only, 0,
     ERROR_ACCESS_DENIED, "old"},
    {"MoveFileExA onto a read-only file, Wine: replaced", WINE, move_onto_read_only, 1, NOT_READ,
     "new"},
    {"DeleteFileA of a running program's .exe", ANY, delete_running_exe, 0, ERROR_ACCESS_DENIED,
     "kapdeploy.exe"},
    /* The renamed file stays the running image: it cannot be deleted either. */
    {"MoveFileExA of a running program's .exe to .kapold", ANY, rename_running_exe, 1, NOT_READ,
     "kapdeploy.kapold; its DeleteFileA: 0 error 5"},
    {"FlushFileBuffers on a read-only handle", ANY, flush_read_only_handle, 0, ERROR_ACCESS_DENIED,
     NULL},
    {"FlushFileBuffers on a handle open for writing", ANY, flush_write_handle, 1, NOT_READ, NULL},
    {"FindFirstFileA *.hdi matches y.hdi_old by its short name", ANY, find_by_short_name, 1,
     NOT_READ, "y.hdi_old"},
    {"FindFirstFileA *.hdi does not match y.hd", ANY, find_without_match, 0, ERROR_FILE_NOT_FOUND,
     ""},
    {"SearchPathA with one folder finds the file there", ANY, search_one_folder_finds, 1, NOT_READ,
     "DIR\\hcreg8.dll"},
    {"SearchPathA with one folder searches nothing else", ANY, search_one_folder_only, 0,
     ERROR_FILE_NOT_FOUND, ""},
    {"SearchPathA with \"\" searches the default path", ANY, search_empty_path, 1, NOT_READ,
     "kernel32.dll"},
    {"SearchPathA with NULL searches the default path", ANY, search_null_path, 1, NOT_READ,
     "kernel32.dll"},
    /* What the buffers hold after ERROR_MORE_DATA differs between Windows
     * versions; the installer reads neither beyond its terminated name. */
    {"RegEnumValueA with too small a data buffer", ANY, enum_value_small_data, ERROR_MORE_DATA,
     NOT_READ, "name xxxxxxxxxxxxxxxx 16 type 1 data xxxx 12"},
    {"RegEnumValueA with too small a name buffer", ANY, enum_value_small_name, ERROR_MORE_DATA,
     NOT_READ, "name Loc. 4 type 1 data K:\\ACAD2004.xxxx 12"},
};

/* Empties the folder (read-only files too) and removes it. */
static void remove_folder(const char *dir) {
    char pattern[MAX_PATH];
    join(pattern, dir, "*");
    WIN32_FIND_DATAA f;
    HANDLE h = FindFirstFileA(pattern, &f);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (strcmp(f.cFileName, ".") == 0 || strcmp(f.cFileName, "..") == 0)
                continue;
            char path[MAX_PATH];
            join(path, dir, f.cFileName);
            SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path);
        } while (FindNextFileA(h, &f));
        FindClose(h);
    }
    RemoveDirectoryA(dir);
}

static int as_expected(const Row *row, const Outcome *got) {
    return got->result == row->result && (row->error == NOT_READ || got->error == row->error) &&
           (!row->left || strcmp(got->left, row->left) == 0);
}

/* Runs the row in a folder of its own; prints it, and 1 if it failed. */
static int run_row(const Row *row, const char *top, int index) {
    char dir[MAX_PATH], name[16];
    snprintf(name, sizeof name, "row%d", index);
    join(dir, top, name);
    remove_folder(dir);
    CreateDirectoryA(dir, NULL);
    Outcome got;
    memset(&got, 0, sizeof got);
    row->call(dir, &got);
    remove_folder(dir);
    if (as_expected(row, &got)) {
        printf("ok   %s\n", row->name);
        return 0;
    }
    printf("FAIL %s: result %lu error %lu left \"%s\"; expected result %lu", row->name, got.result,
           got.error, got.left, row->result);
    if (row->error != NOT_READ)
        printf(" error %lu", row->error);
    if (row->left)
        printf(" left \"%s\"", row->left);
    printf("\n");
    return 1;
}

static int on_wine(void) {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

/* The platform and account of this run, 0 for a wrong name. */
static int context(const char *account) {
    int wine = on_wine();
    if (strcmp(account, "user") == 0)
        return wine ? WINE_USER : WIN_USER;
    if (strcmp(account, "root") == 0 && wine)
        return WINE_ROOT;
    if (strcmp(account, "admin") == 0 && !wine)
        return WIN_ADMIN;
    return 0;
}

int main(int argc, char **argv) {
    if (argc == 3 && strcmp(argv[1], "running") == 0)
        return run_as_running_copy(argv[2]);
    int here = argc >= 2 && argc <= 3 ? context(argv[1]) : 0;
    if (!here) {
        fprintf(stderr, "usage: conformance user|admin|root [folder]\n"
                        "(admin on Windows only, root under Wine only)\n");
        return 100;
    }
    char top[MAX_PATH] = "kapconf";
    if (argc == 3)
        snprintf(top, sizeof top, "%s", argv[2]);
    else {
        DWORD n = GetTempPathA(MAX_PATH - 8, top);
        if (n > 0 && n < MAX_PATH - 8)
            strncat(top, "kapconf", 8);
    }
    if (!CreateDirectoryA(top, NULL) && GetLastError() != ERROR_ALREADY_EXISTS) {
        fprintf(stderr, "conformance: cannot make %s (error %lu)\n", top, GetLastError());
        return 100;
    }
    int rows = 0, failed = 0;
    for (size_t i = 0; i < sizeof ROWS / sizeof ROWS[0]; i++) {
        if (!(ROWS[i].where & here))
            continue;
        rows++;
        failed += run_row(&ROWS[i], top, (int)i);
    }
    printf("%d of %d rows as expected (%s, %s)\n", rows - failed, rows,
           on_wine() ? "Wine" : "Windows", argv[1]);
    return failed;
}
