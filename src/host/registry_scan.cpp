// The registry scan: opens, queries and enumerates the hardcopy key and the
// product keys with a scratch heap per enumeration, and returns where it
// stops: the installer shows its three messages, kapdeploy writes lines of
// its own. Which failed call passes, what a value means and which products are
// listed is decided by product_key_rules.
#include "registry_scan.h"

#include <stdlib.h>
#include <string.h>

#include "../control/platform.h"

struct KeyInfo {
    DWORD value_count;
    DWORD longest_data;
};

static bool query_key(HKEY key, KeyInfo *info) {
    char class_name[MAX_PATH];
    DWORD class_len = MAX_PATH;
    return RegQueryInfoKeyA(key, class_name, &class_len, nullptr, nullptr, nullptr, nullptr,
                            &info->value_count, nullptr, &info->longest_data, nullptr,
                            nullptr) == ERROR_SUCCESS;
}

// One value of an enumeration, its data in a buffer from the scratch heap.
struct EnumeratedValue {
    char name[VALUE_NAME_BUFFER_SIZE];
    const char *data;
    DWORD data_len;
};

// Enumerates value index into *value. The type holder lives for the whole
// enumeration: a failing call is passed over only when it reports a type of
// 9 or more. False when the enumeration must stop.
static bool enumerate_value(HKEY key, DWORD index, HANDLE heap, DWORD longest_data,
                            DWORD *type_holder, EnumeratedValue *value) {
    BYTE *data = static_cast<BYTE *>(HeapAlloc(heap, 0, longest_data));
    if (data == nullptr)
        return false;
    DWORD name_len = VALUE_NAME_BUFFER_SIZE;
    DWORD data_size = longest_data;
    value->name[0] = '\0';
    LONG rc =
        RegEnumValueA(key, index, value->name, &name_len, nullptr, type_holder, data, &data_size);
    // Whatever a failing call left there, the name stays within its buffer.
    value->name[VALUE_NAME_BUFFER_SIZE - 1] = '\0';
    value->data = reinterpret_cast<const char *>(data);
    value->data_len = data_size < longest_data ? data_size : longest_data;
    return rc == ERROR_SUCCESS || enumeration_failure_passes(*type_holder);
}

// Reads Software\<key_name> into the record; 0, without a message, when the
// key cannot be read or its data does not fit.
static int read_product_key(const char *key_name, ProductRecord *record) {
    char path[MAX_PATH];
    if (!build_product_key_path(path, key_name))
        return 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS ||
        key == nullptr)
        return 0;
    KeyInfo info;
    HANDLE heap = nullptr;
    bool ok = query_key(key, &info) && (heap = HeapCreate(0, 0, 0)) != nullptr;
    DWORD type_holder = REG_NONE;
    for (DWORD j = 0; ok && j < info.value_count; ++j) {
        EnumeratedValue value;
        ok = enumerate_value(key, j, heap, info.longest_data, &type_holder, &value) &&
             apply_product_value(record, value.name, value.data, value.data_len);
    }
    if (heap != nullptr)
        HeapDestroy(heap);
    RegCloseKey(key);
    return ok ? 1 : 0;
}

// Reads every product key the hardcopy key names, each record with the
// value that names it; false after a failed enumeration of the hardcopy key
// itself.
static bool read_named_products(HKEY hardcopy, const KeyInfo &info, ProductRecord *records,
                                bool *read_ok) {
    HANDLE heap = HeapCreate(0, 0, 0);
    if (heap == nullptr)
        return false;
    DWORD type_holder = REG_NONE;
    bool ok = true;
    for (DWORD i = 0; ok && i < info.value_count; ++i) {
        EnumeratedValue value;
        ok = enumerate_value(hardcopy, i, heap, info.longest_data, &type_holder, &value);
        if (ok) {
            read_ok[i] = read_product_key(value.name, &records[i]) == 1;
            memcpy(records[i].key_name, value.name, sizeof(records[i].key_name));
        }
    }
    HeapDestroy(heap);
    return ok;
}

ScanStop scan_registered_products(ProductList *list, long *error) {
    *error = 0;
    HKEY hardcopy = nullptr;
    LONG opened =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Autodesk\\Hardcopy", 0, KEY_READ, &hardcopy);
    if (opened != ERROR_SUCCESS) {
        *error = opened;
        return SCAN_NO_HARDCOPY_KEY;
    }
    if (hardcopy == nullptr)
        return SCAN_UNEXPECTED;
    KeyInfo info;
    if (!query_key(hardcopy, &info)) {
        RegCloseKey(hardcopy);
        return SCAN_UNEXPECTED;
    }
    // calloc(0) may give null; one spare record keeps that case simple.
    ProductRecord *records =
        static_cast<ProductRecord *>(calloc(info.value_count + 1, sizeof(ProductRecord)));
    bool *read_ok = static_cast<bool *>(calloc(info.value_count + 1, sizeof(bool)));
    bool ok = records != nullptr && read_ok != nullptr &&
              read_named_products(hardcopy, info, records, read_ok);
    RegCloseKey(hardcopy);
    if (!ok) {
        free(records);
        free(read_ok);
        return SCAN_UNEXPECTED;
    }
    int count = keep_listed_products(records, read_ok, static_cast<int>(info.value_count));
    free(read_ok);
    if (count == 0) {
        free(records);
        return SCAN_NONE_LISTED;
    }
    list->records = records;
    list->count = count;
    return SCAN_LISTED;
}
