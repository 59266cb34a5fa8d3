// Lists the products registered under the hardcopy key.
#pragma once

#include "../control/records.h"

// 1 with at least one product in *list (the caller then owns it), or 0
// after the scan has told the user why.
int scan_products(ProductList *list);
