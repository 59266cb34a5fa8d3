// Names a kit holds, as Windows and the installer take them.
#include "kit_names.h"

#include <string.h>

#include "../control/package_paths.h"
#include "../control/text.h"
#include "../package/deploy_steps.h"

static bool is_device_name(const char *name) {
    static const char *const devices[] = {"CON", "PRN", "AUX", "NUL"};
    size_t len = strcspn(name, ".");
    char base[5] = "";
    if (len > 4)
        return false;
    memcpy(base, name, len);
    base[len] = '\0';
    for (size_t i = 0; i < sizeof(devices) / sizeof(devices[0]); ++i) {
        if (ascii_equal_nocase(base, devices[i]))
            return true;
    }
    // COM1 .. COM9 and LPT1 .. LPT9.
    base[3] = '\0';
    return len == 4 && name[3] >= '1' && name[3] <= '9' &&
           (ascii_equal_nocase(base, "COM") || ascii_equal_nocase(base, "LPT"));
}

NameTrouble windows_name_trouble(const char *name, int *byte) {
    for (const char *at = name; *at != '\0'; ++at) {
        unsigned char c = static_cast<unsigned char>(*at);
        *byte = c;
        if (c < 0x20 || strchr("\\/:*?\"<>|", c) != nullptr)
            return NAME_REFUSED_BYTE;
    }
    for (const char *at = name; *at != '\0'; ++at) {
        unsigned char c = static_cast<unsigned char>(*at);
        *byte = c;
        if (c >= 0x7f)
            return NAME_NOT_ASCII;
    }
    size_t len = strlen(name);
    *byte = len > 0 ? static_cast<unsigned char>(name[len - 1]) : 0;
    if (is_device_name(name))
        return NAME_DEVICE;
    return len > 0 && (name[len - 1] == ' ' || name[len - 1] == '.') ? NAME_TRAILING : NAME_FINE;
}

int longest_kit_folder(const char *language, HostRelease release, const char *name) {
    // The package folder as the installer builds it, less the kit folder,
    // then the file name the installer opens in it.
    char inside[PATH_BUFFER_SIZE];
    if (!build_package_folder(inside, "", language, release))
        return -1;
    return PATH_BUFFER_SIZE - 1 - static_cast<int>(strlen(inside) + 1 + strlen(name));
}

bool kit_reads_name(const char *name) {
    for (int i = 0; i < DEPLOY_STEP_COUNT; ++i) {
        if (long_name_matches(name, deploy_steps[i].pattern))
            return true;
    }
    return ascii_equal_nocase(name, hif_file_name);
}

bool short_name_matches(const char *name, const char *pattern) {
    const char *wanted = strrchr(pattern, '.');
    const char *dot = strrchr(name, '.');
    // A short name's extension is the long one's first three characters.
    const size_t short_extension = 4;
    if (wanted == nullptr || dot == nullptr || dot == name)
        return false;
    size_t wanted_len = strlen(wanted);
    if (wanted_len > short_extension || strlen(dot) <= wanted_len)
        return false;
    char head[8];
    memcpy(head, dot, wanted_len);
    head[wanted_len] = '\0';
    return ascii_equal_nocase(head, wanted);
}
