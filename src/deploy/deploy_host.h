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
// without a word to the user; at SCAN_LISTED the caller frees products.
// Elsewhere the installer's scan stops with a message; *error is
// RegOpenKeyExA's code for SCAN_NO_HARDCOPY_KEY.
ScanStop scan_deploy_products(DeployProducts *list, long *error);
