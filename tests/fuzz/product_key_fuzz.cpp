// Applies arbitrary value names and data, as a product key might hold them,
// to one record. Input: a name length byte, the name, then the data.
#include <stdlib.h>
#include <string.h>

#include "host/product_key_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    size_t name_len = data[0] % VALUE_NAME_BUFFER_SIZE;
    if (name_len > size - 1)
        name_len = size - 1;
    char name[VALUE_NAME_BUFFER_SIZE];
    memcpy(name, data + 1, name_len);
    name[name_len] = '\0';
    size_t data_len = size - 1 - name_len;
    // An exact-size copy, so reading past the data is caught.
    char *value = static_cast<char *>(malloc(data_len + 1));
    memcpy(value, data + 1 + name_len, data_len);
    static ProductRecord record;
    apply_product_value(&record, name, value, data_len);
    char path[PATH_BUFFER_SIZE];
    build_product_key_path(path, name);
    enumeration_failure_passes(data[0]);
    free(value);
    return 0;
}
