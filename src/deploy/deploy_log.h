// kapdeploy's report: one line per product on standard output and, when
// --log names a file, the same lines and the details a ticket needs there.
#pragma once

#include <stddef.h>

#include "../control/platform.h"
#include "../control/system_error.h"
#include "../control/text.h"

// The longest line of the report.
enum { LINE_MOST = 2 * REASON_SIZE };

// detect keeps its standard output for its verdict: its lines go to the log
// only.
void report_on_stdout(bool on);

// A line on standard output, in one write.
void print_line(const char *line);

// Opens the log for appending, its folders made first, and writes who runs
// what where and the log's own full path. ERROR_SUCCESS, or why it cannot
// be opened.
DWORD log_open(const char *path);

// A line for the log only.
void log_note(const char *line);

// A line of the report.
void say(const char *line);

void log_close(int status);
