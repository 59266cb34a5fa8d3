// The language folders of the driver kit and the texts the dialog offers.
#pragma once

#include "../control/records.h"

enum { LANGUAGE_COUNT = 12 };

// The kit's language folders, in the kit's order.
extern const char *const language_folder_table[LANGUAGE_COUNT];

// Filled once during static initialisation; its first three entries are
// offered only for 2004 and later releases.
extern const char *language_display_list[LANGUAGE_COUNT];

// Index of the first display entry offered for the release.
int first_offered_language(HostRelease release);

// The kit folder for a text shown in the dialog.
const char *language_folder_for_text(const char *shown_text);
