// Centres a dialog: reads the two window rectangles and moves it. The
// position is centred_position's.
#include "dialog_placement.h"

#include "centring.h"

void centre_dialog_on_desktop(HWND dialog) {
    RECT own;
    RECT desktop;
    // Without both rectangles the dialog stays where Windows put it.
    if (!GetWindowRect(dialog, &own) || !GetWindowRect(GetDesktopWindow(), &desktop))
        return;
    ScreenPoint at = centred_position(desktop.right, desktop.bottom, own.right, own.bottom);
    MoveWindow(dialog, static_cast<int>(at.x), static_cast<int>(at.y), own.right, own.bottom,
               FALSE);
}
