// The product dialog: the product to install into.
#pragma once

#include "../control/platform.h"

// The position of the chosen product in the run's product list, or -1.
int choose_product(HINSTANCE instance, int count);
