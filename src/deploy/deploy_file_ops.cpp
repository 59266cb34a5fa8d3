// The file calls that the change and its recovery share, each with the
// small rule it needs: read-only files, errors in words, the journal file.
#include "deploy_file_ops.h"

#include <stdio.h>
#include <string.h>

#include "../control/text.h"
#include "deploy_checks.h"
#include "deploy_log.h"

const char *folder_of(const ProductRecord &product, bool help) {
    return help ? product.help_folder : product.driver_folder;
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

bool move_over(const char *from, const char *to) {
    SetFileAttributesA(to, FILE_ATTRIBUTE_NORMAL);
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
}

void delete_file(const char *path) {
    if (DeleteFileA(path) || GetLastError() != ERROR_ACCESS_DENIED)
        return;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL); // read-only
    DeleteFileA(path);
}

void journal_path(char out[MAX_PATH], const ProductRecord &product, const char *suffix) {
    product_file_path(out, product.driver_folder, journal_name, suffix);
}

bool write_journal_file(const ProductRecord &product, const Journal &journal) {
    char temp[MAX_PATH];
    char path[MAX_PATH];
    journal_path(temp, product, new_suffix);
    journal_path(path, product, "");
    FILE *file = fopen(temp, "wb");
    if (file == nullptr)
        return false;
    bool ok = write_journal(file, journal);
    ok = fclose(file) == 0 && ok;
    ok = ok && MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok)
        DeleteFileA(temp);
    return ok;
}

void delete_journal(const ProductRecord &product) {
    char path[MAX_PATH];
    journal_path(path, product, "");
    DeleteFileA(path);
}
