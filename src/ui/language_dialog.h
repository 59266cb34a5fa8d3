#pragma once

#include "../control/platform.h"

// 0 or more once the chosen language folder is stored for the run; -1 when
// the user cancels.
int choose_language(HINSTANCE instance);

INT_PTR CALLBACK language_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
