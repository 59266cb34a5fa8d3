#include "deploy_entry_rules.h"

#include <stdio.h>
#include <string.h>

#include "../control/text.h"

const char entry_key_prefix[] = "KapHdiDriver ";
const char kept_program_name[] = "kapdeploy.exe";
const char kept_retired_name[] = "kapdeploy.exe.kapold";

bool entry_key_name(char *out, size_t cap, const char *product_key) {
    if (!concat_bounded(out, cap, entry_key_prefix, product_key))
        return false;
    for (char *c = out; *c != '\0'; ++c) {
        if (*c == '\\')
            *c = '/';
    }
    return true;
}

static bool fits(int written, size_t cap) {
    return written >= 0 && static_cast<size_t>(written) < cap;
}

bool entry_display_name(char *out, size_t cap, const char *language, const char *product_name) {
    return fits(snprintf(out, cap, "Kap HDI driver (%s) for %s", language, product_name), cap);
}

bool entry_uninstall_command(char *out, size_t cap, const char *cmd_path, const char *kept_folder,
                             const char *product_key) {
    if (strchr(cmd_path, '"') != nullptr || strchr(kept_folder, '"') != nullptr ||
        strchr(product_key, '"') != nullptr) {
        out[0] = '\0';
        return false;
    }
    // cmd /c takes off the outer pair of quotes and runs the rest.
    bool made = fits(snprintf(out, cap,
                              "\"%s\" /d /c \"\"%s\\%s\" remove --product \"%s\" && if exist "
                              "\"%s\\%s\" (del /f /q \"%s\\%s\" & rd \"%s\")\"",
                              cmd_path, kept_folder, kept_program_name, product_key, kept_folder,
                              kept_retired_name, kept_folder, kept_retired_name, kept_folder),
                     cap);
    if (!made)
        out[0] = '\0';
    return made;
}
