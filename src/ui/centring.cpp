// The arithmetic of centring a dialog on the desktop.
#include "centring.h"

ScreenPoint centred_position(long desktop_right, long desktop_bottom, long dialog_right,
                             long dialog_bottom) {
    // C++ division truncates toward zero, as the placement wants.
    ScreenPoint p;
    p.x = (desktop_right - dialog_right) / 2;
    p.y = (desktop_bottom - dialog_bottom) / 2;
    return p;
}
