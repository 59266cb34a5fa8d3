// The kit walk on the vendor's Linux build server.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

#include "../control/text.h"
#include "kit_rules.h"
#include "kit_walk.h"

const char kit_separator[] = "/";

// Links are described by what they point to, as Windows shows them; stat
// gives up on a loop, which then reads as an entry that cannot be read.
static void describe_entry(int folder, KitEntry *entry) {
    struct stat st;
    if (fstatat(folder, entry->name, &st, 0) != 0)
        return;
    entry->kind = S_ISREG(st.st_mode)   ? ENTRY_FILE
                  : S_ISDIR(st.st_mode) ? ENTRY_FOLDER
                                        : ENTRY_OTHER;
    entry->read_only = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

static bool is_dot_entry(const char *name) {
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

FolderState list_kit_folder(const char *kit, const char *relative, KitListing *listing) {
    char path[PATH_MAX];
    if (!join_kit_path(path, PATH_MAX, kit, relative, kit_separator))
        return FOLDER_UNREADABLE;
    struct stat st;
    if (stat(path, &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? FOLDER_MISSING : FOLDER_UNREADABLE;
    if (!S_ISDIR(st.st_mode))
        return FOLDER_NOT_A_FOLDER;
    DIR *dir = opendir(path);
    if (dir == nullptr)
        return FOLDER_UNREADABLE;
    bool ok = true;
    while (ok) {
        errno = 0; // readdir tells an error from the end only through errno
        const dirent *found = readdir(dir);
        if (found == nullptr) {
            ok = errno == 0;
            break;
        }
        if (is_dot_entry(found->d_name))
            continue;
        KitEntry *entry = add_kit_entry(listing);
        ok = entry != nullptr && concat_bounded(entry->name, PATH_BUFFER_SIZE, found->d_name);
        if (ok)
            describe_entry(dirfd(dir), entry);
    }
    closedir(dir);
    return ok ? FOLDER_READ : FOLDER_UNREADABLE;
}

FILE *open_kit_file(const char *kit, const char *relative) {
    char path[PATH_MAX];
    if (!join_kit_path(path, PATH_MAX, kit, relative, kit_separator))
        return nullptr;
    return fopen(path, "rb");
}

unsigned long kit_clock_ms() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<unsigned long>(now.tv_sec) * 1000ul +
           static_cast<unsigned long>(now.tv_nsec / 1000000);
}
