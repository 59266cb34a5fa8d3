// The kit walk on Windows, through the same file search the installer uses.
#include "../control/platform.h"
#include "../control/system_error.h"
#include "../control/text.h"
#include "kit_walk.h"

const char kit_separator[] = "\\";

static bool is_dot_entry(const char *name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

static FolderState missing_or_unreadable(int *error) {
    *error = static_cast<int>(GetLastError());
    return *error == ERROR_FILE_NOT_FOUND || *error == ERROR_PATH_NOT_FOUND ? FOLDER_MISSING
                                                                            : FOLDER_UNREADABLE;
}

FolderState open_kit_root(const char *kit, KitRoot *root, int *error) {
    root->path = kit;
    root->handle = -1;
    *error = 0;
    return FOLDER_READ; // the listing of the root tells what it is
}

void close_kit_root(KitRoot *root) {
    root->path = nullptr;
}

FolderState list_kit_folder(const KitRoot &kit, const char *relative, KitListing *listing,
                            int *error) {
    char path[MAX_PATH];
    char pattern[MAX_PATH];
    if (!join_kit_path(path, MAX_PATH, kit.path, relative, kit_separator) ||
        !join_kit_path(pattern, MAX_PATH, path, "*", kit_separator)) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return FOLDER_UNREADABLE;
    }
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return missing_or_unreadable(error);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return FOLDER_NOT_A_FOLDER;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) {
        *error = static_cast<int>(GetLastError());
        return *error == ERROR_FILE_NOT_FOUND ? FOLDER_READ : FOLDER_UNREADABLE;
    }
    bool ok = true;
    do {
        if (is_dot_entry(found.cFileName))
            continue;
        KitEntry *entry = add_kit_entry(listing);
        ok = entry != nullptr && concat_bounded(entry->name, PATH_BUFFER_SIZE, found.cFileName);
        if (ok) {
            bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            entry->kind = folder ? ENTRY_FOLDER : ENTRY_FILE;
            entry->link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            entry->empty = !folder && found.nFileSizeHigh == 0 && found.nFileSizeLow == 0;
        }
    } while (ok && FindNextFileA(search, &found));
    *error = ok ? static_cast<int>(GetLastError()) : ERROR_NOT_ENOUGH_MEMORY;
    ok = ok && *error == ERROR_NO_MORE_FILES;
    FindClose(search);
    return ok ? FOLDER_READ : FOLDER_UNREADABLE;
}

FILE *open_kit_file(const KitRoot &kit, const char *relative, int *error) {
    char path[MAX_PATH];
    if (!join_kit_path(path, MAX_PATH, kit.path, relative, kit_separator)) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    FILE *file = fopen(path, "rb");
    if (file == nullptr)
        *error = static_cast<int>(GetLastError());
    return file;
}

void describe_walk_error(int error, char *out, size_t cap) {
    system_error_words(static_cast<DWORD>(error), out, cap);
}

unsigned long kit_clock_ms() {
    return GetTickCount();
}
