// The record's text: a first line that marks it, the build's facts one per
// line, one line per file, and an end line with the file count. It is
// written as a new copy and renamed into place by the journal, like the
// driver's files, so it is whole whenever it has its name.
#include "deploy_build.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../control/text.h"
#include "deploy_journal.h"

const char record_name[] = "kapdeploy.record";

static const char record_mark[] = "kapdeploy record 1\n";

// A record's files are in the driver or the help folder, named as the
// journal names them.
static const char *folder_word(bool help) {
    return folder_words[help ? FOLDER_HELP : FOLDER_DRV];
}

size_t format_build_manifest(const BuildFile *files, int count, char *out, size_t cap) {
    size_t len = 0;
    out[0] = '\0';
    for (int i = 0; i < count; ++i) {
        if (!advanced(snprintf(out + len, cap - len, "%s %s/%s\n", files[i].digest,
                               folder_word(files[i].in_help_folder), files[i].name),
                      cap, &len))
            return 0;
    }
    return len;
}

size_t format_build_record(const BuildRecord &r, char *out, size_t cap) {
    char version[24];
    version_text(version, sizeof version, r.version);
    size_t len = 0;
    bool fits = advanced(snprintf(out, cap,
                                  "%sproduct %s\nlanguage %s\nversion %s\nbuild %s\n"
                                  "installed %s\nsize %lu\n",
                                  record_mark, r.product_key, r.language, version, r.digest,
                                  r.installed_on, r.size_kb),
                         cap, &len);
    for (int i = 0; fits && i < r.count; ++i)
        fits = advanced(snprintf(out + len, cap - len, "file %s %s %s\n",
                                 folder_word(r.files[i].in_help_folder), r.files[i].digest,
                                 r.files[i].name),
                        cap, &len);
    fits = fits && advanced(snprintf(out + len, cap - len, "end %d\n", r.count), cap, &len);
    return fits ? len : 0;
}

// The text after "word " on the line at *at, zero-terminated in place; the
// cursor moves to the next line. Null when the line is another.
static char *field(char **at, const char *word) {
    char *line = *at;
    char *end = strchr(line, '\n');
    size_t word_len = strlen(word);
    if (end == nullptr || strncmp(line, word, word_len) != 0 || line[word_len] != ' ')
        return nullptr;
    *end = '\0';
    *at = end + 1;
    return line + word_len + 1;
}

static bool is_digest(const char *text) {
    if (strlen(text) != DIGEST_TEXT_SIZE - 1)
        return false;
    for (const char *c = text; *c != '\0'; ++c) {
        if (strchr("0123456789abcdef", *c) == nullptr)
            return false;
    }
    return true;
}

static bool read_number(const char *text, unsigned long most, unsigned long *value) {
    char *end = nullptr;
    if (text[0] < '0' || text[0] > '9')
        return false;
    *value = strtoul(text, &end, 10);
    return *end == '\0' && *value <= most;
}

// "drv|help <digest> <name>", a plain name in one of the two folders.
static bool read_file_line(char *text, BuildFile *file) {
    char *digest;
    char *name;
    if (!split_three(text, &digest, &name))
        return false;
    file->in_help_folder = strcmp(text, folder_word(true)) == 0;
    if (!file->in_help_folder && strcmp(text, folder_word(false)) != 0)
        return false;
    return is_digest(digest) && plain_file_name(name) &&
           concat_bounded(file->digest, DIGEST_TEXT_SIZE, digest) &&
           concat_bounded(file->name, PATH_BUFFER_SIZE, name);
}

bool read_build_record(const char *bytes, size_t size, BuildRecord *r) {
    static char text[RECORD_MOST_BYTES + 1];
    const size_t mark_len = strlen(record_mark);
    if (size < mark_len || size > RECORD_MOST_BYTES || memcmp(bytes, record_mark, mark_len) != 0 ||
        memchr(bytes, '\0', size) != nullptr)
        return false;
    memcpy(text, bytes, size);
    text[size] = '\0';
    char *at = text + mark_len;
    const char *key = field(&at, "product");
    const char *language = key != nullptr ? field(&at, "language") : nullptr;
    const char *version = language != nullptr ? field(&at, "version") : nullptr;
    const char *digest = version != nullptr ? field(&at, "build") : nullptr;
    const char *date = digest != nullptr ? field(&at, "installed") : nullptr;
    const char *size_kb = date != nullptr ? field(&at, "size") : nullptr;
    if (size_kb == nullptr || !concat_bounded(r->product_key, PATH_BUFFER_SIZE, key) ||
        !concat_bounded(r->language, LANGUAGE_NAME_SIZE, language) ||
        !parse_version_text(version, &r->version) || !is_digest(digest) ||
        !concat_bounded(r->digest, DIGEST_TEXT_SIZE, digest) ||
        !concat_bounded(r->installed_on, DATE_TEXT_SIZE, date) ||
        !read_number(size_kb, 4000000000UL, &r->size_kb))
        return false;
    r->count = 0;
    for (char *line; (line = field(&at, "file")) != nullptr;) {
        if (r->count == DEPLOY_STEP_COUNT || !read_file_line(line, &r->files[r->count]))
            return false;
        ++r->count;
    }
    unsigned long count = 0;
    const char *end = field(&at, "end");
    return end != nullptr && *at == '\0' && read_number(end, DEPLOY_STEP_COUNT, &count) &&
           count == static_cast<unsigned long>(r->count);
}

BuildChange judge_build_change(const BuildRecord *recorded, const FourPartVersion &version,
                               const char *digest) {
    if (recorded == nullptr)
        return BUILD_FIRST;
    int order = compare_versions(version, recorded->version);
    if (order < 0)
        return BUILD_DOWNGRADE;
    if (order > 0)
        return BUILD_UPGRADE;
    return strcmp(digest, recorded->digest) == 0 ? BUILD_SAME : BUILD_REBUILT;
}

bool build_holds(const BuildFile *files, int count, const BuildFile &file) {
    for (int i = 0; i < count; ++i) {
        if (files[i].in_help_folder == file.in_help_folder &&
            ascii_equal_nocase(files[i].name, file.name))
            return true;
    }
    return false;
}
