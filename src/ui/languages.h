// The kit's languages, one table: read by the language dialog and by the
// programs that tell what the installer would offer.
#pragma once

#include "../control/records.h"
#include "../control/text.h"

enum { LANGUAGE_COUNT = 12 };

// The kit's language folders, in the kit's order: a language is its index.
extern const char *const language_folder_table[LANGUAGE_COUNT];

// Whether releases before 2004 offer the language, by the kit's order.
extern const bool offered_before_2004[LANGUAGE_COUNT];

// The two lookups the companions make are inline: the installer, which
// does not make them, stays as small as it was.

// The language whose folder is named, without regard to ASCII case; -1 for
// none.
inline int language_named(const char *folder) {
    for (int i = 0; i < LANGUAGE_COUNT; ++i) {
        if (ascii_equal_nocase(language_folder_table[i], folder))
            return i;
    }
    return -1;
}

// Whether the installer offers the language for the release.
inline bool language_offered(int language, HostRelease release) {
    return is_2004_or_later(release) || offered_before_2004[language];
}

// The dialog's texts: first the languages that only 2004 and later releases
// offer, then the others, each part in the kit's order. Filled once during
// static initialisation.
extern const char *language_display_list[LANGUAGE_COUNT];

// Index of the first display entry offered for the release.
int first_offered_language(HostRelease release);

// The kit folder for a text shown in the dialog (the text itself when no
// language shows it).
const char *language_folder_for_text(const char *shown_text);
