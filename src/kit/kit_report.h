// The checker's summary for people (a matrix, then one line per finding)
// and for build pipelines (JSON).
#pragma once

#include <stddef.h>
#include <stdio.h>

#include "kit_check.h"

// A short stable name of the kind, for pipelines ("file-missing").
const char *finding_code(FindingKind kind);

// The reason in a kit builder's words.
void finding_reason(const Finding &finding, char *out, size_t cap);

void print_kit_text(FILE *out, const char *kit, const KitReport &report);

void print_kit_json(FILE *out, const KitReport &report);

// The string as a JSON string literal. Names are bytes in whatever code page
// made them, so each byte outside printable ASCII is written as \u00XX.
void print_json_string(FILE *out, const char *text);
