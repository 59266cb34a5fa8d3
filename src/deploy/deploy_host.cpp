// The registry scan for kapdeploy: the same calls as the installer's, with
// the outcome returned instead of shown. What a value means is decided by
// product_key_rules.
#include "deploy_host.h"

#include <stdlib.h>

#include "../control/platform.h"
#include "../control/text.h"
#include "../host/product_key_rules.h"

static bool query_key(HKEY key, DWORD *value_count, DWORD *longest_data) {
    return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, value_count,
                            nullptr, longest_data, nullptr, nullptr) == ERROR_SUCCESS;
}

// Enumerates every value of the key, handing name and data to visit; false
// when the enumeration fails by the installer's rule or visit refuses.
template <typename Visit> static bool each_value(HKEY key, Visit visit) {
    DWORD count = 0;
    DWORD longest = 0;
    if (!query_key(key, &count, &longest))
        return false;
    char *data = static_cast<char *>(malloc(longest + 1));
    if (data == nullptr)
        return false;
    DWORD type_holder = REG_NONE;
    bool ok = true;
    for (DWORD i = 0; ok && i < count; ++i) {
        char name[VALUE_NAME_BUFFER_SIZE] = "";
        DWORD name_len = VALUE_NAME_BUFFER_SIZE;
        DWORD data_len = longest;
        LONG rc = RegEnumValueA(key, i, name, &name_len, nullptr, &type_holder,
                                reinterpret_cast<BYTE *>(data), &data_len);
        name[VALUE_NAME_BUFFER_SIZE - 1] = '\0';
        ok = (rc == ERROR_SUCCESS || enumeration_failure_passes(type_holder)) &&
             visit(name, data, data_len < longest ? data_len : longest);
    }
    free(data);
    return ok;
}

static bool read_product(DeployProduct *product) {
    char path[MAX_PATH];
    HKEY key = nullptr;
    if (!build_product_key_path(path, product->key) ||
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS ||
        key == nullptr)
        return false;
    bool ok = each_value(key, [product](const char *name, const char *data, DWORD len) {
        return apply_product_value(&product->record, name, data, len);
    });
    RegCloseKey(key);
    return ok && product->record.product_name[0] != '\0';
}

ScanResult scan_deploy_products(DeployProducts *list, long *error) {
    *list = DeployProducts{nullptr, 0};
    HKEY hardcopy = nullptr;
    *error =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Autodesk\\Hardcopy", 0, KEY_READ, &hardcopy);
    if (*error != ERROR_SUCCESS)
        return SCAN_NO_HARDCOPY_KEY;
    DWORD count = 0;
    DWORD longest = 0;
    if (hardcopy == nullptr || !query_key(hardcopy, &count, &longest)) {
        if (hardcopy != nullptr)
            RegCloseKey(hardcopy);
        return SCAN_FAILED;
    }
    list->products = static_cast<DeployProduct *>(calloc(count + 1, sizeof(DeployProduct)));
    bool ok = list->products != nullptr &&
              each_value(hardcopy, [list](const char *name, const char *, DWORD) {
                  DeployProduct *product = &list->products[list->count];
                  concat_bounded(product->key, VALUE_NAME_BUFFER_SIZE, name);
                  if (read_product(product))
                      ++list->count;
                  else
                      *product = DeployProduct{};
                  return true;
              });
    RegCloseKey(hardcopy);
    return ok ? SCAN_READ : SCAN_FAILED;
}
