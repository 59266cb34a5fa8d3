// What kapdeploy reads of the installed products: the hardcopy key and
// each product key.
#pragma once

#include "../control/records.h"

struct DeployProduct {
    ProductRecord record;
    char key[VALUE_NAME_BUFFER_SIZE]; // the hardcopy value naming its key
};

struct DeployProducts {
    DeployProduct *products;
    int count;
};

enum ScanResult { SCAN_READ, SCAN_NO_HARDCOPY_KEY, SCAN_FAILED };

// Lists the products as the installer's scan does (the same rules for
// values, names and locations), without a word to the user; the caller
// frees products. error: why the hardcopy key did not open, for
// SCAN_NO_HARDCOPY_KEY.
ScanResult scan_deploy_products(DeployProducts *list, long *error);
