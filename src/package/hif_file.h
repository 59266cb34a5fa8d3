// The kit's HIF file as the install run reads it.
#pragma once

#include "hif_reader.h"

// 1 with the key's values stored, or 0 after telling the user what is wrong
// with the kit's information file.
int read_hif_values(const char *hif_path, const char *key, uint16_t values[HIF_VALUE_COUNT]);
