#pragma once

#include "../control/platform.h"

// The position of the chosen product in the run's product list, or -1.
int choose_product(HINSTANCE instance, int count);

INT_PTR CALLBACK product_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
