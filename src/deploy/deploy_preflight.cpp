// What a change makes sure of before its first write: the files can be
// read; and, so that a dry run foretells the real run, the folders written.
#include <stdio.h>

#include "deploy_file_ops.h"
#include "deploy_files.h"

ProductOutcome check_readable(const DeploySet &set, char *reason) {
    for (int i = 0; i < set.count; ++i) {
        const DeployFile &file = set.files[i];
        // A kit file read for the build's digest in this run is readable.
        HANDLE source = file.source[0] == '\0' || file.digest[0] != '\0'
                            ? nullptr
                            : CreateFileA(file.source, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr);
        if (source == INVALID_HANDLE_VALUE) {
            tell_error(reason, "could not read the kit's", file.source, GetLastError());
            return OUTCOME_FAILED;
        }
        if (source != nullptr)
            CloseHandle(source);
        if (file.state != TARGET_UNREADABLE)
            continue;
        bool in_use = in_use_error(file.error);
        tell_error(reason, in_use ? "another program is using" : "could not read", file.target,
                   file.error);
        return in_use ? OUTCOME_IN_USE : OUTCOME_FAILED;
    }
    return OUTCOME_DONE;
}

// A file made and deleted at once (deleted by the system even if this run
// is killed; a leftover ends in .kapnew, which the next run sweeps).
static bool takes_a_file(const char *folder, DWORD *error) {
    char probe[MAX_PATH];
    if (!suffixed_destination(probe, folder, "kapdeploy.probe", new_suffix)) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    HANDLE h = CreateFileA(probe, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    *error = h == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    return h != INVALID_HANDLE_VALUE;
}

ProductOutcome check_writable(const DeploySet &set, const ProductRecord &product, char *reason) {
    for (int f = 0; f < FOLDER_COUNT; ++f) {
        const ProductFolder where = static_cast<ProductFolder>(f);
        // The driver folder holds the journal even when no file goes there.
        if (where != FOLDER_DRV && !writes_in(set, where))
            continue;
        const char *folder = folder_of(product, where);
        DWORD error;
        if (!takes_a_file(folder, &error)) {
            tell_error(reason, "could not write in", folder, error);
            return OUTCOME_FAILED;
        }
    }
    return OUTCOME_DONE;
}
