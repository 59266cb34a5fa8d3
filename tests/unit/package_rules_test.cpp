// The compatibility verdict and deployment's rules for steps, names and paths.
#include <gtest/gtest.h>

#include <string>

#include "package/compatibility.h"
#include "package/deploy_steps.h"

TEST(Compatibility, JudgesTheDriverLevelAgainstTheHost) {
    struct Row {
        FourPartVersion driver;
        FourPartVersion host;
        CompatibilityVerdict verdict;
    } rows[] = {
        {{5, 2, 3, 10}, {5, 2, 3, 10}, DRIVER_FITS},
        {{5, 2, 3, 9}, {5, 2, 3, 10}, DRIVER_FITS},
        {{5, 2, 3, 11}, {5, 2, 3, 10}, DRIVER_DDK_MISMATCH},
        {{5, 2, 4, 0}, {5, 2, 3, 10}, DRIVER_BUILD_DIFFERS},
        {{5, 2, 2, 99}, {5, 2, 3, 10}, DRIVER_BUILD_DIFFERS},
        {{5, 1, 3, 10}, {5, 2, 3, 10}, DRIVER_DDK_MISMATCH},
        {{4, 2, 3, 10}, {5, 2, 3, 10}, DRIVER_DDK_MISMATCH},
        {{6, 2, 3, 10}, {5, 2, 3, 10}, DRIVER_DDK_MISMATCH},
        {{0, 0, 0, 0}, {0, 0, 0, 0}, DRIVER_FITS},
        {{0, 0, 7, 1}, {0, 0, 0, 0}, DRIVER_BUILD_DIFFERS},
        {{0, 1, 0, 0}, {0, 0, 0, 0}, DRIVER_DDK_MISMATCH},
        {{5, 2, 3, 65535}, {5, 2, 3, 10}, DRIVER_DDK_MISMATCH},
        {{5, 2, 3, 65535}, {5, 2, 3, 65535}, DRIVER_FITS},
        // Major and minor are one value each side: 1.0 is not 0.65536.
        {{1, 0, 0, 0}, {0, 65535, 0, 0}, DRIVER_DDK_MISMATCH},
    };
    for (const Row &row : rows)
        EXPECT_EQ(row.verdict, judge_driver_level(row.driver, row.host))
            << row.driver.major << "." << row.driver.minor << "." << row.driver.build << "."
            << row.driver.revision;
}

// The kit of a row: the steps whose files it holds ("hdi drc hlp"), and
// the steps searched so far, in order.
struct KitProbe {
    const char *holds;
    std::string searched;
};

static bool probe_kit(int step, void *context) {
    KitProbe *kit = static_cast<KitProbe *>(context);
    std::string extension = deploy_steps[step].pattern + 2;
    kit->searched += (kit->searched.empty() ? "" : " ") + extension;
    return (" " + std::string(kit->holds) + " ").find(" " + extension + " ") != std::string::npos;
}

TEST(DeploySteps, RequiredFilesAreAllSearchedBeforeAnyCopy) {
    // Actions: S skipped, C copies, M missing and said, X stops.
    struct Row {
        HostRelease release;
        const char *holds;
        int stopped;
        const char *actions;
        const char *searched;
    } rows[] = {
        {ACAD2005, "hdi drc dll hlp cnt", -1, "CCCCC", "hdi drc dll hlp cnt"},
        {ACAD2004, "hdi drc dll hlp cnt", -1, "CCCCC", "hdi drc dll hlp cnt"},
        {ACAD2002, "hdi drc dll hlp cnt", -1, "CCSCC", "hdi drc hlp cnt"},
        {ACAD2002, "hdi drc", -1, "CCSMM", "hdi drc hlp cnt"},
        {RELEASE_NONE, "hdi drc", -1, "CCSMM", "hdi drc hlp cnt"},
        {ACAD2007, "hdi drc cnt", 2, "CCXSS", "hdi drc dll"},
        {ACAD2005, "drc dll hlp cnt", 0, "XSSSS", "hdi"},
        {ACAD2006, "hdi dll", 1, "CXSSS", "hdi drc"},
        {ACAD2005, "hdi drc dll cnt", -1, "CCCMC", "hdi drc dll hlp cnt"},
    };
    for (const Row &row : rows) {
        KitProbe kit = {row.holds, ""};
        StepAction actions[DEPLOY_STEP_COUNT];
        EXPECT_EQ(row.stopped, plan_deploy_steps(row.release, probe_kit, &kit, actions))
            << row.holds;
        std::string got;
        for (StepAction action : actions)
            got += "SCMX"[action];
        EXPECT_EQ(row.actions, got) << row.release << " " << row.holds;
        EXPECT_EQ(row.searched, kit.searched) << row.release << " " << row.holds;
    }
}

TEST(DeploySteps, OnlyTrueExtensionsMatch) {
    struct Row {
        const char *name;
        const char *pattern;
        bool matches;
    } rows[] = {
        {"driver.hdi", "*.hdi", true}, {"DRIVER.HDI", "*.hdi", true}, {"y.hdi_old", "*.hdi", false},
        {"x.hdix", "*.hdi", false},    {"hdi", "*.hdi", false},       {"a.drc", "*.drc", true},
        {"x.hdi.bak", "*.hdi", false}, {"res.Dll", "*.dll", true},    {".hdi", "*.hdi", true},
        {".HDI", "*.hdi", true},
    };
    for (const Row &row : rows)
        EXPECT_EQ(row.matches, long_name_matches(row.name, row.pattern)) << row.name;
}

TEST(DeploySteps, DestinationsAreNeverAtARootNorCut) {
    char out[PATH_BUFFER_SIZE];
    ASSERT_TRUE(compose_destination(out, "C:\\Acad\\drv", "x.hdi"));
    EXPECT_STREQ("C:\\Acad\\drv\\x.hdi", out);
    EXPECT_FALSE(compose_destination(out, "", "x.hdi"));
    EXPECT_STREQ("", out);
    std::string folder(253, 'f');
    EXPECT_TRUE(compose_destination(out, folder.c_str(), "x.hdi"));
    folder.push_back('f');
    EXPECT_FALSE(compose_destination(out, folder.c_str(), "x.hdi"));
}
