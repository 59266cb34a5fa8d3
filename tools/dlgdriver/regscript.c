/* The registry script applied before the program starts: keys and values
 * under HKLM's 32-bit view, and files held open as another program would. */
#include "regscript.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "hold_file.h"

static int hexval(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

/* Decodes %HH and %% in place; returns the length or -1 if malformed. */
static int unescape(char *s) {
    char *w = s;
    for (char *r = s; *r; r++) {
        if (*r != '%') {
            *w++ = *r;
            continue;
        }
        if (r[1] == '%') {
            *w++ = '%';
            r++;
            continue;
        }
        int hi = hexval(r[1]), lo = hi < 0 ? -1 : hexval(r[2]);
        if (lo < 0)
            return -1;
        *w++ = (char)(hi * 16 + lo);
        r += 2;
    }
    return (int)(w - s);
}

/* Splits at most max-1 TABs so the last field keeps any TABs of its own. */
static int split(char *line, char **f, int max) {
    int n = 0;
    f[n++] = line;
    while (n < max) {
        char *t = strchr(f[n - 1], '\t');
        if (!t)
            break;
        *t = 0;
        f[n++] = t + 1;
    }
    return n;
}

static const REGSAM VIEW = KEY_WOW64_32KEY;

static int reg_line(char *line) {
    char *f[5] = {0};
    int n = split(line, f, 5);
    HKEY k;
    LONG r;
    if (!strcmp(f[0], "del") && n == 2) {
        r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, f[1], 0, KEY_ALL_ACCESS | VIEW, &k);
        if (r == ERROR_FILE_NOT_FOUND)
            return 1;
        if (r != ERROR_SUCCESS)
            return 0;
        r = RegDeleteTreeA(k, NULL); /* subkeys and values, not the key */
        RegCloseKey(k);
        if (r != ERROR_SUCCESS)
            return 0;
        return RegDeleteKeyExA(HKEY_LOCAL_MACHINE, f[1], VIEW, 0) == ERROR_SUCCESS;
    }
    if (!strcmp(f[0], "delval") && n == 3) {
        r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, f[1], 0, KEY_SET_VALUE | VIEW, &k);
        if (r == ERROR_FILE_NOT_FOUND)
            return 1;
        if (r != ERROR_SUCCESS)
            return 0;
        r = RegDeleteValueA(k, f[2]);
        RegCloseKey(k);
        return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
    }
    if (!strcmp(f[0], "hold") && n == 2) {
        /* Stands for another program using the file; closed when we exit. */
        return hold_file(f[1], OPEN_ALWAYS) != INVALID_HANDLE_VALUE;
    }
    if (!strcmp(f[0], "key") && n == 2) {
        r = RegCreateKeyExA(HKEY_LOCAL_MACHINE, f[1], 0, NULL, 0, KEY_ALL_ACCESS | VIEW, NULL, &k,
                            NULL);
        if (r != ERROR_SUCCESS)
            return 0;
        RegCloseKey(k);
        return 1;
    }
    if (!strcmp(f[0], "val") && n == 5) {
        DWORD type;
        int len;
        if (!strcmp(f[3], "sz")) {
            type = REG_SZ;
            len = (int)strlen(f[4]) + 1;
        } else {
            char *end;
            if (!*f[3] || strspn(f[3], "0123456789") != strlen(f[3]))
                return 0;
            type = strtoul(f[3], &end, 10);
            len = unescape(f[4]);
            if (len < 0)
                return 0;
        }
        r = RegCreateKeyExA(HKEY_LOCAL_MACHINE, f[1], 0, NULL, 0, KEY_ALL_ACCESS | VIEW, NULL, &k,
                            NULL);
        if (r != ERROR_SUCCESS)
            return 0;
        r = RegSetValueExA(k, f[2], 0, type, (const BYTE *)f[4], (DWORD)len);
        RegCloseKey(k);
        return r == ERROR_SUCCESS;
    }
    return 0;
}

/* Returns 0 on success, else the number of the failing line (-1 if the
 * file cannot be read). */
int apply_script(const char *path) {
    FILE *fp = fopen(path, "rb");
    if (!fp)
        return -1;
    fseek(fp, 0, SEEK_END);
    long size = ftell(fp);
    fseek(fp, 0, SEEK_SET);
    char *text = malloc(size + 1);
    size_t got = fread(text, 1, size, fp);
    fclose(fp);
    text[got] = 0;
    int lineno = 0, bad = 0;
    for (char *line = text; line && !bad;) {
        char *nl = strchr(line, '\n');
        if (nl)
            *nl = 0;
        lineno++;
        size_t len = strlen(line);
        if (len && line[len - 1] == '\r')
            line[--len] = 0;
        if (len && line[0] != '#' && !reg_line(line))
            bad = lineno;
        line = nl ? nl + 1 : NULL;
    }
    free(text);
    return bad;
}
