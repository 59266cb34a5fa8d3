#include "kit_kinds.h"

static const char cannot_open_hif[] = "the installer cannot open its kap.hif and stops";
static const char ddk_refusal[] = "the installer refuses the driver with its DDK message";

constexpr FindingKindRow finding_kinds[KIT_FINDING_KINDS] = {
    {KIT_FOLDER_MISSING, SEVERITY_ERROR, "folder-missing", "the folder is missing", cannot_open_hif,
     STEP_MESSAGE_NONE},
    {KIT_FOLDER_NOT_A_FOLDER, SEVERITY_ERROR, "folder-not-a-folder",
     "a file stands where the folder should be", cannot_open_hif, STEP_MESSAGE_NONE},
    {KIT_FOLDER_UNREADABLE, SEVERITY_ERROR, "folder-unreadable", "the folder cannot be read",
     "nothing in it can be installed", STEP_MESSAGE_NONE},
    {KIT_HIF_MISSING, SEVERITY_ERROR, "hif-missing", "there is no kap.hif", cannot_open_hif,
     STEP_MESSAGE_NONE},
    {KIT_HIF_UNREADABLE, SEVERITY_ERROR, "hif-unreadable", "cannot be read", cannot_open_hif,
     STEP_MESSAGE_NONE},
    {KIT_LEVEL_MISSING, SEVERITY_ERROR, "level-missing", "has no heidiversion line",
     "the installer stops, telling the user that information is missing in the HIF file",
     STEP_MESSAGE_NONE},
    {KIT_LEVEL_ZERO, SEVERITY_ERROR, "level-zero", "the level reads as 0.0.0.0",
     "no host has it, so the installer refuses the driver everywhere with its DDK message",
     STEP_MESSAGE_NONE},
    {KIT_MINOR_MISMATCH, SEVERITY_ERROR, "minor-mismatch", "the minor field is not the release's",
     ddk_refusal, STEP_MESSAGE_NONE},
    {KIT_LEVEL_OF_OTHER_RELEASE, SEVERITY_ERROR, "level-of-other-release",
     "the level's major and minor fields are also another release's",
     "a host accepts only its own major and minor fields, so the hosts of one of the two "
     "releases refuse the driver with the DDK message",
     STEP_MESSAGE_NONE},
    {KIT_FILE_MISSING, SEVERITY_ERROR, "file-missing", "no file matches",
     "the installer stops with \"%s\"", STEP_MESSAGE_MISSING},
    {KIT_FILE_UNREADABLE, SEVERITY_ERROR, "file-unreadable", "cannot be read",
     "the installer stops with \"%s\"", STEP_MESSAGE_COPY_FAILED},
    {KIT_FILE_EMPTY, SEVERITY_ERROR, "file-empty", "is empty",
     "the installer copies it and says \"Success !\", but no host can load it", STEP_MESSAGE_NONE},
    {KIT_FOLDER_LIKE_FILE, SEVERITY_ERROR, "folder-named-like-file",
     "a folder whose name matches a copied pattern",
     "the installer takes the first match the file system lists, and when that is this folder, "
     "its copy fails with \"%s\"",
     STEP_MESSAGE_COPY_FAILED},
    {KIT_NAME_REFUSED, SEVERITY_ERROR, "name-refused", "the name does not survive Windows",
     "the file cannot be unpacked, found or copied under this name on a customer's PC",
     STEP_MESSAGE_NONE},
    {KIT_CASE_TWINS, SEVERITY_ERROR, "names-differ-in-case",
     "two names differ only in the case of letters",
     "Windows holds one of them only, and which one is left after unpacking is not known",
     STEP_MESSAGE_NONE},
    {KIT_PATH_TOO_LONG, SEVERITY_ERROR, "path-too-long", "the name is too long",
     "no kit folder is short enough for the installer's 259-character paths", STEP_MESSAGE_NONE},
    {KIT_MAJOR_UNUSUAL, SEVERITY_WARNING, "major-unusual",
     "the major field is not the release's host library digit",
     "the installer accepts the driver only on a host whose library carries this major field, "
     "which no host of the release is known to do",
     STEP_MESSAGE_NONE},
    {KIT_LEVEL_DIFFERS, SEVERITY_WARNING, "level-differs",
     "the level differs from the other languages'",
     "users of some languages are refused where others are not", STEP_MESSAGE_NONE},
    {KIT_SEVERAL_MATCHES, SEVERITY_WARNING, "several-matches", "several files match one pattern",
     "the installer copies only one, and which one depends on the file system's order",
     STEP_MESSAGE_NONE},
    {KIT_SHORT_NAME_MATCH, SEVERITY_WARNING, "short-name-match",
     "Windows' short name of this file matches a copied pattern",
     "the installer skips it, but other tools would take it", STEP_MESSAGE_NONE},
    {KIT_NAME_UNPORTABLE, SEVERITY_WARNING, "name-unportable", "the name does not survive Windows",
     "the installer does not read this file, but unpacking the kit on Windows may fail on it",
     STEP_MESSAGE_NONE},
    {KIT_OPTIONAL_FILE_MISSING, SEVERITY_WARNING, "optional-file-missing", "no file matches",
     "the user is told \"%s\"", STEP_MESSAGE_MISSING},
    {KIT_OPTIONAL_FILE_UNREADABLE, SEVERITY_WARNING, "optional-file-unreadable", "cannot be read",
     "the user is told \"%s\"", STEP_MESSAGE_COPY_FAILED},
    {KIT_READ_ONLY, SEVERITY_WARNING, "read-only", "is read-only",
     "the installed copy is not, but tools that update or remove the kit's files may fail on it",
     STEP_MESSAGE_NONE},
    {KIT_PATH_LONG, SEVERITY_WARNING, "path-long", "the name is long",
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
