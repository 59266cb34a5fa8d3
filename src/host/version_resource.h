// A file's fixed file version, read as the installer reads its host
// library's: kapdeploy reads a driver's the same way. Static inline, so that
// each program keeps its own copy and the installer's code stays as it was.
#pragma once

#include <stdlib.h>

#include "../control/platform.h"

// Left untouched when the file has no readable version resource.
static inline void read_version_resource(const char *path, FourPartVersion *version) {
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
