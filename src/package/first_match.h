// The kit search shared by the installer and kapdeploy.
#pragma once

#include "../control/platform.h"

// The first entry of folder (nullptr: the current folder) whose long name
// really matches pattern: FindFirstFileA also matches 8.3 short names, so
// "*.hdi" finds "y.hdi_old". False when none does or a path does not fit.
bool find_first_match(const char *folder, const char *pattern, char name[MAX_PATH]);
