// The report across folders: its findings kept with their words, sorted,
// counted, cut and marked in the matrix.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../control/text.h"
#include "kit_check.h"

Finding *add_finding(KitReport *report, FindingKind kind, ReadClass read_class, int language,
                     int release, const char *file, int step) {
    if (kind_severity(kind, read_class) == SEVERITY_NONE)
        return nullptr;
    if (report->count == report->capacity) {
        int capacity = report->capacity == 0 ? 64 : report->capacity * 2;
        void *grown =
            capacity > report->capacity
                ? realloc(report->findings, static_cast<size_t>(capacity) * sizeof(Finding))
                : nullptr;
        if (grown == nullptr) {
            report->out_of_memory = true;
            return nullptr;
        }
        report->findings = static_cast<Finding *>(grown);
        report->capacity = capacity;
    }
    Finding *finding = &report->findings[report->count];
    memset(finding, 0, sizeof(*finding));
    set_finding_detail(report, finding, finding_kinds[kind].meaning);
    if (finding->detail == nullptr)
        return nullptr;
    ++report->count;
    finding->kind = kind;
    finding->read_class = read_class;
    finding->language = language;
    finding->release = release;
    concat_bounded(finding->file, PATH_BUFFER_SIZE, file);
    finding->step = step;
    return finding;
}

void set_finding_detail(KitReport *report, Finding *finding, const char *detail) {
    size_t size = strlen(detail) + 1;
    auto *copy = static_cast<char *>(malloc(size));
    if (copy == nullptr) {
        report->out_of_memory = true;
        return;
    }
    memcpy(copy, detail, size);
    free(finding->detail);
    finding->detail = copy;
}

void add_unreadable(KitReport *report, FindingKind kind, ReadClass read_class, int language,
                    int release, const char *file, int step, int error) {
    Finding *finding = add_finding(report, kind, read_class, language, release, file, step);
    if (finding == nullptr)
        return;
    char why[256] = "not a plain file: a folder, a device, or a broken link";
    if (error > 0)
        describe_walk_error(error, why, sizeof(why));
    char detail[FINDING_DETAIL_SIZE];
    snprintf(detail, sizeof(detail), "cannot be read (%s)", why);
    set_finding_detail(report, finding, detail);
}

size_t plain_byte(char c, char piece[8]) {
    auto byte = static_cast<unsigned char>(c);
    snprintf(piece, 8, byte < 0x20 || byte >= 0x7f ? "\\x%02x" : "%c", byte);
    return strlen(piece);
}

void escape_text(const char *text, char *out, size_t cap) {
    size_t len = 0;
    for (; *text != '\0' && !(text[0] == '\n' && text[1] == '\0'); ++text) {
        char piece[8];
        size_t piece_len = plain_byte(*text, piece);
        if (len + piece_len >= cap)
            break;
        memcpy(out + len, piece, piece_len);
        len += piece_len;
    }
    out[len] = '\0';
}

Severity finding_severity(const Finding &finding) {
    return kind_severity(finding.kind, finding.read_class);
}

void free_kit_report(KitReport *report) {
    for (int i = 0; i < report->count; ++i)
        free(report->findings[i].detail);
    free(report->findings);
    report->findings = nullptr;
    report->count = 0;
    report->capacity = 0;
}

static int by_place_and_kind(const void *pa, const void *pb) {
    const Finding &a = *static_cast<const Finding *>(pa);
    const Finding &b = *static_cast<const Finding *>(pb);
    if (a.language != b.language)
        return a.language - b.language;
    if (a.release != b.release)
        return a.release - b.release;
    if (finding_severity(a) != finding_severity(b))
        return finding_severity(a) - finding_severity(b); // errors first
    if (a.kind != b.kind)
        return a.kind - b.kind;
    if (a.step != b.step)
        return a.step - b.step; // patterns in the order the installer copies them
    return strcmp(a.file, b.file);
}

// Keeps the first findings of each kind in each folder; the last one kept
// counts the rest. The findings are sorted.
static void cut_floods(KitReport *report) {
    if (report->findings == nullptr)
        return;
    int kept = 0;
    int run = 0;
    for (int i = 0; i < report->count; ++i) {
        const Finding &finding = report->findings[i];
        const Finding *last = kept > 0 ? &report->findings[kept - 1] : nullptr;
        bool same_run = last != nullptr && last->language == finding.language &&
                        last->release == finding.release && last->kind == finding.kind &&
                        finding_severity(*last) == finding_severity(finding);
        run = same_run ? run + 1 : 1;
        if (run > FINDINGS_SHOWN_PER_FOLDER) {
            ++report->findings[kept - 1].more;
            free(finding.detail);
        } else if (kept++ != i)
            report->findings[kept - 1] = finding;
    }
    report->count = kept;
}

void finish_kit_report(KitReport *report) {
    compare_levels(report);
    if (report->count > 1)
        qsort(report->findings, static_cast<size_t>(report->count), sizeof(Finding),
              by_place_and_kind);
    for (int language = 0; language < LANGUAGE_COUNT; ++language) {
        for (int release = 0; release < RELEASE_COUNT; ++release)
            report->marks[language][release] =
                language_offered(language, release_at(release)) ? MARK_OK : MARK_NOT_OFFERED;
    }
    report->errors = 0;
    report->warnings = 0;
    for (int i = 0; i < report->count; ++i) {
        const Finding &finding = report->findings[i];
        Mark mark = finding_severity(finding) == SEVERITY_ERROR ? MARK_ERROR : MARK_WARNING;
        ++(mark == MARK_ERROR ? report->errors : report->warnings);
        for (int release = 0; release < RELEASE_COUNT; ++release) {
            Mark &place = report->marks[finding.language][release];
            bool here = finding.release == release || finding.release < 0;
            if (here && place != MARK_NOT_OFFERED && mark > place)
                place = mark;
        }
    }
    cut_floods(report);
}
