// The host library probe: hcreg6.dll .. hcreg9.dll in the location, then the
// first one's fixed file version through the system folder's VERSION.dll.
#include "host_library.h"

#include <stdlib.h>

#include "../control/platform.h"
#include "../control/text.h"

// Left untouched when the file has no readable version resource.
static void read_version_resource(const char *path, FourPartVersion *version) {
    if (!load_version_library())
        return;
    DWORD handle = 0;
    DWORD size = version_api.GetFileVersionInfoSizeA(path, &handle);
    void *block = size == 0 ? nullptr : malloc(size);
    if (block == nullptr)
        return;
    VS_FIXEDFILEINFO *info = nullptr;
    UINT info_len = 0;
    if (version_api.GetFileVersionInfoA(path, 0, size, block) &&
        version_api.VerQueryValueA(block, "\\", reinterpret_cast<void **>(&info), &info_len) &&
        info != nullptr && info_len >= sizeof(VS_FIXEDFILEINFO))
        *version = four_part_version_from_fixed(info->dwFileVersionMS, info->dwFileVersionLS);
    free(block);
}

char read_host_library(const char *location, FourPartVersion *version) {
    *version = FourPartVersion{0, 0, 0, 0};
    // An empty folder holds nothing: neither the search path nor the
    // current folder is asked.
    if (location[0] == '\0')
        return 0;
    // "hcreg" + digit + ".dll"; the lowest digit whose library exists wins.
    char name[] = "hcreg?.dll";
    for (const char *d = "6789"; *d != '\0'; ++d) {
        name[5] = *d;
        char found[MAX_PATH];
        if (SearchPathA(location, name, nullptr, MAX_PATH, found, nullptr) == 0)
            continue;
        char path[MAX_PATH];
        if (concat_bounded(path, MAX_PATH, location, "\\", name))
            read_version_resource(path, version);
        return *d;
    }
    return 0;
}
