// The HIF file as the run reads it: shows the reader's two messages. The
// reading itself is hif_reader's.
#include "hif_file.h"

#include "../control/platform.h"

int read_hif_values(const char *hif_path, const char *key, uint16_t values[HIF_VALUE_COUNT]) {
    switch (hif_read_file(hif_path, key, values)) {
    case HIF_FOUND:
        return 1;
    case HIF_CANNOT_OPEN:
        show_message(hif_cannot_open_message, "Error", MB_ICONERROR);
        return 0;
    case HIF_KEY_MISSING:
        break;
    }
    show_message(hif_key_missing_message, "Error", MB_ICONERROR);
    return 0;
}
