// What the values of a product key make of a record, which data is too long
// for it, and which records enter the product list.
#include "product_key_rules.h"

#include <string.h>

#include "../control/text.h"

bool enumeration_failure_passes(unsigned long type) {
    return type >= 9;
}

// Every path the program builds from a location must fit a path buffer; the
// longest is the host library's, location\hcregN.dll (248 bytes are left).
static const size_t longest_location = PATH_BUFFER_SIZE - sizeof "\\hcreg6.dll";

static bool set_location(ProductRecord *record, const char *location) {
    if (strlen(location) > longest_location)
        return false;
    if (location[0] == '\0') {
        // No location at all: "\drv" alone would name a folder at the root
        // of whatever drive is current when the files are copied.
        record->location[0] = record->driver_folder[0] = record->help_folder[0] = '\0';
        return true;
    }
    concat_bounded(record->location, PATH_BUFFER_SIZE, location);
    concat_bounded(record->driver_folder, PATH_BUFFER_SIZE, location, "\\drv");
    concat_bounded(record->help_folder, PATH_BUFFER_SIZE, location, "\\help");
    return true;
}

bool apply_product_value(ProductRecord *record, const char *name, const char *data,
                         size_t data_len) {
    bool is_name = ascii_equal_nocase(name, "ProductName");
    bool is_location =
        ascii_equal_nocase(name, "ACADLocation") || ascii_equal_nocase(name, "Location");
    if (!is_name && !is_location)
        return true;
    if (data == nullptr || memchr(data, '\0', data_len) == nullptr)
        return false;
    if (is_name)
        return concat_bounded(record->product_name, PATH_BUFFER_SIZE, data);
    return set_location(record, data);
}

bool build_product_key_path(char out[PATH_BUFFER_SIZE], const char *value_name) {
    return concat_bounded(out, PATH_BUFFER_SIZE, "Software\\", value_name);
}

int keep_listed_products(ProductRecord *records, const bool *read_ok, int count) {
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        if (!read_ok[i] || records[i].product_name[0] == '\0')
            continue;
        if (kept != i)
            records[kept] = records[i];
        ++kept;
    }
    return kept;
}
