// The level findings: each folder's level against its own release's hosts,
// how its line is written, and how the languages of a release agree; and
// the rows of the release table they are judged by.
#include "kit_levels.h"

#include <stdio.h>
#include <string.h>

#include "../control/package_paths.h"
#include "../control/text.h"
#include "../host/release_rules.h"
#include "../package/compatibility.h"
#include "kit_check.h"

bool host_version_release(const FourPartVersion &version, HostRelease *release) {
    *release = RELEASE_NONE;
    if (version.major < 6 || version.major > 9)
        return false; // no host library hcregN.dll has another digit
    char digit = static_cast<char>('0' + version.major);
    return classify_host_release(digit, version.minor, release) == RELEASE_KNOWN &&
           *release != RELEASE_NONE;
}

bool release_accepts(HostRelease release, const FourPartVersion &level) {
    HostRelease classified = RELEASE_NONE;
    if (!host_version_release(level, &classified) || classified != release)
        return false;
    // The host of that release most likely to accept: the same build, the
    // highest revision.
    FourPartVersion host = {level.major, level.minor, level.build, 0xFFFF};
    return judge_driver_level(level, host) == DRIVER_FITS;
}

int release_accepting(const FourPartVersion &level) {
    for (int release = 0; release < RELEASE_COUNT; ++release) {
        if (release_accepts(release_at(release), level))
            return release;
    }
    return -1;
}

static bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\n';
}

// The worst trouble of one comma-separated piece [at, end), blanks trimmed.
static LevelWriting piece_writing(const char *at, const char *end) {
    if (at == end)
        return WRITTEN_OTHER;
    LevelWriting found = WRITTEN_PLAIN;
    uint32_t number = 0;
    for (const char *c = at; c < end; ++c) {
        if (*c >= '0' && *c <= '9') {
            number = number > 65535 ? number : number * 10u + static_cast<uint32_t>(*c - '0');
            continue;
        }
        // A + or - is read as a sign only where the piece starts; elsewhere
        // it ends the number like any other text.
        bool sign = c == at && (*c == '+' || *c == '-');
        LevelWriting here = *c == '.'                 ? WRITTEN_DOTS
                            : *c == '"' || *c == '\'' ? WRITTEN_QUOTE
                            : sign                    ? WRITTEN_SIGN
                                                      : WRITTEN_OTHER;
        if (found == WRITTEN_PLAIN || here < found)
            found = here;
    }
    return found == WRITTEN_PLAIN && number > 65535 ? WRITTEN_TOO_LARGE : found;
}

LevelWriting judge_level_writing(const char *line, const FourPartVersion &read,
                                 FourPartVersion *meant) {
    const char *text = strchr(line, '=');
    text = text != nullptr ? text + 1 : line + strlen(line);
    const char *end = text + strcspn(text, "\n");
    // What a person reads: each run of digits a number, an empty piece a 0.
    long numbers[HIF_VALUE_COUNT] = {0, 0, 0, 0};
    int count = 0;
    int pieces = 0;
    LevelWriting writing = WRITTEN_PLAIN;
    for (const char *piece = text;; ++pieces) {
        const char *piece_end = piece + strcspn(piece, ",\n");
        if (piece_end > end)
            piece_end = end;
        const char *at = piece;
        const char *last = piece_end;
        while (at < last && is_blank(*at))
            ++at;
        while (last > at && is_blank(last[-1]))
            --last;
        LevelWriting here = piece_writing(at, last);
        if (pieces < HIF_VALUE_COUNT && here != WRITTEN_PLAIN &&
            (writing == WRITTEN_PLAIN || here < writing))
            writing = here;
        count += at == last ? 1 : 0;
        for (const char *c = at; c < last; ++c) {
            if (*c < '0' || *c > '9')
                continue;
            long number = 0;
            for (; c < last && *c >= '0' && *c <= '9'; ++c)
                number = number > 65535 ? number : number * 10 + (*c - '0');
            if (count < HIF_VALUE_COUNT)
                numbers[count] = number;
            ++count;
            --c;
        }
        if (piece_end == end)
            break;
        piece = piece_end + 1;
    }
    ++pieces;
    if (writing == WRITTEN_PLAIN && pieces != HIF_VALUE_COUNT)
        writing = pieces < HIF_VALUE_COUNT ? WRITTEN_FEW : WRITTEN_EXTRA;
    uint16_t read_fields[HIF_VALUE_COUNT] = {read.major, read.minor, read.build, read.revision};
    uint16_t guess[HIF_VALUE_COUNT];
    for (int i = 0; i < HIF_VALUE_COUNT; ++i) // no host has a field above 65535: keep the read one
        guess[i] = numbers[i] > 65535 || writing == WRITTEN_SIGN
                       ? read_fields[i]
                       : static_cast<uint16_t>(numbers[i]);
    *meant = {guess[0], guess[1], guess[2], guess[3]};
    return writing;
}

// The release's levels in a word: "8.1.*.*", or "6.*.*.*" for any minor.
static void release_levels(HostRelease release, char out[32]) {
    const ReleaseRow *row = release_row(release);
    if (row == nullptr)
        out[0] = '\0';
    else if (row->minor == ANY_MINOR)
        snprintf(out, 32, "%c.*.*.*", row->digit);
    else
        snprintf(out, 32, "%c.%d.*.*", row->digit, row->minor);
}

// The line as quoted in a finding and the level it gives (verb "gives" or
// "reads as"): heidiversion line "heidiversion=8,1,0,0" gives 8.1.0.0.
static void quote_line(const char *line, const char *verb, const FourPartVersion &level, char *out,
                       size_t cap) {
    char quoted[HIF_LINE_SIZE * 4];
    char read[32];
    escape_text(line, quoted, sizeof(quoted));
    version_text(read, sizeof read, level);
    snprintf(out, cap, "heidiversion line \"%s\" %s %s", quoted, verb, read);
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

// A line read otherwise than written, in words: what it reads as, perhaps
// what was meant, why, and where the hosts refuse it.
static void writing_detail(const char *line, const FourPartVersion &level, LevelWriting writing,
                           const char *meant, const char *where, char *out, size_t cap) {
    char reads[HIF_LINE_SIZE * 4 + 64];
    quote_line(line, "reads as", level, reads, sizeof(reads));
    snprintf(out, cap, "%s%s: %s%s", reads, meant, writing_trouble(writing), where);
}

static void add_level_finding(KitReport *report, FindingKind kind, const char *hif_name,
                              int language, int release, const char *detail) {
    Finding *finding = add_finding(report, kind, READ_REQUIRED, language, release, hif_name, -1);
    if (finding != nullptr && detail[0] != '\0')
        set_finding_detail(report, finding, detail);
}

void judge_level(HifResult result, const FourPartVersion &level, const char *line,
                 const char *hif_name, int language, int release, KitReport *report) {
    FolderRun &run = report->runs[language][release];
    run.hif = result;
    if (result == HIF_CANNOT_OPEN) {
        add_unreadable(report, KIT_HIF_UNREADABLE, READ_REQUIRED, language, release, hif_name, -1,
                       0);
        return;
    }
    // An empty detail keeps the kind's own words.
    char detail[FINDING_DETAIL_SIZE] = "";
    if (result == HIF_KEY_MISSING) {
        char quoted[HIF_LINE_SIZE * 4];
        escape_text(line, quoted, sizeof(quoted));
        if (line[0] != '\0')
            snprintf(detail, sizeof(detail), "has no heidiversion line; the nearest is \"%s\"",
                     quoted);
        add_level_finding(report, KIT_LEVEL_MISSING, hif_name, language, release, detail);
        return;
    }
    run.level = level;
    char gives[HIF_LINE_SIZE * 4 + 64];
    quote_line(line, "gives", level, gives, sizeof(gives));
    if (level.major == 0 && level.minor == 0 && level.build == 0 && level.revision == 0) {
        snprintf(detail, sizeof(detail), "%s (empty or missing numbers read as 0)", gives);
        add_level_finding(report, KIT_LEVEL_ZERO, hif_name, language, release, detail);
        return;
    }
    KitLevels &levels = report->levels;
    levels.level[language][release] = level;
    levels.read[language][release] = true;
    concat_bounded(levels.line[language][release], HIF_LINE_SIZE, line);
    const char *release_name = release_folder_names[release];
    char release_words[32];
    release_levels(release_at(release), release_words);
    // A loosely written line is judged by the level it reads as: where no
    // host of the release accepts that, it is the one error; else
    // compare_levels tells whether it installs where the other languages do.
    FourPartVersion meant;
    LevelWriting writing = judge_level_writing(line, level, &meant);
    bool accepted = release_accepts(release_at(release), level);
    if (writing != WRITTEN_PLAIN) {
        char meant_words[64] = "";
        char meant_level[32];
        version_text(meant_level, sizeof meant_level, meant);
        if (compare_versions(level, meant) != 0)
            snprintf(meant_words, sizeof(meant_words), ", where %s was perhaps meant", meant_level);
        char where[160] = "";
        if (!accepted)
            snprintf(where, sizeof(where), "; no %s host accepts it (its levels are %s)",
                     release_name, release_words);
        writing_detail(line, level, writing, meant_words, where, detail, sizeof(detail));
        add_level_finding(report, accepted ? KIT_LEVEL_LOOSE : KIT_LEVEL_MISREAD, hif_name,
                          language, release, detail);
        return;
    }
    if (accepted)
        return;
    int fits = release_accepting(level);
    char read[32];
    version_text(read, sizeof read, level);
    if (fits >= 0)
        snprintf(detail, sizeof(detail),
                 "%s: %s is an %s level; no %s host accepts it (its levels are %s)", gives, read,
                 release_folder_names[fits], release_name, release_words);
    else
        snprintf(detail, sizeof(detail),
                 "%s: %s is no release's level; no %s host accepts it (its levels are %s)", gives,
                 read, release_name, release_words);
    add_level_finding(report, fits >= 0 ? KIT_LEVEL_OF_OTHER_RELEASE : KIT_LEVEL_OF_NO_RELEASE,
                      hif_name, language, release, detail);
}

// For each release, the level most languages have (the earlier language's
// on a tie); every other level is reported where it stands. A loosely
// written line whose level the hosts of that common level refuse (without a
// word, or with the DDK message) fails where the other languages install.
void compare_levels(KitReport *report) {
    const KitLevels &levels = report->levels;
    int common[RELEASE_COUNT];
    int common_count[RELEASE_COUNT] = {0};
    char detail[FINDING_DETAIL_SIZE];
    for (int release = 0; release < RELEASE_COUNT; ++release) {
        int &best = common[release];
        int &best_count = common_count[release];
        best = -1;
        for (int a = 0; a < LANGUAGE_COUNT; ++a) {
            int count = 0;
            for (int b = 0; levels.read[a][release] && b < LANGUAGE_COUNT; ++b)
                count += levels.read[b][release] &&
                         compare_versions(levels.level[a][release], levels.level[b][release]) == 0;
            if (count > best_count) {
                best = a;
                best_count = count;
            }
        }
        for (int language = 0; best >= 0 && language < LANGUAGE_COUNT; ++language) {
            if (!levels.read[language][release] ||
                compare_versions(levels.level[language][release], levels.level[best][release]) == 0)
                continue;
            char gives[HIF_LINE_SIZE * 4 + 64];
            char other[32];
            quote_line(levels.line[language][release], "gives", levels.level[language][release],
                       gives, sizeof(gives));
            version_text(other, sizeof other, levels.level[best][release]);
            snprintf(detail, sizeof(detail), "%s, not the %s of %d languages' %s folders", gives,
                     other, best_count, release_folder_names[release]);
            add_level_finding(report, KIT_LEVEL_DIFFERS, hif_file_name, language, release, detail);
        }
    }
    for (int i = 0; i < report->count; ++i) {
        Finding &f = report->findings[i];
        if (f.kind != KIT_LEVEL_LOOSE || common[f.release] < 0)
            continue;
        const FourPartVersion &level = levels.level[common[f.release]][f.release];
        const FourPartVersion &own = levels.level[f.language][f.release];
        CompatibilityVerdict verdict = judge_driver_level(own, level);
        if (!release_accepts(release_at(f.release), level) || verdict == DRIVER_FITS)
            continue;
        f.kind = KIT_LEVEL_MISREAD;
        char common_level[32];
        version_text(common_level, sizeof common_level, level);
        char where[160];
        snprintf(where, sizeof(where),
                 "; the %s hosts on which %d languages' %s installs refuse it%s",
                 release_folder_names[f.release], common_count[f.release], common_level,
                 verdict == DRIVER_BUILD_DIFFERS ? " without a word, as the build differs" : "");
        const char *line = levels.line[f.language][f.release];
        FourPartVersion meant;
        writing_detail(line, own, judge_level_writing(line, own, &meant), "", where, detail,
                       sizeof(detail));
        set_finding_detail(report, &f, detail);
    }
}
