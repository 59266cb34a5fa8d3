// The one pass the program makes: find, choose, check, copy.
#pragma once

#include "platform.h"

void run_install(HINSTANCE instance);

// Records what the install learned of the product and shows the row of
// the first stop the facts so far reach. 1 while the install goes on; 0
// once it stopped, whether with a message, silently or with success.
int learn_fact(StopFact fact, int value);
