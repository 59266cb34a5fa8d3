#include "kit_report.h"

#include <string.h>

#include "../package/compatibility.h"
#include "../package/deploy_steps.h"
#include "kit_hosts.h"
#include "kit_levels.h"
#include "kit_names.h"

const char *finding_code(FindingKind kind) {
    return finding_kinds[kind].code;
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

// One byte as a person may read it: itself when printable ASCII, else \xNN,
// so that a byte order mark shows and a control byte cannot move a
// terminal's cursor. Returns the piece's length.
static size_t plain_byte(char c, char piece[8]) {
    auto byte = static_cast<unsigned char>(c);
    snprintf(piece, 8, byte < 0x20 || byte >= 0x7f ? "\\x%02x" : "%c", byte);
    return strlen(piece);
}

// Text as read, each byte as plain_byte writes it; a last line feed is dropped.
static void escape_text(const char *text, char *out, size_t cap) {
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

static void name_trouble(const Finding &f, const char *name, char *out, size_t cap) {
    switch (static_cast<NameTrouble>(f.error)) {
    case NAME_REFUSED_BYTE:
        snprintf(out, cap, "the name holds the byte 0x%02x, which Windows refuses in names",
                 f.number);
        break;
    case NAME_NOT_ASCII:
        snprintf(out, cap,
                 "the name holds the byte 0x%02x, outside printable ASCII: which character it is "
                 "depends on the code page of the PC",
                 f.number);
        break;
    case NAME_DEVICE:
        snprintf(out, cap, "\"%s\" is a device name that Windows reserves", name);
        break;
    case NAME_TRAILING:
    case NAME_FINE:
        snprintf(out, cap, "the name ends in a %s, which Windows drops",
                 f.number == ' ' ? "space" : "dot");
        break;
    }
}

static const char *writing_trouble(LevelWriting writing) {
    switch (writing) {
    case WRITTEN_DOTS:
        return "dots stand where commas belong, and a number ends at its first dot";
    case WRITTEN_QUOTE:
        return "a quote is not part of a number, and a piece reads as the digits before it, or 0";
    case WRITTEN_SIGN:
        return "a sign is read, and -1 gives 65535";
    case WRITTEN_TOO_LARGE:
        return "a number above 65535 keeps only its low 16 bits";
    case WRITTEN_OTHER:
        return "a piece that is not a plain number reads as its leading digits, or 0";
    case WRITTEN_FEW:
        return "fewer than four numbers, and the missing ones read as 0";
    case WRITTEN_EXTRA:
        return "more than four numbers, and those after the fourth are not read";
    case WRITTEN_PLAIN:
        break;
    }
    return "";
}

static void image_trouble(const Finding &f, char *out, size_t cap) {
    switch (static_cast<PeVerdict>(f.error)) {
    case PE_NOT_AN_IMAGE:
        snprintf(out, cap, "it has no Windows image headers (MZ, then PE)");
        return;
    case PE_OTHER_MACHINE:
        if (f.number == 0x8664)
            snprintf(out, cap, "it is built for 64-bit AMD64 processors");
        else
            snprintf(out, cap, "it is built for the machine type 0x%04x, not i386", f.number);
        return;
    case PE_NOT_EXECUTABLE:
        snprintf(out, cap,
                 "its header lacks the executable-image flag (IMAGE_FILE_EXECUTABLE_IMAGE): a "
                 "linker error");
        return;
    case PE_NOT_A_DLL:
        snprintf(out, cap, "it is a program (.exe), not a library");
        return;
    case PE_NOT_PE32:
        snprintf(out, cap, "its optional header is not the 32-bit PE32 kind");
        return;
    case PE_CUT_SHORT:
    case PE_LOADABLE:
        break;
    }
    snprintf(out, cap, "it is cut short: its headers or sections reach past its end");
}

// The release's levels in a word: "8.1.*.*", or "6.*.*.*" for any minor.
static void release_levels(int release, char *out, size_t cap) {
    uint16_t minor = 0;
    if (release_pinned_minor(release_at(release), &minor))
        snprintf(out, cap, "%c.%u.*.*", release_library_digit(release_at(release)), minor);
    else
        snprintf(out, cap, "%c.*.*.*", release_library_digit(release_at(release)));
}

// What was found, with the finding's own details.
static void finding_detail(const Finding &f, char *out, size_t cap) {
    char name[PATH_BUFFER_SIZE * 4];
    char text[PATH_BUFFER_SIZE * 4];
    char why[256] = "";
    escape_text(f.file, name, sizeof(name));
    escape_text(f.text, text, sizeof(text));
    bool system_code = f.kind == KIT_FOLDER_UNREADABLE || f.kind == KIT_HIF_UNREADABLE ||
                       f.kind == KIT_FILE_UNREADABLE;
    if (system_code && f.error > 0)
        describe_walk_error(f.error, why, sizeof(why));
    const char *pattern = f.step >= 0 ? deploy_steps[f.step].pattern : "";
    const char *release = f.release >= 0 ? release_folder_names[f.release] : "";
    const FourPartVersion &l = f.level;
    const FourPartVersion &o = f.other_level;
    char level[32];
    snprintf(level, sizeof(level), "%u.%u.%u.%u", l.major, l.minor, l.build, l.revision);
    char line[PATH_BUFFER_SIZE * 4 + 64];
    snprintf(line, sizeof(line), "heidiversion line \"%s\" gives %s", text, level);
    char levels[32] = "";
    if (f.release >= 0)
        release_levels(f.release, levels, sizeof(levels));
    switch (f.kind) {
    case KIT_FOLDER_UNREADABLE:
        snprintf(out, cap,
                 f.number == 1
                     ? "the folder's names can be listed, but nothing in it can be opened (%s)"
                     : "the folder cannot be read (%s)",
                 why);
        return;
    case KIT_HIF_UNREADABLE:
    case KIT_FILE_UNREADABLE:
        snprintf(out, cap, "cannot be read (%s)",
                 f.error > 0 ? why : "not a plain file: a folder, a device, or a broken link");
        return;
    case KIT_LEVEL_MISSING:
        if (f.text[0] == '\0')
            break;
        snprintf(out, cap, "has no heidiversion line; the nearest is \"%s\"", text);
        return;
    case KIT_LEVEL_ZERO:
        snprintf(out, cap, "%s (empty or missing numbers read as 0)", line);
        return;
    case KIT_LEVEL_MISREAD:
    case KIT_LEVEL_LOOSE: {
        // other_level is a guess at what was meant, or for a refusal where
        // the other languages install (number > 0), their common level.
        bool by_common = f.kind == KIT_LEVEL_MISREAD && f.number > 0;
        char meant[64] = "";
        if (!by_common && !same_level(l, o))
            snprintf(meant, sizeof(meant), ", where %u.%u.%u.%u was perhaps meant", o.major,
                     o.minor, o.build, o.revision);
        char where[160] = "";
        if (by_common)
            snprintf(where, sizeof(where),
                     "; the %s hosts on which %d languages' %u.%u.%u.%u installs refuse it%s",
                     release, f.number, o.major, o.minor, o.build, o.revision,
                     judge_driver_level(l, o) == DRIVER_BUILD_DIFFERS
                         ? " without a word, as the build differs"
                         : "");
        else if (f.kind == KIT_LEVEL_MISREAD)
            snprintf(where, sizeof(where), "; no %s host accepts it (its levels are %s)", release,
                     levels);
        snprintf(out, cap, "heidiversion line \"%s\" reads as %s%s: %s%s", text, level, meant,
                 writing_trouble(static_cast<LevelWriting>(f.error)), where);
        return;
    }
    case KIT_LEVEL_OF_OTHER_RELEASE:
        snprintf(out, cap, "%s: %s is an %s level; no %s host accepts it (its levels are %s)", line,
                 level, release_folder_names[f.number], release, levels);
        return;
    case KIT_LEVEL_OF_NO_RELEASE:
        snprintf(out, cap,
                 "%s: %s is no release's level; no %s host accepts it (its levels are %s)", line,
                 level, release, levels);
        return;
    case KIT_LEVEL_DIFFERS:
        snprintf(out, cap, "%s, not the %u.%u.%u.%u of %d languages' %s folders", line, o.major,
                 o.minor, o.build, o.revision, f.number, release);
        return;
    case KIT_NOT_LOADABLE:
    case KIT_SPARE_NOT_LOADABLE: {
        char trouble[128];
        image_trouble(f, trouble, sizeof(trouble));
        snprintf(out, cap, "not a 32-bit Windows DLL (%s)", trouble);
        return;
    }
    case KIT_FOLDER_LIKE_FILE:
    case KIT_SHORT_NAME_MATCH:
        snprintf(out, cap, "%s (%s)", finding_kinds[f.kind].meaning, pattern);
        return;
    case KIT_SEVERAL_MATCHES:
        snprintf(out, cap, "one of %d files matching %s", f.number, pattern);
        return;
    case KIT_NAME_REFUSED:
        name_trouble(f, name, out, cap);
        return;
    case KIT_CASE_TWINS:
        snprintf(out, cap, "\"%s\" and \"%s\" differ only in the case of letters", name, text);
        return;
    case KIT_NAMES_FOLD:
        snprintf(out, cap,
                 "\"%s\" and \"%s\" are one name to Windows, which drops a last dot or space", name,
                 text);
        return;
    case KIT_LINK:
        if (f.text[0] == '\0')
            break;
        snprintf(out, cap, "a symbolic link to \"%s\"", text);
        return;
    case KIT_PATH_LONG:
        snprintf(out, cap, "the kit must sit in a folder whose path has at most %d characters",
                 f.number);
        return;
    default:
        break;
    }
    snprintf(out, cap, "%s", finding_kinds[f.kind].meaning);
}

void finding_reason(const Finding &f, char *out, size_t cap) {
    const FindingKindRow &row = finding_kinds[f.kind];
    char said[PATH_BUFFER_SIZE] = "";
    if (f.step >= 0 && row.quoted != STEP_MESSAGE_NONE)
        first_line(said, sizeof(said),
                   row.quoted == STEP_MESSAGE_MISSING ? deploy_steps[f.step].missing_message
                                                      : deploy_steps[f.step].copy_failed_message);
    // A help file's trouble ends in a message and a success; an unread
    // name's trouble is only the unpacking's.
    const char *installer = row.installer;
    if (f.read_class == READ_HELP && row.quoted != STEP_MESSAGE_NONE)
        installer = help_consequence;
    else if (f.read_class == READ_NEVER && (f.kind == KIT_NAME_REFUSED || f.kind == KIT_CASE_TWINS))
        installer = unread_consequence;
    char detail[REASON_SIZE - 512];
    char then[512];
    finding_detail(f, detail, sizeof(detail));
    // The table's texts hold at most one %s, the step's message.
    snprintf(then, sizeof(then), installer, said);
    snprintf(out, cap, "%s: %s", detail, then);
}

void print_plain(FILE *out, const char *text) {
    for (; *text != '\0'; ++text) {
        char piece[8];
        plain_byte(*text, piece);
        fputs(piece, out);
    }
}

static void print_place(FILE *out, const Finding &f, bool with_file) {
    fputs(language_folder_table[f.language], out);
    if (f.release >= 0)
        fprintf(out, "%s%s", kit_separator, release_folder_names[f.release]);
    if (with_file && f.file[0] != '\0') {
        fputs(kit_separator, out);
        print_plain(out, f.file);
    }
}

static const char *severity_word(const Finding &f) {
    return finding_severity(f) == SEVERITY_ERROR ? "error" : "warning";
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

// What the installer does in each language folder on each host asked about.
static void print_hosts_text(FILE *out, const KitReport &report, const HostQuery *hosts,
                             int host_count) {
    for (int h = 0; h < host_count; ++h) {
        const HostQuery &host = hosts[h];
        fprintf(out, "\nOn a host whose hcreg%u.dll is %s (%s):\n", host.version.major, host.text,
                release_folder_name(host.release));
        for (int language = 0; language < LANGUAGE_COUNT; ++language) {
            const char *message = nullptr;
            HostOutcome outcome =
                host_outcome(report, language, host.release, host.version, &message);
            fprintf(out, "    %-10s%s", language_folder_table[language],
                    host_outcome_word(outcome));
            const FourPartVersion &level = report.runs[language][release_index(host.release)].level;
            char said[PATH_BUFFER_SIZE] = "";
            if (message != nullptr)
                first_line(said, sizeof(said), message);
            if (outcome == HOST_REFUSED)
                fputs(": the DDK message", out);
            else if (outcome == HOST_REFUSED_SILENTLY)
                fprintf(out, ": the driver's build %u is not the host's %u, and nothing is said",
                        level.build, host.version.build);
            else if (outcome == HOST_FAILS)
                fprintf(out, ": \"%s\"", said);
            fputc('\n', out);
        }
    }
}

void print_kit_text(FILE *out, const char *kit, const KitReport &report, const HostQuery *hosts,
                    int host_count) {
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
    print_hosts_text(out, report, hosts, host_count);
    for (int i = 0; i < report.count; ++i) {
        const Finding &f = report.findings[i];
        char reason[REASON_SIZE];
        finding_reason(f, reason, sizeof(reason));
        fprintf(out, "%s%-9s", i == 0 ? "\n" : "", severity_word(f));
        print_place(out, f, true);
        fprintf(out, ": %s\n", reason);
        if (f.more > 0) {
            fprintf(out, "%-9s", severity_word(f));
            print_place(out, f, false);
            fprintf(out, ": %d more %s finding%s like the above\n", f.more, finding_code(f.kind),
                    plural(f.more));
        }
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

void print_kit_json_failure(FILE *out, const char *kit, const char *reason) {
    fputs("{\n  \"kit\": ", out);
    print_json_string(out, kit);
    fputs(",\n  \"error\": ", out);
    print_json_string(out, reason);
    fputs("\n}\n", out);
}

static void print_hosts_json(FILE *out, const KitReport &report, const HostQuery *hosts,
                             int host_count) {
    fputs("  \"hosts\": [", out);
    for (int h = 0; h < host_count; ++h) {
        fprintf(out, "%s\n    {\"version\": ", h == 0 ? "" : ",");
        print_json_string(out, hosts[h].text);
        fprintf(out, ", \"release\": \"%s\", \"languages\": {",
                release_folder_name(hosts[h].release));
        for (int language = 0; language < LANGUAGE_COUNT; ++language) {
            const char *message = nullptr;
            HostOutcome outcome =
                host_outcome(report, language, hosts[h].release, hosts[h].version, &message);
            fprintf(out, "%s\"%s\": \"%s\"", language == 0 ? "" : ", ",
                    language_folder_table[language], host_outcome_word(outcome));
        }
        fputs("}}", out);
    }
    fputs(host_count > 0 ? "\n  ],\n" : "],\n", out);
}

void print_kit_json(FILE *out, const KitReport &report, const HostQuery *hosts, int host_count) {
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
    fputs("\n  },\n", out);
    print_hosts_json(out, report, hosts, host_count);
    fputs("  \"findings\": [", out);
    for (int i = 0; i < report.count; ++i) {
        const Finding &f = report.findings[i];
        char reason[REASON_SIZE];
        finding_reason(f, reason, sizeof(reason));
        fprintf(out, "%s\n    {\"severity\": \"%s\", \"code\": \"%s\", \"language\": \"%s\", ",
                i == 0 ? "" : ",", severity_word(f), finding_code(f.kind),
                language_folder_table[f.language]);
        if (f.release >= 0)
            fprintf(out, "\"release\": \"%s\", \"file\": ", release_folder_names[f.release]);
        else
            fputs("\"release\": null, \"file\": ", out);
        print_json_string(out, f.file);
        fputs(", \"reason\": ", out);
        print_json_string(out, reason);
        fprintf(out, ", \"more\": %d}", f.more);
    }
    fputs(report.count > 0 ? "\n  ]\n}\n" : "]\n}\n", out);
}
