// Release detection: probes the location for hcreg6.dll .. hcreg9.dll, reads
// the first one's file version and shows the rejections. The release itself
// is decided by release_rules.
#include "release_detection.h"

#include <stdlib.h>

#include "../control/platform.h"
#include "../control/run_state.h"
#include "../control/text.h"
#include "release_rules.h"

// 1 when an entry of that name is in the folder itself (an empty folder
// holds nothing: neither the search path nor the current folder is asked).
static int probe_file_in_folder(const char *folder, const char *file_name) {
    if (folder[0] == '\0')
        return 0;
    char found[MAX_PATH];
    return SearchPathA(folder, file_name, nullptr, MAX_PATH, found, nullptr) != 0 ? 1 : 0;
}

// 1 with *version filled from the file's fixed version; 0, untouched, when
// the file has no readable version resource.
static int read_version_resource(const char *path, FourPartVersion *version) {
    if (!load_version_library())
        return 0;
    DWORD handle = 0;
    DWORD size = version_api.GetFileVersionInfoSizeA(path, &handle);
    if (size == 0)
        return 0;
    void *block = malloc(size);
    if (block == nullptr)
        return 0;
    VS_FIXEDFILEINFO *info = nullptr;
    UINT info_len = 0;
    bool ok =
        version_api.GetFileVersionInfoA(path, 0, size, block) &&
        version_api.VerQueryValueA(block, "\\", reinterpret_cast<void **>(&info), &info_len) &&
        info != nullptr && info_len >= sizeof(VS_FIXEDFILEINFO);
    if (ok)
        *version = four_part_version_from_fixed(info->dwFileVersionMS, info->dwFileVersionLS);
    free(block);
    return ok ? 1 : 0;
}

int detect_host_release(const char *location, FourPartVersion *host_version) {
    // "hcreg" + digit + ".dll"; the lowest digit whose library exists wins.
    char name[] = "hcreg?.dll";
    char digit = 0;
    for (const char *d = "6789"; *d != '\0' && digit == 0; ++d) {
        name[5] = *d;
        if (probe_file_in_folder(location, name))
            digit = *d;
    }
    *host_version = FourPartVersion{0, 0, 0, 0};
    char path[MAX_PATH];
    // With no library found there is nothing to read.
    if (digit != 0 && concat_bounded(path, MAX_PATH, location, "\\", name))
        read_version_resource(path, host_version);

    HostRelease release = RELEASE_NONE;
    switch (classify_host_release(digit, host_version->minor, &release)) {
    case REJECT_NOT_APPLICATION:
        show_message(not_application_message, "Error", MB_ICONERROR);
        return 0;
    case REJECT_CORRUPTED:
        show_message(corrupted_message, "Error", MB_ICONERROR);
        return 0;
    case RELEASE_KNOWN:
        break;
    }
    run_host_release = release;
    return 1;
}
