// The entries under HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall
// (the 32-bit view, where AutoCAD's own keys are) and the kept copy in
// <Program Files>\Kap, which only administrators may change: its uninstall
// runs as System.
#include "deploy_entry.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../control/text.h"
#include "deploy_entry_rules.h"
#include "deploy_file_ops.h"
#include "deploy_files.h"
#include "deploy_log.h"

static const char uninstall_root[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// A registry call's result as a reason.
static bool registry_done(LONG status, const char *what, const char *name, char *reason) {
    if (status == ERROR_SUCCESS)
        return true;
    tell_error(reason, what, name, static_cast<DWORD>(status));
    return false;
}

// <Program Files>\Kap, from the folder Windows names for 32-bit programs.
static bool kept_folder(char out[MAX_PATH], char *reason) {
    HKEY key;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
                                0, KEY_READ, &key);
    char folder[MAX_PATH];
    DWORD size = sizeof folder - 1;
    DWORD type = REG_NONE;
    if (status == ERROR_SUCCESS) {
        status = RegQueryValueExA(key, "ProgramFilesDir", nullptr, &type,
                                  reinterpret_cast<BYTE *>(folder), &size);
        RegCloseKey(key);
    }
    if (status == ERROR_SUCCESS && type != REG_SZ)
        status = ERROR_INVALID_DATA;
    if (!registry_done(status, "could not read", "the Program Files folder (ProgramFilesDir)",
                       reason))
        return false;
    folder[size] = '\0';
    if (!concat_bounded(out, MAX_PATH, folder, "\\Kap")) {
        tell_error(reason, "could not use", folder, ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return true;
}

static LONG set_text(HKEY key, const char *name, const char *value) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value),
                          static_cast<DWORD>(strlen(value)) + 1);
}

static LONG set_number(HKEY key, const char *name, DWORD value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                          sizeof value);
}

static bool write_entry(const ProductRecord &p, const BuildRecord &r, const char *folder,
                        char *reason) {
    char name[MAX_PATH];
    char path[2 * MAX_PATH];
    char display[2 * MAX_PATH];
    char version[24];
    char command[4 * MAX_PATH];
    char cmd[MAX_PATH];
    UINT len = GetSystemDirectoryA(cmd, MAX_PATH - sizeof "\\cmd.exe");
    if (len == 0 || len >= MAX_PATH - sizeof "\\cmd.exe" ||
        !concat_bounded(cmd + len, MAX_PATH - len, "\\cmd.exe") ||
        !entry_key_name(name, sizeof name, r.product_key) ||
        !concat_bounded(path, sizeof path, uninstall_root, "\\", name) ||
        !entry_display_name(display, sizeof display, r.language, p.product_name) ||
        !entry_uninstall_command(command, sizeof command, cmd, folder, r.product_key)) {
        snprintf(reason, REASON_SIZE,
                 "no Add/Remove Programs entry for %s: its key or a folder holds a quote or is "
                 "too long",
                 p.key_name);
        return false;
    }
    version_text(version, sizeof version, r.version);
    HKEY key;
    LONG status =
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (!registry_done(status, "could not write the Add/Remove Programs entry", path, reason))
        return false;
    const char *texts[][2] = {{"DisplayName", display},     {"DisplayVersion", version},
                              {"Publisher", "Kap"},         {"InstallDate", r.installed_on},
                              {"UninstallString", command}, {"QuietUninstallString", command}};
    for (size_t i = 0; i < sizeof texts / sizeof texts[0] && status == ERROR_SUCCESS; ++i)
        status = set_text(key, texts[i][0], texts[i][1]);
    const struct {
        const char *name;
        DWORD value;
    } numbers[] = {
        {"EstimatedSize", static_cast<DWORD>(r.size_kb)}, {"NoModify", 1}, {"NoRepair", 1}};
    for (size_t i = 0; i < sizeof numbers / sizeof numbers[0] && status == ERROR_SUCCESS; ++i)
        status = set_number(key, numbers[i].name, numbers[i].value);
    RegCloseKey(key);
    return registry_done(status, "could not write the Add/Remove Programs entry", path, reason);
}

// Whether the entry key name belongs to a product that holds its record.
static bool entry_wanted(const char *name, const ProductList &products, const bool *recorded) {
    for (int i = 0; i < products.count; ++i) {
        char wanted[MAX_PATH];
        if (recorded[i] && entry_key_name(wanted, sizeof wanted, products.records[i].key_name) &&
            ascii_equal_nocase(wanted, name))
            return true;
    }
    return false;
}

// Deletes this program's entries that no record stands behind; the others'
// entries are never touched.
static bool drop_stale_entries(const ProductList &products, const bool *recorded, char *reason) {
    HKEY root;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstall_root, 0, KEY_READ, &root);
    if (status == ERROR_FILE_NOT_FOUND)
        return true;
    if (!registry_done(status, "could not read", uninstall_root, reason))
        return false;
    enum { MOST = 64 };
    static char stale[MOST][MAX_PATH];
    int count = 0;
    char name[MAX_PATH];
    for (DWORD i = 0; count < MOST; ++i) {
        DWORD len = sizeof name;
        status = RegEnumKeyExA(root, i, name, &len, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS)
            break;
        if (strncmp(name, entry_key_prefix, strlen(entry_key_prefix)) == 0 &&
            !entry_wanted(name, products, recorded))
            concat_bounded(stale[count++], MAX_PATH, name);
    }
    RegCloseKey(root);
    if (status != ERROR_SUCCESS && status != ERROR_NO_MORE_ITEMS && status != ERROR_MORE_DATA)
        return registry_done(status, "could not read", uninstall_root, reason);
    for (int i = 0; i < count; ++i) {
        char path[2 * MAX_PATH];
        concat_bounded(path, sizeof path, uninstall_root, "\\", stale[i]);
        status = RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
        if (status != ERROR_FILE_NOT_FOUND &&
            !registry_done(status, "could not delete the Add/Remove Programs entry", path, reason))
            return false;
        char line[3 * MAX_PATH];
        snprintf(line, sizeof line, "deleted the Add/Remove Programs entry %s", path);
        log_note(line);
    }
    return true;
}

// This program's own file, its long name.
static bool own_path(char out[MAX_PATH]) {
    char path[MAX_PATH];
    DWORD len = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (len == 0 || len >= MAX_PATH)
        return false;
    len = GetLongPathNameA(path, out, MAX_PATH);
    return len > 0 && len < MAX_PATH;
}

static bool is_own(const char *path) {
    char own[MAX_PATH];
    char full[MAX_PATH];
    DWORD len = GetLongPathNameA(path, full, MAX_PATH);
    return own_path(own) && len > 0 && len < MAX_PATH && ascii_equal_nocase(own, full);
}

// The copy made, or replaced where it is another build of kapdeploy.
static bool keep_copy(const char *folder, char *reason) {
    DeployFile copy;
    if (!own_path(copy.source) ||
        !concat_bounded(copy.target, MAX_PATH, folder, "\\", kept_program_name)) {
        tell_error(reason, "could not keep a copy of kapdeploy in", folder,
                   ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    if (ascii_equal_nocase(copy.source, copy.target))
        return true;
    compare_target(&copy);
    if (copy.state == TARGET_SAME)
        return true;
    char next[MAX_PATH];
    DWORD error;
    with_suffix(next, copy.target, new_suffix);
    CreateDirectoryA(folder, nullptr);
    bool kept = copy_flushed(copy.source, next, &error) && move_own(next, copy.target, &error);
    if (!kept) {
        tell_error(reason, "could not keep a copy of kapdeploy as", copy.target, error);
        DWORD ignored;
        drop_own(next, &ignored);
        return false;
    }
    char line[2 * MAX_PATH];
    snprintf(line, sizeof line, "kept a copy of kapdeploy for the uninstall: %s", copy.target);
    log_note(line);
    return true;
}

// No build left: the copy goes. A running program cannot be deleted, only
// renamed: run from the copy, it is renamed, and the entry's command
// deletes it once this run has ended.
static bool drop_copy(const char *folder, char *reason) {
    char kept[MAX_PATH];
    char retired[MAX_PATH];
    if (!concat_bounded(kept, MAX_PATH, folder, "\\", kept_program_name) ||
        !concat_bounded(retired, MAX_PATH, folder, "\\", kept_retired_name))
        return true;
    DWORD error = ERROR_SUCCESS;
    bool dropped;
    if (exists(kept) && is_own(kept))
        dropped = move_own(kept, retired, &error);
    else
        dropped = drop_own(kept, &error) && drop_own(retired, &error);
    if (!dropped) {
        tell_error(reason, "could not delete the copy of kapdeploy", kept, error);
        return false;
    }
    RemoveDirectoryA(folder); // only where nothing else is in it
    return true;
}

bool settle_entries(const ProductList &products, char *reason) {
    char folder[MAX_PATH];
    if (!kept_folder(folder, reason))
        return false;
    bool *recorded = static_cast<bool *>(calloc(products.count + 1, sizeof(bool)));
    if (recorded == nullptr) {
        snprintf(reason, REASON_SIZE, "out of memory");
        return false;
    }
    bool any = false;
    bool settled = true;
    for (int i = 0; i < products.count; ++i) {
        const ProductRecord &p = products.records[i];
        BuildRecord record;
        char why[REASON_SIZE];
        // Two products in one folder share its record: the entry is its key's.
        recorded[i] = read_record(p, &record, why) == RECORD_OURS &&
                      ascii_equal_nocase(record.product_key, p.key_name);
        any = any || recorded[i];
        if (recorded[i] && settled)
            settled = write_entry(p, record, folder, reason);
    }
    settled = settled && drop_stale_entries(products, recorded, reason) &&
              (any ? keep_copy(folder, reason) : drop_copy(folder, reason));
    free(recorded);
    return settled;
}
