// What kapdeploy reads of the installed products: the installer's own scan
// of the hardcopy key and each product key.
#pragma once

#include "../control/records.h"
#include "../host/registry_scan.h"

struct DeployProduct {
    ProductRecord record;
    char key[VALUE_NAME_BUFFER_SIZE]; // the hardcopy value naming its key
};

struct DeployProducts {
    DeployProduct *products;
    int count;
};

// Lists the products the installer's product dialog shows, in its order,
// without a word to the user; the caller frees products. False where the
// installer's scan ends with a message: *stop tells which, and *error is
// RegOpenKeyExA's code for SCAN_NO_HARDCOPY_KEY.
bool scan_deploy_products(DeployProducts *list, ScanStop *stop, long *error);
