// Lists the products registered under the hardcopy key.
#pragma once

#include "../control/records.h"
#include "product_key_rules.h"

// Where a scan ends without a product list.
enum ScanStop {
    SCAN_NO_HARDCOPY_KEY, // the key does not open; the error is RegOpenKeyExA's
    SCAN_UNEXPECTED,      // the key cannot be queried or enumerated, or memory ran out
    SCAN_NONE_LISTED,     // no product key gives a listed product
};

// What the program does where the scan stops: the installer shows its
// message box, kapdeploy writes a line.
typedef void (*ScanReporter)(ScanStop stop, long error);

// 1 with at least one product in *list (the caller then owns it, and *keys
// when keys is given: each product's hardcopy value name), or 0 after
// report has been told why.
int scan_registered_products(ProductList *list, ProductKeyName **keys, ScanReporter report);

// The installer's scan: 1 with at least one product in *list (the caller
// then owns it), or 0 after the scan has told the user why.
int scan_products(ProductList *list);
