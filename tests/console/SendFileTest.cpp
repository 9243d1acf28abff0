// SPDX-License-Identifier: GPL-3.0-or-later
// File > Send file… on a pseudo-terminal: the far end reads what was sent.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>
#include <atomic>
#include <fstream>
#include <iterator>
#include <thread>

#include "console/SendFile.h"
#include "tests/console/ConsoleTestSupport.h"
#include "tests/support/Pty.h"

namespace {

constexpr std::size_t kFileSize = 1 << 20;

// Every byte value, in an order that shows a lost or doubled byte.
std::string EveryByteValue() {
    std::string bytes(kFileSize, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i + i / 256) & 0xFF);
    return bytes;
}

class SendFile : public TConsoleTest {
protected:
    void SetUp() override {
        TConsoleTest::SetUp();
        ShowConnectedWindow();
        QFile file(Path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(Content.data(), static_cast<qint64>(Content.size()));
    }
    void TearDown() override {
        TConsoleTest::TearDown();
        Stop = true;
        if (Reader.joinable()) Reader.join();
    }

    TSendFile& Sender() const { return Part<TSendFile>("FileSender"); }

    // Reads the far end on a thread of its own: First bytes, then, once
    // Resume is set, everything until Expected bytes have come.
    void StartReader(std::size_t First) {
        Reader = std::thread([this, First] {
            Received = Pty.Receive(First);
            Paused = true;
            while (!Stop && Received.size() < Expected) {
                if (Resume)
                    Received += Pty.Receive(Expected - Received.size(), std::chrono::milliseconds(50));
                else
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }
    std::string StopReader(std::size_t Count) {
        Expected = Count;
        Resume = true;
        Reader.join();
        return Received;
    }

    TPty Pty;
    TPortMap Map{"COM5=" + Pty.SlavePath()};
    QTemporaryDir Folder;
    QString Path = Folder.filePath("every-byte.bin");
    const std::string Content = EveryByteValue();
    std::thread Reader;
    std::string Received;
    std::atomic<bool> Paused{false};
    std::atomic<bool> Resume{false};
    std::atomic<bool> Stop{false};
    std::atomic<std::size_t> Expected{kFileSize};
};

TEST_F(SendFile, SendsEveryByteUnchangedAndSaysSo) {
    StartReader(kFileSize);
    Sender().Send(Path);
    ASSERT_TRUE(Sender().Sending());
    ASSERT_NE(Sender().Progress(), nullptr);
    EXPECT_TRUE(Sender().Progress()->isVisible());
    ASSERT_TRUE(Pump([&] { return !Sender().Sending(); }));
    const std::string received = StopReader(kFileSize);
    EXPECT_TRUE(received == Content) << "received " << received.size() << " bytes";
    const QString size = QLocale().toString(static_cast<qulonglong>(kFileSize));
    EXPECT_EQ(Sender().LastOutcome(), "Sent all " + size + " of " + size + " bytes of every-byte.bin.");
    EXPECT_EQ(Sender().Progress(), nullptr);
    EXPECT_TRUE(Errors.empty());
}

TEST_F(SendFile, CancelStopsAtABlockBoundaryAndSaysHowMuchWasSent) {
    StartReader(kFileSize / 2);
    Sender().Send(Path);
    ASSERT_TRUE(Pump([&] { return Paused.load(); }));
    ASSERT_TRUE(Pump([&] { return Sender().Progress()->value() > 0; }));
    QTest::mouseClick(Sender().Progress()->findChild<QPushButton*>(), Qt::LeftButton);
    Resume = true;
    ASSERT_TRUE(Pump([&] { return !Sender().Sending(); }));

    const QString outcome = Sender().LastOutcome();
    ASSERT_TRUE(outcome.startsWith("Cancelled after ")) << outcome.toStdString();
    const std::size_t sent = QLocale().toULongLong(outcome.section(' ', 2, 2));
    const std::size_t block =
        TFileSendJob::BlockSizeFor(Form->OrvelSerialPort1->BaudRateToInt(Form->OrvelSerialPort1->GetBaudRate()));
    EXPECT_GE(sent, kFileSize / 2);
    EXPECT_LT(sent, kFileSize);
    EXPECT_EQ(sent % block, 0u);
    const std::string received = StopReader(sent);
    EXPECT_TRUE(received == Content.substr(0, sent)) << "received " << received.size() << " of " << sent;
    EXPECT_EQ(Pty.Receive(1, std::chrono::milliseconds(200)), "");
    EXPECT_TRUE(Form->Connected());
}

enum TInterruptionKind : uint8_t { ikDisconnect, ikCloseWindow, ikDeviceGone };

struct TInterruption {
    const char* Name;
    TInterruptionKind Kind;
    const char* Outcome;  // how the window's message starts
};

class SendInterrupted : public SendFile, public testing::WithParamInterface<TInterruption> {};

// The far end stops reading, so the send is stuck in a write when the port closes.
TEST_P(SendInterrupted, EndsCleanlyAndSaysHow) {
    StartReader(64 * 1024);
    Sender().Send(Path);
    ASSERT_TRUE(Pump([&] { return Paused.load(); }));
    switch (GetParam().Kind) {
        case ikDisconnect: Click(*Form->b_Connect); break;
        case ikCloseWindow: Form->Close(); break;
        case ikDeviceGone: Pty.CloseMaster(); break;
    }
    ASSERT_TRUE(Pump([&] { return !Sender().Sending(); }));
    EXPECT_TRUE(Sender().LastOutcome().startsWith(GetParam().Outcome)) << Sender().LastOutcome().toStdString();
    EXPECT_TRUE(Pump([&] { return !Form->Connected(); }));
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    if (GetParam().Kind == ikDisconnect) {
        Connect(u"COM5");  // the port is free again
        EXPECT_TRUE(Form->Connected());
    }
}

INSTANTIATE_TEST_SUITE_P(By, SendInterrupted,
                         testing::Values(TInterruption{"Disconnect", ikDisconnect, "Cancelled after "},
                                         TInterruption{"ClosingTheWindow", ikCloseWindow, "Cancelled after "},
                                         TInterruption{"TheDeviceGoingAway", ikDeviceGone, "Stopped after "}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(SendFile, AFileThatCannotBeOpenedIsRefusedWithTheReason) {
    try {
        Sender().Send(Folder.filePath("missing.bin"));
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open " + Folder.filePath("missing.bin").toStdString() +
                                             ": No such file or directory");
    }
    EXPECT_FALSE(Sender().Sending());
    StartReader(kFileSize);
    Sender().Send(Path);  // the window is still usable
    EXPECT_TRUE(Pump([&] { return !Sender().Sending(); }));
    EXPECT_TRUE(StopReader(kFileSize) == Content);
}

// What has no end to send is refused before it is opened: a FIFO would hold
// the window until a writer came. The test holds the FIFO open itself, so
// that an open cannot hang the test.
TEST_F(SendFile, WhatIsNoRegularFileIsRefusedAtOnce) {
    const QString fifo = Folder.filePath("fifo");
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const int heldOpen = open(fifo.toLocal8Bit().constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(heldOpen, 0);
    for (const QString& path : {fifo, QStringLiteral("/dev/zero"), Folder.path()}) {
        try {
            Sender().Send(path);
            ADD_FAILURE() << path.toStdString() << ": no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot send " + path.toStdString() + ": only regular files can be sent");
        }
        EXPECT_FALSE(Sender().Sending());
    }
    close(heldOpen);
}

// A file in /proc says it is empty and still has content.
TEST_F(SendFile, AFileThatSaysItIsEmptyIsSentToItsEnd) {
    const std::string path = "/proc/version";
    std::ifstream file(path);
    const std::string content{std::istreambuf_iterator<char>(file), {}};
    ASSERT_FALSE(content.empty());
    StartReader(content.size());
    Sender().Send(QString::fromStdString(path));
    ASSERT_TRUE(Pump([&] { return !Sender().Sending(); }));
    EXPECT_EQ(StopReader(content.size()), content);
    const QString size = QLocale().toString(static_cast<qulonglong>(content.size()));
    EXPECT_EQ(Sender().LastOutcome(), "Sent all " + size + " of " + size + " bytes of version.");
}

}  // namespace
