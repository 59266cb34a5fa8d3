/* A file held open the way another program using it holds it. */
#pragma once

#include <windows.h>

/* Opens path for reading and writing, shared with no one: no other open of
 * it succeeds until the handle is closed. disposition is CreateFileA's:
 * OPEN_EXISTING, or OPEN_ALWAYS to make a missing file. */
HANDLE hold_file(const char *path, DWORD disposition);
