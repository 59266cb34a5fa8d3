/* The transcript: what dlgdriver saw, one line per fact, on standard
 * output, flushed at once so that a run cut short still tells its story. */
#include "transcript.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

void out(const char *s) {
    fputs(s, stdout);
    fflush(stdout);
}

/* Appends s to buf as a quoted, escaped string; buf must be big enough
 * (4 bytes per input byte + 3). */
char *quote(char *buf, const char *s) {
    char *p = buf;
    *p++ = '"';
    for (; *s; s++) {
        unsigned char c = (unsigned char)*s;
        if (c == '\n') {
            *p++ = '\\';
            *p++ = 'n';
        } else if (c == '\r') {
            *p++ = '\\';
            *p++ = 'r';
        } else if (c == '\t') {
            *p++ = '\\';
            *p++ = 't';
        } else if (c == '\\' || c == '"') {
            *p++ = '\\';
            *p++ = (char)c;
        } else if (c < 0x20 || c >= 0x7f)
            p += sprintf(p, "\\x%02X", c);
        else
            *p++ = (char)c;
    }
    *p++ = '"';
    *p = 0;
    return p;
}

/* Prints "<head> \"s\"<tail>\n". */
void out_q(const char *head, const char *s, const char *tail) {
    size_t n = strlen(head) + strlen(s) * 4 + strlen(tail) + 8;
    char *buf = malloc(n);
    char *p = buf + sprintf(buf, "%s ", head);
    p = quote(p, s);
    sprintf(p, "%s\n", tail);
    out(buf);
    free(buf);
}
