// The kit's languages, one table: read by the language dialog and by the
// programs that tell what the installer would offer.
#pragma once

#include "../control/records.h"

enum { LANGUAGE_COUNT = 12 };

// The kit's language folders, in the kit's order: a language is its index.
extern const char *const language_folder_table[LANGUAGE_COUNT];

// The language whose folder is named, without regard to ASCII case; -1 for
// none.
int language_named(const char *folder);

// Whether the installer offers the language for the release.
bool language_offered(int language, HostRelease release);

// The dialog's texts: first the languages that only 2004 and later releases
// offer, then the others, each part in the kit's order. Filled once during
// static initialisation.
extern const char *language_display_list[LANGUAGE_COUNT];

// Index of the first display entry offered for the release.
int first_offered_language(HostRelease release);

// The kit folder for a text shown in the dialog (the text itself when no
// language shows it).
const char *language_folder_for_text(const char *shown_text);
