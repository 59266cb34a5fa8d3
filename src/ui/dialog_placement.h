// Places a dialog in the middle of the desktop.
#pragma once

#include "../control/platform.h"

// Moves a dialog standing at the screen origin to the middle of the desktop.
void centre_dialog_on_desktop(HWND dialog);
