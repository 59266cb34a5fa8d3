// The one pass the program makes: find, choose, check, copy.
#pragma once

#include "platform.h"

void run_install(HINSTANCE instance);

void install_for_product(const char *location, const char *driver_folder, const char *help_folder);
