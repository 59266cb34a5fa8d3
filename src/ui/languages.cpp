// The kit's languages and the texts the language dialog shows.
#include "languages.h"

#include "../control/text.h"

// One row per language, in the kit's order: its folder, the text the dialog
// shows for it, and whether releases before 2004 offer it. Each column below
// is read from these rows.
#define LANGUAGE_ROWS(ROW)                                                                         \
    ROW("Cesky", "Cesky", false)                                                                   \
    ROW("ChineseS", "Modern Chinese", true)                                                        \
    ROW("ChineseT", "Traditional Chinese", true)                                                   \
    ROW("Deutsch", "Deutsch", true)                                                                \
    ROW("English", "English", true)                                                                \
    ROW("Espanol", "Espanol", true)                                                                \
    ROW("Francais", "Francais", true)                                                              \
    ROW("Italiano", "Italiano", true)                                                              \
    ROW("Japanese", "Japanese", true)                                                              \
    ROW("Magyar", "Magyar", false)                                                                 \
    ROW("Polski", "Polski", false)                                                                 \
    ROW("Russkii", "Russkii", true)

#define FOLDER(folder, shown, before_2004) (folder),
#define SHOWN(folder, shown, before_2004) (shown),
#define BEFORE_2004(folder, shown, before_2004) (before_2004),
const char *const language_folder_table[LANGUAGE_COUNT] = {LANGUAGE_ROWS(FOLDER)};
static const char *const shown_text[LANGUAGE_COUNT] = {LANGUAGE_ROWS(SHOWN)};
const bool offered_before_2004[LANGUAGE_COUNT] = {LANGUAGE_ROWS(BEFORE_2004)};
#undef FOLDER
#undef SHOWN
#undef BEFORE_2004
#undef LANGUAGE_ROWS

const char *language_display_list[LANGUAGE_COUNT];
// Where the entries that releases before 2004 offer too begin.
static int first_entry_before_2004;

static void build_language_display_list() {
    int shown = 0;
    for (int i = 0; i < LANGUAGE_COUNT; ++i) {
        if (!offered_before_2004[i])
            language_display_list[shown++] = shown_text[i];
    }
    first_entry_before_2004 = shown;
    for (int i = 0; i < LANGUAGE_COUNT; ++i) {
        if (offered_before_2004[i])
            language_display_list[shown++] = shown_text[i];
    }
}

// Built before the entry point runs, so the dialog never sees it half filled.
[[maybe_unused]] static const bool display_list_built = (build_language_display_list(), true);

int first_offered_language(HostRelease release) {
    return is_2004_or_later(release) ? 0 : first_entry_before_2004;
}

const char *language_folder_for_text(const char *shown) {
    for (int i = 0; i < LANGUAGE_COUNT; ++i) {
        if (ascii_equal_nocase(shown_text[i], shown))
            return language_folder_table[i];
    }
    return shown;
}
