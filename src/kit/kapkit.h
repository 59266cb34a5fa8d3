// The kapkit command: kapkit check KIT_FOLDER [--json].
#pragma once

#include <stdio.h>

enum { KAPKIT_CLEAN = 0, KAPKIT_ERRORS = 1, KAPKIT_UNREADABLE = 2 };

// Runs one command; returns the exit status. The report goes to out,
// messages and progress to err.
int kapkit_main(int argc, char **argv, FILE *out, FILE *err);
