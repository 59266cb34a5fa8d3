/* The lookup rows: which names a wildcard, the search path and a registry
 * enumeration give, and what they leave in the caller's buffers. */
#include "rows.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#define KEY "Software\\KapConformance"
#define LOCATION "K:\\ACAD2004"

static void find(const char *dir, const char *file, Outcome *out) {
    char path[MAX_PATH], pattern[MAX_PATH];
    join(path, dir, file);
    put(path, "driver");
    join(pattern, dir, "*.hdi");
    WIN32_FIND_DATAA found;
    SetLastError(0xdeadbeef);
    HANDLE h = FindFirstFileA(pattern, &found);
    out->result = h != INVALID_HANDLE_VALUE;
    out->error = GetLastError();
    if (h != INVALID_HANDLE_VALUE) {
        snprintf(out->left, sizeof out->left, "%s", found.cFileName);
        FindClose(h);
    }
}

/* 8.3 name Y~XXXX.HDI (Windows: Y~1.HDI), which *.hdi matches. */
void find_by_short_name(const char *dir, Outcome *out) {
    find(dir, "y.hdi_old", out);
}

/* Its own 8.3 name, Y.HD: no match. */
void find_without_match(const char *dir, Outcome *out) {
    find(dir, "y.hd", out);
}

/* The result is 1 when the count returned is the length of the path
 * written; left is that path, the row's folder written as DIR, or only the
 * file's name (lower case) when it was found elsewhere. */
static void search(const char *dir, const char *where, const char *name, Outcome *out) {
    char found[MAX_PATH] = "";
    char *file = NULL;
    SetLastError(0xdeadbeef);
    DWORD n = SearchPathA(where, name, NULL, MAX_PATH, found, &file);
    out->error = GetLastError();
    out->result = n != 0 && n == strlen(found);
    size_t d = strlen(dir);
    if (n == 0)
        return;
    if (strncmp(found, dir, d) == 0 && found[d] == '\\') {
        snprintf(out->left, sizeof out->left, "DIR%s", found + d);
        return;
    }
    snprintf(out->left, sizeof out->left, "%s", file ? file : found);
    for (char *p = out->left; *p; p++)
        *p = (char)tolower((unsigned char)*p);
}

void search_one_folder_finds(const char *dir, Outcome *out) {
    char path[MAX_PATH];
    join(path, dir, "hcreg8.dll");
    put(path, "library");
    search(dir, dir, "hcreg8.dll", out);
}

/* kernel32.dll is in the system folder, not in ours. */
void search_one_folder_only(const char *dir, Outcome *out) {
    search(dir, dir, "kernel32.dll", out);
}

void search_empty_path(const char *dir, Outcome *out) {
    search(dir, "", "kernel32.dll", out);
}

void search_null_path(const char *dir, Outcome *out) {
    search(dir, NULL, "kernel32.dll", out);
}

/* n bytes as text, '.' for each byte that is not printable (a NUL among them). */
static void printable(char *out, const char *in, DWORD n) {
    for (DWORD i = 0; i < n; i++)
        out[i] = (char)(isprint((unsigned char)in[i]) ? in[i] : '.');
    out[n] = 0;
}

/* Enumerates the key's one value "Location" (LOCATION) into buffers of
 * the given sizes, filled with 'x' first; left tells what the call left:
 * the whole name buffer and the size it gives back, the type, the whole
 * data buffer and its size. */
static void enum_value(DWORD name_cap, DWORD data_cap, Outcome *out) {
    HKEY key;
    LONG made =
        RegCreateKeyExA(HKEY_CURRENT_USER, KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
    if (made != ERROR_SUCCESS) {
        out->result = (DWORD)made;
        snprintf(out->left, sizeof out->left, "the key could not be made");
        return;
    }
    RegSetValueExA(key, "Location", 0, REG_SZ, (const BYTE *)LOCATION, sizeof LOCATION);
    char name[16], data[16], name_text[17], data_text[17];
    memset(name, 'x', sizeof name);
    memset(data, 'x', sizeof data);
    DWORD name_len = name_cap, data_len = data_cap, type = 1234;
    SetLastError(0xdeadbeef);
    LONG rc = RegEnumValueA(key, 0, name, &name_len, NULL, &type, (BYTE *)data, &data_len);
    out->result = (DWORD)rc;
    out->error = GetLastError();
    printable(name_text, name, name_cap);
    printable(data_text, data, data_cap);
    snprintf(out->left, sizeof out->left, "name %s %lu type %lu data %s %lu", name_text, name_len,
             type, data_text, data_len);
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_CURRENT_USER, KEY);
}

void enum_value_small_data(const char *dir, Outcome *out) {
    (void)dir;
    enum_value(16, 4, out);
}

void enum_value_small_name(const char *dir, Outcome *out) {
    (void)dir;
    enum_value(4, 16, out);
}
