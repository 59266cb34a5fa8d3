// What kapdeploy reads of the installed products: the hardcopy key, each
// product key, and the host library in each location.
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
// frees products.
ScanResult scan_deploy_products(DeployProducts *list);

// The first hcreg digit whose library is in the location (0 for none) and
// that library's file version (0.0.0.0 when it has none).
char read_host_library(const char *location, FourPartVersion *version);
