// The kit's language folders and the texts the language dialog shows.
#include "languages.h"

#include "../control/text.h"

const char *const language_folder_table[LANGUAGE_COUNT] = {
    "Cesky",    "ChineseS", "ChineseT", "Deutsch", "English", "Espanol",
    "Francais", "Italiano", "Japanese", "Magyar",  "Polski",  "Russkii",
};

const char *language_display_list[LANGUAGE_COUNT];

static void build_language_display_list() {
    static const int from_folder_table[LANGUAGE_COUNT] = {0, 9, 10, -1, -1, 3, 4, 5, 6, 7, 8, 11};
    for (int i = 0; i < LANGUAGE_COUNT; ++i) {
        if (from_folder_table[i] >= 0)
            language_display_list[i] = language_folder_table[from_folder_table[i]];
    }
    language_display_list[3] = "Modern Chinese";
    language_display_list[4] = "Traditional Chinese";
}

// Built before the entry point runs, so the dialog never sees it half filled.
[[maybe_unused]] static const bool display_list_built = (build_language_display_list(), true);

int first_offered_language(HostRelease release) {
    return is_2004_or_later(release) ? 0 : 3;
}

const char *language_folder_for_text(const char *shown_text) {
    if (ascii_equal_nocase(shown_text, "traditional chinese"))
        return language_folder_table[2];
    if (ascii_equal_nocase(shown_text, "modern chinese"))
        return language_folder_table[1];
    return shown_text;
}
