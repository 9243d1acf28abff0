// main() of the Qt tests: a real application on the offscreen platform, with
// its settings in a scratch folder for each test. The build runs the binary to list its
// tests without the test environment, so the platform is chosen here when
// nobody chose one.

#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>

namespace {

// Each test starts without settings, and nothing a test does reaches the
// settings of the user running it.
class TScratchSettings : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        FFolder = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, FFolder->path());
    }
    void OnTestEnd(const testing::TestInfo&) override { FFolder.reset(); }

    std::unique_ptr<QTemporaryDir> FFolder;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new TScratchSettings);
    return RUN_ALL_TESTS();
}
