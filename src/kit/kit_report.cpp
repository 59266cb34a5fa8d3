#include "kit_report.h"

#include <string.h>

#include "../package/deploy_steps.h"

static const char *const codes[KIT_FINDING_KINDS] = {
    "folder-missing",
    "folder-not-a-folder",
    "folder-unreadable",
    "hif-missing",
    "hif-unreadable",
    "level-missing",
    "minor-mismatch",
    "file-missing",
    "file-unreadable",
    "path-too-long",
    "level-differs",
    "several-matches",
    "short-name-match",
    "folder-named-like-file",
    "optional-file-missing",
    "optional-file-unreadable",
    "read-only",
    "path-long",
};

const char *finding_code(FindingKind kind) {
    return codes[kind];
}

static const char *const mark_words[] = {"-", "ok", "warning", "ERROR"};
static const char *const mark_json[] = {"not offered", "ok", "warning", "error"};

// The first line of one of the installer's messages.
static void first_line(char *out, size_t cap, const char *message) {
    size_t len = strcspn(message, "\n");
    if (len >= cap)
        len = cap - 1;
    memcpy(out, message, len);
    out[len] = '\0';
}

static const char *const cannot_open_hif = "the installer cannot open its kap.hif and stops";

void finding_reason(const Finding &f, char *out, size_t cap) {
    char said[PATH_BUFFER_SIZE] = "";
    const char *pattern = f.step >= 0 ? deploy_steps[f.step].pattern : "";
    if (f.step >= 0)
        first_line(said, sizeof(said),
                   f.kind == KIT_FILE_MISSING || f.kind == KIT_OPTIONAL_FILE_MISSING
                       ? deploy_steps[f.step].missing_message
                       : deploy_steps[f.step].copy_failed_message);
    const FourPartVersion &l = f.level;
    const FourPartVersion &o = f.other_level;
    const char *release = f.release >= 0 ? release_folder_names[f.release] : "";
    switch (f.kind) {
    case KIT_FOLDER_MISSING:
        snprintf(out, cap, "the folder is missing: %s",
                 f.release < 0 ? "no release can be installed in this language" : cannot_open_hif);
        break;
    case KIT_FOLDER_NOT_A_FOLDER:
        snprintf(out, cap, "a file stands where the folder should be: %s",
                 f.release < 0 ? "no release can be installed in this language" : cannot_open_hif);
        break;
    case KIT_FOLDER_UNREADABLE:
        snprintf(out, cap,
                 "the folder cannot be read (permissions, or a link that is broken or "
                 "loops): nothing in it can be installed");
        break;
    case KIT_HIF_MISSING:
        snprintf(out, cap, "there is no kap.hif: %s", cannot_open_hif);
        break;
    case KIT_HIF_UNREADABLE:
        snprintf(out, cap, "cannot be read (permissions, a folder, or a broken link): %s",
                 cannot_open_hif);
        break;
    case KIT_LEVEL_MISSING:
        snprintf(out, cap,
                 "has no heidiversion line: the installer stops, telling the user that "
                 "information is missing in the HIF file");
        break;
    case KIT_MINOR_MISMATCH:
        snprintf(out, cap,
                 "heidiversion %u.%u.%u.%u has minor field %u, but every %s host has %d: the "
                 "installer refuses the driver with its DDK message",
                 l.major, l.minor, l.build, l.revision, l.minor, release, f.number);
        break;
    case KIT_FILE_MISSING:
        snprintf(out, cap, "no file matches: the installer stops with \"%s\"", said);
        break;
    case KIT_FILE_UNREADABLE:
        snprintf(out, cap, "cannot be read: the installer stops with \"%s\"", said);
        break;
    case KIT_PATH_TOO_LONG:
        snprintf(out, cap,
                 "the name is so long that no kit folder is short enough for the "
                 "installer's 259-character paths");
        break;
    case KIT_LEVEL_DIFFERS:
        snprintf(out, cap,
                 "heidiversion %u.%u.%u.%u differs from the %u.%u.%u.%u of %d languages' %s "
                 "folders: users of some languages are refused where others are not",
                 l.major, l.minor, l.build, l.revision, o.major, o.minor, o.build, o.revision,
                 f.number, release);
        break;
    case KIT_SEVERAL_MATCHES:
        snprintf(out, cap,
                 "one of %d files matching %s: the installer copies only one, and which one "
                 "depends on the file system's order",
                 f.number, pattern);
        break;
    case KIT_SHORT_NAME_MATCH:
        snprintf(out, cap,
                 "Windows' short name of this file matches %s: the installer skips it, but other "
                 "tools would take it",
                 pattern);
        break;
    case KIT_FOLDER_LIKE_FILE:
        snprintf(out, cap,
                 "a folder whose name matches %s: when the file system lists it first, the "
                 "installer stops with \"%s\"",
                 pattern, said);
        break;
    case KIT_OPTIONAL_FILE_MISSING:
        snprintf(out, cap, "no file matches: the user is told \"%s\"", said);
        break;
    case KIT_OPTIONAL_FILE_UNREADABLE:
        snprintf(out, cap, "cannot be read: the user is told \"%s\"", said);
        break;
    case KIT_READ_ONLY:
        snprintf(out, cap,
                 "is read-only: the installed copy is not, but tools that update or "
                 "remove the kit's files may fail on it");
        break;
    case KIT_PATH_LONG:
        snprintf(out, cap,
                 "the kit must sit in a folder whose path has at most %d characters, or the "
                 "installer's 259-character paths cannot reach this file",
                 f.number);
        break;
    case KIT_FINDING_KINDS:
        out[0] = '\0';
        break;
    }
}

// Bytes that would move a terminal's cursor or colour are shown as "?".
static void print_plain(FILE *out, const char *text) {
    for (; *text != '\0'; ++text) {
        unsigned char c = static_cast<unsigned char>(*text);
        fputc(c < 0x20 || c == 0x7f ? '?' : c, out);
    }
}

static void print_place(FILE *out, const Finding &f) {
    fputs(language_folder_table[f.language], out);
    if (f.release >= 0)
        fprintf(out, "%s%s", kit_separator, release_folder_names[f.release]);
    if (f.file[0] != '\0') {
        fputs(kit_separator, out);
        print_plain(out, f.file);
    }
}

// Columns of ten characters; the last one ends the line.
static void print_column(FILE *out, int release, const char *text) {
    if (release + 1 < RELEASE_COUNT)
        fprintf(out, "%-10s", text);
    else
        fprintf(out, "%s\n", text);
}

static const char *plural(int count) {
    return count == 1 ? "" : "s";
}

void print_kit_text(FILE *out, const char *kit, const KitReport &report) {
    fputs("Kit ", out);
    print_plain(out, kit);
    fprintf(out, ": %d folders checked, %d error%s, %d warning%s\n\n%-10s", report.folders_checked,
            report.errors, plural(report.errors), report.warnings, plural(report.warnings), "");
    for (int release = 0; release < RELEASE_COUNT; ++release)
        print_column(out, release, release_folder_names[release]);
    for (int language = 0; language < LANGUAGE_COUNT; ++language) {
        fprintf(out, "%-10s", language_folder_table[language]);
        for (int release = 0; release < RELEASE_COUNT; ++release)
            print_column(out, release, mark_words[report.marks[language][release]]);
    }
    fputs("(ok: nothing found; warning, ERROR: see below; -: not offered for this release)\n", out);
    for (int i = 0; i < report.count; ++i) {
        const Finding &f = report.findings[i];
        char reason[1024];
        finding_reason(f, reason, sizeof(reason));
        fprintf(out, "%s%-9s", i == 0 ? "\n" : "", is_error(f.kind) ? "error" : "warning");
        print_place(out, f);
        fprintf(out, ": %s\n", reason);
    }
}

void print_json_string(FILE *out, const char *text) {
    fputc('"', out);
    for (; *text != '\0'; ++text) {
        unsigned char c = static_cast<unsigned char>(*text);
        if (c == '"' || c == '\\')
            fprintf(out, "\\%c", c);
        else if (c < 0x20 || c >= 0x7f)
            fprintf(out, "\\u%04x", c);
        else
            fputc(c, out);
    }
    fputc('"', out);
}

void print_kit_json(FILE *out, const KitReport &report) {
    fprintf(out, "{\n  \"folders_checked\": %d,\n  \"errors\": %d,\n  \"warnings\": %d,\n",
            report.folders_checked, report.errors, report.warnings);
    fputs("  \"releases\": [", out);
    for (int release = 0; release < RELEASE_COUNT; ++release)
        fprintf(out, "%s\"%s\"", release == 0 ? "" : ", ", release_folder_names[release]);
    fputs("],\n  \"matrix\": {", out);
    for (int language = 0; language < LANGUAGE_COUNT; ++language) {
        fprintf(out, "%s\n    \"%s\": [", language == 0 ? "" : ",",
                language_folder_table[language]);
        for (int release = 0; release < RELEASE_COUNT; ++release)
            fprintf(out, "%s\"%s\"", release == 0 ? "" : ", ",
                    mark_json[report.marks[language][release]]);
        fputs("]", out);
    }
    fputs("\n  },\n  \"findings\": [", out);
    for (int i = 0; i < report.count; ++i) {
        const Finding &f = report.findings[i];
        char reason[1024];
        finding_reason(f, reason, sizeof(reason));
        fprintf(out, "%s\n    {\"severity\": \"%s\", \"code\": \"%s\", \"language\": \"%s\", ",
                i == 0 ? "" : ",", is_error(f.kind) ? "error" : "warning", finding_code(f.kind),
                language_folder_table[f.language]);
        if (f.release >= 0)
            fprintf(out, "\"release\": \"%s\", \"file\": ", release_folder_names[f.release]);
        else
            fputs("\"release\": null, \"file\": ", out);
        print_json_string(out, f.file);
        fputs(", \"reason\": ", out);
        print_json_string(out, reason);
        fputs("}", out);
    }
    fputs(report.count > 0 ? "\n  ]\n}\n" : "]\n}\n", out);
}
