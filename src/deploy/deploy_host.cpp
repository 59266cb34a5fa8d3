// kapdeploy's product list: the installer's registry scan, with its stops
// kept for a line instead of shown in a message box.
#include "deploy_host.h"

#include <stdlib.h>
#include <string.h>

// Where the scan stopped; the scan reports through a plain function.
static ScanStop scan_stop;
static long scan_error;

static void keep_stop(ScanStop stop, long error) {
    scan_stop = stop;
    scan_error = error;
}

bool scan_deploy_products(DeployProducts *list, ScanStop *stop, long *error) {
    *list = DeployProducts{nullptr, 0};
    ProductList found = {nullptr, 0};
    ProductKeyName *keys = nullptr;
    scan_error = 0;
    if (!scan_registered_products(&found, &keys, keep_stop)) {
        *stop = scan_stop;
        *error = scan_error;
        return false;
    }
    list->products = static_cast<DeployProduct *>(calloc(found.count, sizeof(DeployProduct)));
    for (int i = 0; list->products != nullptr && i < found.count; ++i) {
        list->products[i].record = found.records[i];
        memcpy(list->products[i].key, keys[i].name, sizeof(list->products[i].key));
    }
    list->count = list->products != nullptr ? found.count : 0;
    free(found.records);
    free(keys);
    *stop = SCAN_UNEXPECTED;
    *error = 0;
    return list->products != nullptr;
}
