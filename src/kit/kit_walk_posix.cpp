// The kit walk on the vendor's Linux build server. Every path inside the kit
// is opened from the kit folder's descriptor, so that only the kit's own
// path has to fit the system's limit.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "../control/text.h"
#include "kit_names.h"
#include "kit_walk.h"

const char kit_separator[] = "/";

static bool is_dot_entry(const char *name) {
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

static FolderState folder_state_of(int error) {
    return error == ENOENT    ? FOLDER_MISSING
           : error == ENOTDIR ? FOLDER_NOT_A_FOLDER
                              : FOLDER_UNREADABLE;
}

// Links are described by what they point to, as Windows shows them, and
// marked as links; stat gives up on a loop or a broken link, which then
// read as entries that cannot be read. Only names the installer reads need
// their attributes: for the rest the listing's own type is enough, which
// keeps a kit of half a million files quick. False when the folder cannot
// be searched.
static bool describe_entry(int folder, unsigned char type, KitEntry *entry) {
    if ((type == DT_REG || type == DT_DIR) && !kit_reads_name(entry->name)) {
        entry->kind = type == DT_REG ? ENTRY_FILE : ENTRY_FOLDER;
        return true;
    }
    struct stat st;
    if (type == DT_LNK || type == DT_UNKNOWN) {
        if (fstatat(folder, entry->name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return errno != EACCES;
        entry->link = S_ISLNK(st.st_mode);
        char target[PATH_BUFFER_SIZE];
        ssize_t len = entry->link ? readlinkat(folder, entry->name, target, sizeof(target) - 1) : 0;
        if (len > 0) {
            target[len] = '\0';
            entry->target = strdup(target);
        }
    }
    if (fstatat(folder, entry->name, &st, 0) != 0) {
        // A link into a folder this account may not search is one entry
        // that cannot be read; any other entry, the folder itself.
        if (errno == EACCES && !entry->link)
            return false;
        entry->kind = ENTRY_OTHER;
        entry->error = errno;
        return true;
    }
    entry->kind = S_ISREG(st.st_mode)   ? ENTRY_FILE
                  : S_ISDIR(st.st_mode) ? ENTRY_FOLDER
                                        : ENTRY_OTHER;
    entry->empty = entry->kind == ENTRY_FILE && st.st_size == 0;
    return true;
}

FolderState open_kit_root(const char *kit, KitRoot *root, int *error) {
    root->path = kit;
    root->handle = open(kit, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    *error = root->handle < 0 ? errno : 0;
    return root->handle < 0 ? folder_state_of(*error) : FOLDER_READ;
}

void close_kit_root(KitRoot *root) {
    if (root->handle >= 0)
        close(root->handle);
    root->handle = -1;
}

FolderState list_kit_folder(const KitRoot &kit, const char *relative, KitListing *listing,
                            int *error) {
    int fd = openat(kit.handle, relative[0] == '\0' ? "." : relative,
                    O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = fd >= 0 ? fdopendir(fd) : nullptr;
    if (dir == nullptr) {
        *error = errno;
        if (fd >= 0)
            close(fd);
        return folder_state_of(*error);
    }
    FolderState state = FOLDER_READ;
    while (state == FOLDER_READ) {
        errno = 0; // readdir tells an error from the end only through errno
        const dirent *found = readdir(dir);
        if (found == nullptr) {
            *error = errno;
            state = errno == 0 ? FOLDER_READ : FOLDER_UNREADABLE;
            break;
        }
        if (is_dot_entry(found->d_name))
            continue;
        KitEntry *entry = add_kit_entry(listing);
        if (entry == nullptr || !concat_bounded(entry->name, PATH_BUFFER_SIZE, found->d_name)) {
            *error = entry == nullptr ? ENOMEM : ENAMETOOLONG;
            state = FOLDER_UNREADABLE;
        } else if (!describe_entry(dirfd(dir), found->d_type, entry)) {
            *error = EACCES;
            state = FOLDER_UNSEARCHABLE;
        }
    }
    closedir(dir);
    return state;
}

FILE *open_kit_file(const KitRoot &kit, const char *relative, int *error) {
    // Non-blocking, so that a pipe put in the kit cannot stop the walk.
    int fd = openat(kit.handle, relative, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    FILE *file = fd >= 0 ? fdopen(fd, "rb") : nullptr;
    if (file == nullptr) {
        *error = errno;
        if (fd >= 0)
            close(fd);
    }
    return file;
}

void describe_walk_error(int error, char *out, size_t cap) {
    concat_bounded(out, cap, strerror(error));
}

unsigned long kit_clock_ms() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<unsigned long>(now.tv_sec) * 1000ul +
           static_cast<unsigned long>(now.tv_nsec / 1000000);
}
