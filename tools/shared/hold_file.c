/* A file held open the way another program using it holds it: for the
 * dialog driver's registry script and for conwatch. */
#include "hold_file.h"

HANDLE hold_file(const char *path, DWORD disposition) {
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, disposition,
                       FILE_ATTRIBUTE_NORMAL, NULL);
}
