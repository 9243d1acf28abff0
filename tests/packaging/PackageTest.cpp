// SPDX-License-Identifier: GPL-3.0-or-later
// The Debian package: made once with CPack from this build tree, unpacked
// into a scratch root with dpkg -x, and checked with lintian,
// desktop-file-validate and appstreamcli; the programs run from there.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/ChildProcess.h"

namespace fs = std::filesystem;

namespace {

const std::string kPackageName = "ostra-console_" OSTRA_VERSION "_amd64.deb";
const char* const kAppId = "org.ostraconsole.OstraConsole";

class Package : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        fs::create_directories(Work);
        Made = RunCommand("cd '" OSTRA_BINARY_DIR "' && cpack -G DEB -B '" + Work.string() + "'");
        if (Made.Status == 0) Unpacked = RunCommand("dpkg -x '" + Deb().string() + "' '" + Root().string() + "'");
    }
    static void TearDownTestSuite() { fs::remove_all(Work); }

    void SetUp() override {
        ASSERT_EQ(Made.Status, 0) << Made.Output;
        ASSERT_EQ(Unpacked.Status, 0) << Unpacked.Output;
    }

    static fs::path Deb() { return Work / kPackageName; }
    static fs::path Root() { return Work / "root"; }

    static inline const fs::path Work = fs::temp_directory_path() / ("ostra-package-" + std::to_string(getpid()));
    static inline TCommandResult Made;
    static inline TCommandResult Unpacked;
};

TEST_F(Package, HoldsTheProgramsMenuEntryMetainfoIconsAndManualPages) {
    std::vector<std::string> files = {
        "usr/bin/ostra-console",
        "usr/bin/ostra-ports",
        "usr/bin/ostra-demo-device",
        std::string("usr/share/applications/") + kAppId + ".desktop",
        std::string("usr/share/metainfo/") + kAppId + ".metainfo.xml",
        "usr/share/man/man1/ostra-console.1.gz",
        "usr/share/man/man1/ostra-ports.1.gz",
        "usr/share/man/man1/ostra-demo-device.1.gz",
        "usr/share/doc/ostra-console/copyright",
        "usr/share/doc/ostra-console/changelog.gz",
    };
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const std::string side = std::to_string(size);
        files.push_back("usr/share/icons/hicolor/" + side + "x" + side + "/apps/ostra-console.png");
    }
    for (const std::string& file : files) EXPECT_TRUE(fs::is_regular_file(Root() / file)) << file;
    for (const char* program : {"ostra-console", "ostra-ports", "ostra-demo-device"}) {
        const auto permissions = fs::status(Root() / "usr/bin" / program).permissions();
        EXPECT_NE(permissions & fs::perms::others_exec, fs::perms::none) << program;
    }
    // Each manual page is a page man can show.
    for (const char* page : {"ostra-console", "ostra-ports", "ostra-demo-device"}) {
        const TCommandResult shown = RunCommand("MANWIDTH=80 man -l '" + (Root() / "usr/share/man/man1" / page).string() + ".1.gz'");
        EXPECT_EQ(shown.Status, 0) << shown.Output;
        EXPECT_NE(shown.Output.find(std::string(page) + " - "), std::string::npos) << shown.Output;
    }
}

TEST_F(Package, DependsOnTheLibrariesItsProgramsLinkAndTheQtPlatformPlugins) {
    const TCommandResult depends = RunCommand("dpkg-deb -f '" + Deb().string() + "' Depends");
    ASSERT_EQ(depends.Status, 0) << depends.Output;
    for (const char* package : {"libc6 (>=", "libstdc++6 (>=", "libqt6core6 (>=", "libqt6widgets6 (>=", "qt6-qpa-plugins"})
        EXPECT_NE(depends.Output.find(package), std::string::npos) << package << " in " << depends.Output;
}

TEST_F(Package, PassesTheDistributionsChecks) {
    const std::string desktop = (Root() / "usr/share/applications" / (std::string(kAppId) + ".desktop")).string();
    const TCommandResult entry = RunCommand("desktop-file-validate '" + desktop + "'");
    EXPECT_EQ(entry.Status, 0);
    EXPECT_EQ(entry.Output, "");

    const std::string metainfo = (Root() / "usr/share/metainfo" / (std::string(kAppId) + ".metainfo.xml")).string();
    const TCommandResult appstream = RunCommand("appstreamcli validate --no-net '" + metainfo + "'");
    EXPECT_EQ(appstream.Status, 0) << appstream.Output;
    std::ifstream file(metainfo);
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    for (const char* element : {"<developer_name>", "<description>", "<release ",
                                "<project_license>GPL-3.0-or-later</project_license>"})
        EXPECT_NE(text.find(element), std::string::npos) << element;
    // There is no home page, screenshot host or mail address yet, and none is made up.
    const TCommandResult addresses =
        RunCommand("grep -rlE 'https?://|@' '" + metainfo + "' '" + (Root() / "usr/share/applications").string() + "'");
    EXPECT_EQ(addresses.Output, "");
    std::ifstream copyright(Root() / "usr/share/doc/ostra-console/copyright");
    const std::string licence{std::istreambuf_iterator<char>(copyright), {}};
    EXPECT_NE(licence.find("Files: *\nCopyright: 2026 The Ostra Console developers\nLicense: GPL-3+\n"), std::string::npos)
        << licence;

    const TCommandResult lintian = RunCommand("lintian --tag-display-limit 0 '" + Deb().string() + "'");
    EXPECT_EQ(lintian.Output.find("\nE: "), std::string::npos) << lintian.Output;
    EXPECT_FALSE(lintian.Output.starts_with("E: ")) << lintian.Output;
    EXPECT_EQ(lintian.Status, 0) << lintian.Output;
}

TEST_F(Package, ItsProgramsRunFromTheScratchRoot) {
    for (const char* program : {"ostra-console", "ostra-ports", "ostra-demo-device"}) {
        const TCommandResult run =
            RunCommand("QT_QPA_PLATFORM=offscreen '" + (Root() / "usr/bin" / program).string() + "' --version");
        EXPECT_EQ(run.Status, 0) << run.Output;
        EXPECT_TRUE(run.Output.ends_with(std::string(program) + " " OSTRA_VERSION "\n")) << run.Output;
    }
}

}  // namespace
