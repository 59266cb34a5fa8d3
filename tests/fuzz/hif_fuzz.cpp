// Feeds arbitrary bytes to the HIF reader as if they were kap.hif.
#include <stdio.h>

#include "package/hif_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (file == nullptr)
        return 0;
    uint16_t values[HIF_VALUE_COUNT] = {0, 0, 0, 0};
    hif_read_stream(file, "heidiversion", values);
    fclose(file);
    return 0;
}
