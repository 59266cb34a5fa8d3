// The HIF file as the run reads it: shows the reader's two messages. The
// reading itself is hif_reader's.
#include "hif_file.h"

#include "../control/platform.h"

int read_hif_values(const char *hif_path, const char *key, uint16_t values[HIF_VALUE_COUNT]) {
    switch (hif_read_file(hif_path, key, values)) {
    case HIF_FOUND:
        return 1;
    case HIF_CANNOT_OPEN:
        show_message("The installation HIF file could not be opened. Check out whether\nthis "
                     "file exists or not in your install directory. If this is not\nthe case, "
                     "contact your driver provider to get it.\nInstallation failed.",
                     "Error", MB_ICONERROR);
        return 0;
    case HIF_KEY_MISSING:
        break;
    }
    show_message("There are some missing information in the installation HIF file.\nPlease "
                 "contact your driver provider to get a new HIF file.",
                 "Error", MB_ICONERROR);
    return 0;
}
