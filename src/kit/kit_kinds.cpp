#include "kit_kinds.h"

static const char cannot_open_hif[] = "the installer cannot open its kap.hif and stops";
static const char ddk_refusal[] = "the installer refuses the driver with its DDK message";

const char help_consequence[] =
    "the user is told \"%s\", and the install still ends with \"Success !\"";
const char unread_consequence[] =
    "the installer never reads this name, but unpacking or copying the kit on Windows may fail "
    "on it";

// Severities for a required name, a help file and a name never read.
#define REQUIRED_ONLY                                                                              \
    { SEVERITY_ERROR, SEVERITY_NONE, SEVERITY_NONE }
#define BY_STEP                                                                                    \
    { SEVERITY_ERROR, SEVERITY_WARNING, SEVERITY_NONE }
#define ANY_NAME                                                                                   \
    { SEVERITY_ERROR, SEVERITY_WARNING, SEVERITY_WARNING }
#define WARNING_ONLY                                                                               \
    { SEVERITY_WARNING, SEVERITY_WARNING, SEVERITY_NONE }
#define WARNING_ANY_NAME                                                                           \
    { SEVERITY_WARNING, SEVERITY_WARNING, SEVERITY_WARNING }

constexpr FindingKindRow finding_kinds[KIT_FINDING_KINDS] = {
    {KIT_FOLDER_MISSING, REQUIRED_ONLY, "folder-missing", "the folder is missing", cannot_open_hif,
     STEP_MESSAGE_NONE},
    {KIT_FOLDER_NOT_A_FOLDER, REQUIRED_ONLY, "folder-not-a-folder",
     "a file stands where the folder should be", cannot_open_hif, STEP_MESSAGE_NONE},
    {KIT_FOLDER_UNREADABLE, REQUIRED_ONLY, "folder-unreadable", "the folder cannot be read",
     "nothing in it can be installed", STEP_MESSAGE_NONE},
    {KIT_HIF_MISSING, REQUIRED_ONLY, "hif-missing", "there is no kap.hif", cannot_open_hif,
     STEP_MESSAGE_NONE},
    {KIT_HIF_UNREADABLE, REQUIRED_ONLY, "hif-unreadable", "cannot be read", cannot_open_hif,
     STEP_MESSAGE_NONE},
    {KIT_LEVEL_MISSING, REQUIRED_ONLY, "level-missing", "has no heidiversion line",
     "the installer stops, telling the user that information is missing in the HIF file",
     STEP_MESSAGE_NONE},
    {KIT_LEVEL_ZERO, REQUIRED_ONLY, "level-zero", "the level reads as 0.0.0.0",
     "no host has it, so the installer refuses the driver everywhere with its DDK message",
     STEP_MESSAGE_NONE},
    {KIT_LEVEL_MISREAD, REQUIRED_ONLY, "level-misread",
     "the line reads as a level that the release's hosts refuse",
     "the installer refuses the driver on those hosts", STEP_MESSAGE_NONE},
    {KIT_LEVEL_OF_OTHER_RELEASE, REQUIRED_ONLY, "level-of-other-release",
     "the level is another release's", ddk_refusal, STEP_MESSAGE_NONE},
    {KIT_LEVEL_OF_NO_RELEASE, REQUIRED_ONLY, "level-of-no-release", "the level is no release's",
     ddk_refusal, STEP_MESSAGE_NONE},
    {KIT_FILE_MISSING, BY_STEP, "file-missing", "no file matches",
     "the installer stops with \"%s\"", STEP_MESSAGE_MISSING},
    {KIT_FILE_UNREADABLE, BY_STEP, "file-unreadable", "cannot be read",
     "the installer stops with \"%s\"", STEP_MESSAGE_COPY_FAILED},
    {KIT_FILE_EMPTY, REQUIRED_ONLY, "file-empty", "is empty",
     "the installer copies it and says \"Success !\", but no host can load it", STEP_MESSAGE_NONE},
    {KIT_NOT_LOADABLE, REQUIRED_ONLY, "not-loadable", "not a 32-bit Windows DLL",
     "AutoCAD cannot load it, though the installer copies it and says \"Success !\"",
     STEP_MESSAGE_NONE},
    {KIT_FOLDER_LIKE_FILE, BY_STEP, "folder-named-like-file",
     "a folder whose name matches a copied pattern",
     "the installer takes the first match the file system lists, and when that is this folder, "
     "its copy fails with \"%s\"",
     STEP_MESSAGE_COPY_FAILED},
    {KIT_NAME_REFUSED, ANY_NAME, "name-refused", "the name does not survive Windows",
     "the file cannot be unpacked, found or copied under this name on a customer's PC",
     STEP_MESSAGE_COPY_FAILED},
    {KIT_CASE_TWINS, ANY_NAME, "names-differ-in-case",
     "two names differ only in the case of letters",
     "Windows holds one of them only, and which one is left after unpacking is not known",
     STEP_MESSAGE_COPY_FAILED},
    {KIT_PATH_TOO_LONG, BY_STEP, "path-too-long", "the name is too long",
     "no kit folder is short enough for the installer's 259-character paths",
     STEP_MESSAGE_COPY_FAILED},
    {KIT_LEVEL_LOOSE,
     {SEVERITY_WARNING, SEVERITY_NONE, SEVERITY_NONE},
     "level-loosely-written",
     "the line is written loosely, but reads as a level that installs",
     "the driver still installs where the level read fits, but the line does not say what it "
     "seems to",
     STEP_MESSAGE_NONE},
    {KIT_LEVEL_DIFFERS,
     {SEVERITY_WARNING, SEVERITY_NONE, SEVERITY_NONE},
     "level-differs",
     "the level differs from the other languages'",
     "users of some languages are refused where others are not",
     STEP_MESSAGE_NONE},
    {KIT_SEVERAL_MATCHES, WARNING_ONLY, "several-matches", "several files match one pattern",
     "the installer copies only one, and which one depends on the file system's order",
     STEP_MESSAGE_NONE},
    {KIT_SPARE_NOT_LOADABLE,
     {SEVERITY_WARNING, SEVERITY_NONE, SEVERITY_NONE},
     "spare-not-loadable",
     "not a 32-bit Windows DLL",
     "NTFS lists another match first, but where the file system lists this one first (FAT, an "
     "archive), the installer copies it and AutoCAD cannot load it",
     STEP_MESSAGE_NONE},
    {KIT_SHORT_NAME_MATCH, WARNING_ANY_NAME, "short-name-match",
     "Windows' short name of this file matches a copied pattern",
     "the installer's file search may match it through that short name and copy it, where the "
     "volume keeps short names",
     STEP_MESSAGE_NONE},
    {KIT_NAMES_FOLD, WARNING_ANY_NAME, "names-fold-together",
     "Windows drops a last dot or space, so the two names are one",
     "unpacking the kit on Windows merges the two or fails on one of them", STEP_MESSAGE_NONE},
    {KIT_LINK, WARNING_ANY_NAME, "symbolic-link", "a symbolic link",
     "an archive or a copy of the kit may carry the link rather than what it points to",
     STEP_MESSAGE_NONE},
    {KIT_PATH_LONG, WARNING_ONLY, "path-long", "the name is long",
     "the installer's 259-character paths reach it only from a short kit folder",
     STEP_MESSAGE_NONE},
};

#undef REQUIRED_ONLY
#undef BY_STEP
#undef ANY_NAME
#undef WARNING_ONLY
#undef WARNING_ANY_NAME

// Row i describes kind i, and no kind is left without a row.
static constexpr bool every_kind_has_its_row() {
    for (int i = 0; i < KIT_FINDING_KINDS; ++i) {
        if (finding_kinds[i].kind != i || finding_kinds[i].code == nullptr)
            return false;
    }
    return true;
}
static_assert(every_kind_has_its_row(), "finding_kinds needs one row per FindingKind, in order");
