// The checker's summary for people (a matrix, then one line per finding)
// and for build pipelines (JSON).
#pragma once

#include <stddef.h>
#include <stdio.h>

#include "../control/text.h"
#include "kit_check.h"

// A short stable name of the kind, for pipelines ("file-missing").
const char *finding_code(FindingKind kind);

// The reason in a kit builder's words.
void finding_reason(const Finding &finding, char *out, size_t cap);

// A host version asked about with --host, and the release it classifies as.
struct HostQuery {
    const char *text;
    FourPartVersion version;
    HostRelease release;
};

void print_kit_text(FILE *out, const char *kit, const KitReport &report, const HostQuery *hosts,
                    int host_count);

void print_kit_json(FILE *out, const KitReport &report, const HostQuery *hosts, int host_count);

// One JSON object for a kit that could not be checked: the kit and why.
void print_kit_json_failure(FILE *out, const char *kit, const char *reason);

// Text for a terminal: bytes outside printable ASCII, which could move its
// cursor or change its colours, are written as \xNN.
void print_plain(FILE *out, const char *text);

// The string as a JSON string literal. Names are bytes in whatever code page
// made them, so each byte outside printable ASCII is written as \u00XX.
void print_json_string(FILE *out, const char *text);
