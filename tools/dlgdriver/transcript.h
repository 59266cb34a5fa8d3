/* The transcript on standard output. */
#pragma once

/* Writes s and flushes it. */
void out(const char *s);

/* Writes s into buf as a quoted, escaped string and returns the end; buf
 * must hold 4 bytes per byte of s, plus 3. */
char *quote(char *buf, const char *s);

/* Prints "<head> \"s\"<tail>\n", s quoted. */
void out_q(const char *head, const char *s, const char *tail);
