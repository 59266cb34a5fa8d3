// The file calls that the change and its recovery share, each with the
// small rule it needs: read-only files, errors in words, the journal file.
#include "deploy_file_ops.h"

#include <stdio.h>
#include <string.h>

#include "../control/text.h"
#include "deploy_checks.h"
#include "deploy_log.h"

const char *folder_of(const ProductRecord &product, ProductFolder folder) {
    return folder == FOLDER_HELP       ? product.help_folder
           : folder == FOLDER_LOCATION ? product.location
                                       : product.driver_folder;
}

bool exists(const char *path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool not_found_error(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool folder_gone(const char *path) {
    return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES && not_found_error(GetLastError());
}

bool in_use_error(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

void tell_error(char *reason, const char *what, const char *name, DWORD error) {
    char words[200];
    system_error_words(error, words, sizeof words);
    snprintf(reason, REASON_SIZE, "%s %s (error %lu: %s)", what, name,
             static_cast<unsigned long>(error), words);
}

bool with_suffix(char out[MAX_PATH], const char *path, const char *suffix) {
    return concat_bounded(out, MAX_PATH, path, suffix);
}

// About a second in all; the products' own files are never retried.
enum { OWN_FILE_TRIES = 10, OWN_FILE_PAUSE_MS = 100 };

// Whether a call that failed with error is worth another try.
static bool try_again(DWORD error, int *tries) {
    if (!in_use_error(error) || ++*tries >= OWN_FILE_TRIES)
        return false;
    Sleep(OWN_FILE_PAUSE_MS);
    return true;
}

HANDLE open_own(const char *path, DWORD access, DWORD disposition, DWORD flags, DWORD *error) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    for (int tries = 0;;) {
        HANDLE h = CreateFileA(path, access, share, nullptr, disposition, flags, nullptr);
        *error = h == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
        if (h != INVALID_HANDLE_VALUE || !try_again(*error, &tries))
            return h;
    }
}

bool move_own(const char *from, const char *to, DWORD *error) {
    SetFileAttributesA(to, FILE_ATTRIBUTE_NORMAL);
    return rename_own(from, to, error);
}

bool rename_own(const char *from, const char *to, DWORD *error) {
    for (int tries = 0;;) {
        bool moved = MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        *error = moved ? ERROR_SUCCESS : GetLastError();
        if (moved || !try_again(*error, &tries))
            return moved;
    }
}

bool copy_flushed(const char *from, const char *to, DWORD *error, bool *not_made) {
    HANDLE source = open_own(from, GENERIC_READ, OPEN_EXISTING, 0, error);
    if (not_made != nullptr)
        *not_made = false;
    if (source == INVALID_HANDLE_VALUE)
        return false;
    HANDLE target = open_own(to, GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, error);
    bool ok = target != INVALID_HANDLE_VALUE;
    if (not_made != nullptr)
        *not_made = !ok;
    static char block[1 << 16];
    for (DWORD got = 1; ok && got > 0;) {
        DWORD written = 0;
        ok = ReadFile(source, block, sizeof block, &got, nullptr) &&
             WriteFile(target, block, got, &written, nullptr) && written == got;
    }
    ok = ok && FlushFileBuffers(target);
    if (!ok && target != INVALID_HANDLE_VALUE)
        *error = GetLastError();
    if (target != INVALID_HANDLE_VALUE)
        CloseHandle(target);
    CloseHandle(source);
    return ok;
}

bool drop_own(const char *path, DWORD *error) {
    bool cleared = false;
    for (int tries = 0;;) {
        if (DeleteFileA(path) || not_found_error(GetLastError())) {
            *error = ERROR_SUCCESS;
            return true;
        }
        *error = GetLastError();
        if (*error == ERROR_ACCESS_DENIED && !cleared) {
            cleared = true; // read-only, perhaps; a refusal after that is told as it is
            SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        } else if (!try_again(*error, &tries)) {
            return false;
        }
    }
}

static bool flush_handle(HANDLE h, DWORD *error) {
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool flushed = FlushFileBuffers(h) != 0;
    *error = flushed ? ERROR_SUCCESS : GetLastError();
    CloseHandle(h);
    return flushed;
}

bool flush_folder(const char *folder, DWORD *error) {
    return flush_handle(
        open_own(folder, GENERIC_WRITE, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, error), error);
}

void journal_path(char out[MAX_PATH], const ProductRecord &product, const char *suffix) {
    suffixed_destination(out, product.driver_folder, journal_name, suffix);
}

bool write_flushed(const char *path, const char *text, size_t size, DWORD *error, bool *not_made) {
    HANDLE file = open_own(path, GENERIC_WRITE, CREATE_ALWAYS, 0, error);
    if (not_made != nullptr)
        *not_made = file == INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = size > 0 && WriteFile(file, text, static_cast<DWORD>(size), &written, nullptr) &&
              written == size;
    if (!ok)
        *error = size == 0 ? ERROR_BUFFER_OVERFLOW : GetLastError();
    ok = ok && FlushFileBuffers(file);
    if (!ok && *error == ERROR_SUCCESS)
        *error = GetLastError();
    CloseHandle(file);
    if (!ok) {
        DWORD ignored;
        drop_own(path, &ignored);
    }
    return ok;
}

bool write_journal_file(const ProductRecord &product, const Journal &journal, DWORD *error,
                        bool *not_made) {
    char temp[MAX_PATH];
    char path[MAX_PATH];
    char text[JOURNAL_MOST_BYTES];
    journal_path(temp, product, new_suffix);
    journal_path(path, product, "");
    if (!write_flushed(temp, text, format_journal(journal, text, sizeof text), error, not_made))
        return false;
    if (move_own(temp, path, error))
        return true;
    DWORD ignored;
    drop_own(temp, &ignored);
    return false;
}

bool read_own_file(const char *path, char *text, DWORD cap, DWORD *got, DWORD *error) {
    *got = 0;
    HANDLE file = open_own(path, GENERIC_READ, OPEN_EXISTING, 0, error);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool read = ReadFile(file, text, cap, got, nullptr) != 0;
    *error = read ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    return read;
}

JournalState read_journal_file(const ProductRecord &product, Journal *journal, DWORD *error) {
    char path[MAX_PATH];
    journal_path(path, product, "");
    journal->count = 0;
    if (path[0] == '\0')
        return JOURNAL_NONE;
    // One byte more than a journal takes tells a longer file.
    static char text[JOURNAL_MOST_BYTES + 1];
    DWORD got;
    if (!read_own_file(path, text, sizeof text, &got, error))
        return not_found_error(*error) ? JOURNAL_NONE : JOURNAL_FOREIGN;
    return read_journal(text, got, journal);
}

bool delete_journal(const ProductRecord &product, DWORD *error) {
    char path[MAX_PATH];
    journal_path(path, product, "");
    return drop_own(path, error);
}
