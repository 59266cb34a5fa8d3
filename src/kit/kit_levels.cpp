// The level findings: each folder's level against its own release's hosts,
// how its line is written, and how the languages of a release agree; and
// the rows of the release table they are judged by.
#include "kit_levels.h"

#include <string.h>

#include "../control/package_paths.h"
#include "../control/text.h"
#include "../host/release_rules.h"
#include "../package/compatibility.h"
#include "kit_check.h"

bool same_level(const FourPartVersion &a, const FourPartVersion &b) {
    return a.major == b.major && a.minor == b.minor && a.build == b.build &&
           a.revision == b.revision;
}

// The row of the release table that names the release.
static const ReleaseRow *release_row(HostRelease release) {
    for (int i = 0; i < RELEASE_ROW_COUNT; ++i) {
        if (release_table[i].release == release)
            return &release_table[i];
    }
    return nullptr;
}

bool release_pinned_minor(HostRelease release, uint16_t *minor) {
    const ReleaseRow *row = release_row(release);
    if (row == nullptr || row->minor == ANY_MINOR)
        return false;
    *minor = static_cast<uint16_t>(row->minor);
    return true;
}

char release_library_digit(HostRelease release) {
    const ReleaseRow *row = release_row(release);
    return row != nullptr ? row->digit : '\0';
}

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

static Finding *add_level_finding(KitReport *report, FindingKind kind, const FourPartVersion &level,
                                  const char *line, const char *hif_name, int language,
                                  int release) {
    Finding *finding = add_finding(report, kind, READ_REQUIRED, language, release, hif_name, -1);
    if (finding != nullptr) {
        finding->level = level;
        concat_bounded(finding->text, PATH_BUFFER_SIZE, line);
    }
    return finding;
}

void judge_level(HifResult result, const FourPartVersion &level, const char *line,
                 const char *hif_name, int language, int release, KitReport *report) {
    FolderRun &run = report->runs[language][release];
    if (result == HIF_CANNOT_OPEN) {
        add_finding(report, KIT_HIF_UNREADABLE, READ_REQUIRED, language, release, hif_name, -1);
        run.before_level = hif_cannot_open_message;
        return;
    }
    if (result == HIF_KEY_MISSING) {
        add_level_finding(report, KIT_LEVEL_MISSING, level, line, hif_name, language, release);
        run.before_level = hif_key_missing_message;
        return;
    }
    run.level = level;
    if (level.major == 0 && level.minor == 0 && level.build == 0 && level.revision == 0) {
        add_level_finding(report, KIT_LEVEL_ZERO, level, line, hif_name, language, release);
        return;
    }
    KitLevels &levels = report->levels;
    levels.level[language][release] = level;
    levels.read[language][release] = true;
    concat_bounded(levels.line[language][release], HIF_LINE_SIZE, line);
    // A loosely written line is judged by the level it reads as: where no
    // host of the release accepts that, it is the one error; else
    // compare_levels tells whether it installs where the other languages do.
    FourPartVersion meant;
    LevelWriting writing = judge_level_writing(line, level, &meant);
    bool accepted = release_accepts(release_at(release), level);
    if (writing != WRITTEN_PLAIN) {
        Finding *finding = add_level_finding(report, accepted ? KIT_LEVEL_LOOSE : KIT_LEVEL_MISREAD,
                                             level, line, hif_name, language, release);
        if (finding != nullptr) {
            finding->error = writing;
            finding->other_level = meant;
        }
        return;
    }
    if (accepted)
        return;
    int fits = release_accepting(level);
    Finding *finding =
        add_level_finding(report, fits >= 0 ? KIT_LEVEL_OF_OTHER_RELEASE : KIT_LEVEL_OF_NO_RELEASE,
                          level, line, hif_name, language, release);
    if (finding != nullptr)
        finding->number = fits;
}

// For each release, the level most languages have (the earlier language's
// on a tie); every other level is reported where it stands. A loosely
// written line whose level the hosts of that common level refuse (without a
// word, or with the DDK message) fails where the other languages install.
void compare_levels(KitReport *report) {
    const KitLevels &levels = report->levels;
    int common[RELEASE_COUNT];
    int common_count[RELEASE_COUNT] = {0};
    for (int release = 0; release < RELEASE_COUNT; ++release) {
        int &best = common[release];
        int &best_count = common_count[release];
        best = -1;
        for (int a = 0; a < LANGUAGE_COUNT; ++a) {
            int count = 0;
            for (int b = 0; levels.read[a][release] && b < LANGUAGE_COUNT; ++b)
                count += levels.read[b][release] &&
                         same_level(levels.level[a][release], levels.level[b][release]);
            if (count > best_count) {
                best = a;
                best_count = count;
            }
        }
        for (int language = 0; best >= 0 && language < LANGUAGE_COUNT; ++language) {
            if (!levels.read[language][release] ||
                same_level(levels.level[language][release], levels.level[best][release]))
                continue;
            Finding *finding =
                add_level_finding(report, KIT_LEVEL_DIFFERS, levels.level[language][release],
                                  levels.line[language][release], hif_file_name, language, release);
            if (finding != nullptr) {
                finding->other_level = levels.level[best][release];
                finding->number = best_count;
            }
        }
    }
    for (int i = 0; i < report->count; ++i) {
        Finding &f = report->findings[i];
        if (f.kind != KIT_LEVEL_LOOSE || common[f.release] < 0)
            continue;
        const FourPartVersion &level = levels.level[common[f.release]][f.release];
        if (!release_accepts(release_at(f.release), level) ||
            judge_driver_level(f.level, level) == DRIVER_FITS)
            continue;
        f.kind = KIT_LEVEL_MISREAD;
        f.other_level = level;
        f.number = common_count[f.release];
    }
}
