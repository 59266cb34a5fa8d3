#include "kit_kinds.h"

static const char cannot_open_hif[] = "the installer cannot open its kap.hif and stops";
static const char ddk_refusal[] = "the installer refuses the driver with its DDK message";

constexpr FindingKindRow finding_kinds[KIT_FINDING_KINDS] = {
    {KIT_FOLDER_MISSING, "folder-missing", SEVERITY_ERROR, "the folder is missing", cannot_open_hif,
     STEP_MESSAGE_NONE},
    {KIT_FOLDER_NOT_A_FOLDER, "folder-not-a-folder", SEVERITY_ERROR,
     "a file stands where the folder should be", cannot_open_hif, STEP_MESSAGE_NONE},
    {KIT_FOLDER_UNREADABLE, "folder-unreadable", SEVERITY_ERROR, "the folder cannot be read",
     "nothing in it can be installed", STEP_MESSAGE_NONE},
    {KIT_HIF_MISSING, "hif-missing", SEVERITY_ERROR, "there is no kap.hif", cannot_open_hif,
     STEP_MESSAGE_NONE},
    {KIT_HIF_UNREADABLE, "hif-unreadable", SEVERITY_ERROR, "cannot be read", cannot_open_hif,
     STEP_MESSAGE_NONE},
    {KIT_LEVEL_MISSING, "level-missing", SEVERITY_ERROR, "has no heidiversion line",
     "the installer stops, telling the user that information is missing in the HIF file",
     STEP_MESSAGE_NONE},
    {KIT_LEVEL_ZERO, "level-zero", SEVERITY_ERROR, "the level reads as 0.0.0.0",
     "no host has it, so the installer refuses the driver everywhere with its DDK message",
     STEP_MESSAGE_NONE},
    {KIT_MINOR_MISMATCH, "minor-mismatch", SEVERITY_ERROR, "the minor field is not the release's",
     ddk_refusal, STEP_MESSAGE_NONE},
    {KIT_LEVEL_OF_OTHER_RELEASE, "level-of-other-release", SEVERITY_ERROR,
     "the level's major and minor fields are also another release's",
     "a host accepts only its own major and minor fields, so the hosts of one of the two "
     "releases refuse the driver with the DDK message",
     STEP_MESSAGE_NONE},
    {KIT_FILE_MISSING, "file-missing", SEVERITY_ERROR, "no file matches",
     "the installer stops with \"%s\"", STEP_MESSAGE_MISSING},
    {KIT_FILE_UNREADABLE, "file-unreadable", SEVERITY_ERROR, "cannot be read",
     "the installer stops with \"%s\"", STEP_MESSAGE_COPY_FAILED},
    {KIT_FILE_EMPTY, "file-empty", SEVERITY_ERROR, "is empty",
     "the installer copies it and says \"Success !\", but no host can load it", STEP_MESSAGE_NONE},
    {KIT_FOLDER_LIKE_FILE, "folder-named-like-file", SEVERITY_ERROR,
     "a folder whose name matches a copied pattern",
     "the installer takes the first match the file system lists, and when that is this folder, "
     "its copy fails with \"%s\"",
     STEP_MESSAGE_COPY_FAILED},
    {KIT_NAME_REFUSED, "name-refused", SEVERITY_ERROR, "the name does not survive Windows",
     "the file cannot be unpacked, found or copied under this name on a customer's PC",
     STEP_MESSAGE_NONE},
    {KIT_CASE_TWINS, "names-differ-in-case", SEVERITY_ERROR,
     "two names differ only in the case of letters",
     "Windows holds one of them only, and which one is left after unpacking is not known",
     STEP_MESSAGE_NONE},
    {KIT_PATH_TOO_LONG, "path-too-long", SEVERITY_ERROR, "the name is too long",
     "no kit folder is short enough for the installer's 259-character paths", STEP_MESSAGE_NONE},
    {KIT_MAJOR_UNUSUAL, "major-unusual", SEVERITY_WARNING,
     "the major field is not the release's host library digit",
     "the installer accepts the driver only on a host whose library carries this major field, "
     "which no host of the release is known to do",
     STEP_MESSAGE_NONE},
    {KIT_LEVEL_DIFFERS, "level-differs", SEVERITY_WARNING,
     "the level differs from the other languages'",
     "users of some languages are refused where others are not", STEP_MESSAGE_NONE},
    {KIT_SEVERAL_MATCHES, "several-matches", SEVERITY_WARNING, "several files match one pattern",
     "the installer copies only one, and which one depends on the file system's order",
     STEP_MESSAGE_NONE},
    {KIT_SHORT_NAME_MATCH, "short-name-match", SEVERITY_WARNING,
     "Windows' short name of this file matches a copied pattern",
     "the installer skips it, but other tools would take it", STEP_MESSAGE_NONE},
    {KIT_NAME_UNPORTABLE, "name-unportable", SEVERITY_WARNING, "the name does not survive Windows",
     "the installer does not read this file, but unpacking the kit on Windows may fail on it",
     STEP_MESSAGE_NONE},
    {KIT_OPTIONAL_FILE_MISSING, "optional-file-missing", SEVERITY_WARNING, "no file matches",
     "the user is told \"%s\"", STEP_MESSAGE_MISSING},
    {KIT_OPTIONAL_FILE_UNREADABLE, "optional-file-unreadable", SEVERITY_WARNING, "cannot be read",
     "the user is told \"%s\"", STEP_MESSAGE_COPY_FAILED},
    {KIT_READ_ONLY, "read-only", SEVERITY_WARNING, "is read-only",
     "the installed copy is not, but tools that update or remove the kit's files may fail on it",
     STEP_MESSAGE_NONE},
    {KIT_PATH_LONG, "path-long", SEVERITY_WARNING, "the name is long",
     "the installer's 259-character paths reach it only from a short kit folder",
     STEP_MESSAGE_NONE},
};

// Row i describes kind i, and no kind is left without a row.
static constexpr bool every_kind_has_its_row() {
    for (int i = 0; i < KIT_FINDING_KINDS; ++i) {
        if (finding_kinds[i].kind != i || finding_kinds[i].code == nullptr)
            return false;
    }
    return true;
}
static_assert(every_kind_has_its_row(), "finding_kinds needs one row per FindingKind, in order");
