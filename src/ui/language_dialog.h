// The language dialog: the kit language to install from.
#pragma once

#include "../control/platform.h"

// 0 or more once the chosen language folder is stored for the run; -1 when
// the user cancels.
int choose_language(HINSTANCE instance);
