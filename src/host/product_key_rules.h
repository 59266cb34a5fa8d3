// What the values of one product key mean, decided without the registry.
#pragma once

#include <stddef.h>

#include "../control/records.h"

// A failed enumeration call is passed over when it reported a type of 9 or
// more; below that (the holder starts at REG_NONE) it ends the enumeration.
bool enumeration_failure_passes(unsigned long type);

// Applies one value of a product key to the record. The data is taken as a
// zero-terminated string whatever its registry type; data_len is how many
// bytes of the buffer the enumeration filled. Returns false when the data
// holds no zero byte or does not fit the record (the product is then left
// out): a location fits when every path built from it does, so at most 248
// bytes. An empty location is none: it and both folders stay empty. Names
// other than ProductName, ACADLocation and Location are ignored.
bool apply_product_value(ProductRecord *record, const char *name, const char *data,
                         size_t data_len);

// "Software\" followed by the value name of the hardcopy key.
bool build_product_key_path(char out[PATH_BUFFER_SIZE], const char *value_name);

// Moves the records whose key was read and whose product name is not empty to
// the front, in their order; returns how many there are.
int keep_listed_products(ProductRecord *records, const bool *read_ok, int count);
