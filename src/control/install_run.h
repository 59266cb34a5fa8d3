// The one pass the program makes: find, choose, check, copy.
#pragma once

#include "platform.h"

void run_install(HINSTANCE instance);
