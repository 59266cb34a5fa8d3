// Where a dialog standing at the screen origin goes to be centred.
#pragma once

struct ScreenPoint {
    long x;
    long y;
};

// The dialog's right and bottom edges are its outer size (it has not moved
// yet). The result may be negative for a dialog larger than the desktop.
ScreenPoint centred_position(long desktop_right, long desktop_bottom, long dialog_right,
                             long dialog_bottom);
