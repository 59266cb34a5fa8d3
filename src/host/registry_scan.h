// Lists the products registered under the hardcopy key.
#pragma once

#include "../control/records.h"
#include "product_key_rules.h"

// Where a scan ends.
enum ScanStop {
    SCAN_LISTED,          // at least one product is listed
    SCAN_NO_HARDCOPY_KEY, // the key does not open; the error is RegOpenKeyExA's
    SCAN_UNEXPECTED,      // the key cannot be queried or enumerated, or memory ran out
    SCAN_NONE_LISTED,     // no product key gives a listed product
};

// The scan without a word to the user, for the program to say where it
// stopped in its own way. At SCAN_LISTED the caller owns *list; *error is
// RegOpenKeyExA's code at SCAN_NO_HARDCOPY_KEY, else 0.
ScanStop scan_registered_products(ProductList *list, long *error);
