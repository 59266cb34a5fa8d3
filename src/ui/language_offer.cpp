#include "language_offer.h"

#include <string.h>

#include "languages.h"

bool language_offered(int language, HostRelease release) {
    for (int i = first_offered_language(release); i < LANGUAGE_COUNT; ++i) {
        if (strcmp(language_folder_for_text(language_display_list[i]),
                   language_folder_table[language]) == 0)
            return true;
    }
    return false;
}
