/* The registry script applied before the program starts. */
#pragma once

/* Returns 0 on success, else the number of the failing line (-1 if the
 * file cannot be read). */
int apply_script(const char *path);
