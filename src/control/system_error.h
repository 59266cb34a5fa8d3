// The system's own words for an error code, the one text every program of
// the product gives for a failed Windows call.
#pragma once

#include <stddef.h>

#include "platform.h"

// The words for error on one line, without the final full stop, or
// "Windows error N" where the system has none. GetLastError is left as the
// caller had it, so a later report of the same call still tells its code.
void system_error_words(DWORD error, char *out, size_t cap);
