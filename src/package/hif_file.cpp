// The HIF file as the run reads it: what the reader found is a fact of the
// install. The reading itself is hif_reader's.
#include "hif_file.h"

#include "../control/install_run.h"

int read_hif_values(const char *hif_path, const char *key, uint16_t values[HIF_VALUE_COUNT]) {
    return learn_fact(FACT_HIF, hif_read_file(hif_path, key, values));
}
