#include "kit_report.h"

#include <string.h>

#include "../package/deploy_steps.h"
#include "kit_hosts.h"

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
    char then[512];
    // The table's texts hold at most one %s, the step's message.
    snprintf(then, sizeof(then), installer, said);
    snprintf(out, cap, "%s: %s", f.detail, then);
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
