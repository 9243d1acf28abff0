// SPDX-License-Identifier: GPL-3.0-or-later
// main() of the Qt tests: a real application on the offscreen platform, with
// its settings in a scratch folder for each test. The build runs the binary to list its
// tests without the test environment, so the platform is chosen here when
// nobody chose one.

#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <filesystem>
#include <string>

namespace {

// Each test starts without settings, and nothing a test does reaches the
// settings of the user running it.
// The folder is named by the process and a count rather than by Qt's random
// names: the static Qt of the Windows build faults in its random generator
// under Wine in some of the test programs.
class TScratchSettings : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        FFolder = std::filesystem::temp_directory_path() /
                  ("ostra-settings-" + std::to_string(QCoreApplication::applicationPid()) + "-" + std::to_string(++FCount));
        std::filesystem::remove_all(FFolder);
        std::filesystem::create_directories(FFolder);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdU16String(FFolder.u16string()));
    }
    void OnTestEnd(const testing::TestInfo&) override {
        std::error_code ignored;
        std::filesystem::remove_all(FFolder, ignored);
    }

    std::filesystem::path FFolder;
    int FCount = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new TScratchSettings);
    return RUN_ALL_TESTS();
}
