// Feeds arbitrary bytes to the kit checker as one release folder's listing
// (a line per entry: a byte of kind and attribute, then the name) and as
// its kap.hif, then prints the findings both ways.
#include <stdio.h>
#include <string.h>

#include "kit/kit_check.h"
#include "kit/kit_report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    KitReport report;
    memset(&report, 0, sizeof(report));
    KitListing listing = {nullptr, 0, 0};
    const char *text = reinterpret_cast<const char *>(data);
    for (size_t at = 1; at < size;) {
        const char *end = static_cast<const char *>(memchr(text + at, '\n', size - at));
        size_t len = (end != nullptr ? static_cast<size_t>(end - text) : size) - at;
        KitEntry *entry = add_kit_entry(&listing);
        if (entry == nullptr || len == 0)
            break;
        entry->kind = static_cast<EntryKind>(data[at] % 3);
        entry->link = (data[at] & 4) != 0;
        entry->empty = (data[at] & 8) != 0;
        size_t name_len = len - 1 < PATH_BUFFER_SIZE - 1 ? len - 1 : PATH_BUFFER_SIZE - 1;
        memcpy(entry->name, text + at + 1, name_len);
        entry->name[name_len] = '\0';
        at += len + 1;
    }
    sort_kit_listing(&listing);
    int language = data[0] % LANGUAGE_COUNT;
    int release = data[0] % RELEASE_COUNT;
    judge_listing(listing, nullptr, language, release, &report);
    FILE *hif = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (hif != nullptr) {
        uint16_t values[HIF_VALUE_COUNT] = {0, 0, 0, 0};
        char line[HIF_LINE_SIZE] = "";
        HifResult result = hif_read_line(hif, driver_level_key, values, line);
        fclose(hif);
        FourPartVersion level = {values[0], values[1], values[2], values[3]};
        judge_level(result, level, line, "kap.hif", language, release, &report);
    }
    finish_kit_report(&report);
    FILE *sink = fopen("/dev/null", "w");
    if (sink != nullptr) {
        print_kit_text(sink, "kit", report, nullptr, 0);
        print_kit_json(sink, report, nullptr, 0);
        fclose(sink);
    }
    free_kit_listing(&listing);
    free_kit_report(&report);
    return 0;
}
