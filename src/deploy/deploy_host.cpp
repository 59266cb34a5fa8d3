// kapdeploy's product list: the installer's registry scan, each record with
// the value naming its key.
#include "deploy_host.h"

#include <stdlib.h>
#include <string.h>

ScanStop scan_deploy_products(DeployProducts *list, long *error) {
    *list = DeployProducts{nullptr, 0};
    ProductList found = {nullptr, 0};
    ProductKeyName *keys = nullptr;
    ScanStop stop = scan_registered_products(&found, &keys, error);
    if (stop != SCAN_LISTED)
        return stop;
    list->products = static_cast<DeployProduct *>(calloc(found.count, sizeof(DeployProduct)));
    for (int i = 0; list->products != nullptr && i < found.count; ++i) {
        list->products[i].record = found.records[i];
        memcpy(list->products[i].key, keys[i].name, sizeof(list->products[i].key));
    }
    list->count = list->products != nullptr ? found.count : 0;
    free(found.records);
    free(keys);
    return list->products != nullptr ? SCAN_LISTED : SCAN_UNEXPECTED;
}
