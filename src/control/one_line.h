// A message or a system text made to fit one line of a report.
#pragma once

#include <stddef.h>

// text with each line break as a space, runs of spaces as one and no space
// at either end, cut to fit cap; out may be text itself.
void one_line(char *out, size_t cap, const char *text);
