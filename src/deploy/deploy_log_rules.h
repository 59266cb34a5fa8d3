// The small rules of kapdeploy's log: the time zone on each line, and the
// folders to make before the log can be opened.
#pragma once

#include <stddef.h>

// "+01:00", "-05:30", "+00:00" for an offset east of UTC in minutes.
void utc_offset_text(char out[8], long minutes_east);

// Where each folder of a full path ends: the positions of the separators
// after the first folder below the root ("C:\", "\\server\share\"), up to
// the file's own name; at most cap of them.
int folder_ends(const char *path, size_t *ends, int cap);
