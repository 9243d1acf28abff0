// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/ui/ScrollbackFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <atomic>

namespace {

const QString kPrefix = QStringLiteral("scrollback-");
const QString kSuffix = QStringLiteral(".tmp");

// Several views of one process each have a file of their own.
std::atomic<unsigned> GFileCount{0};

}  // namespace

TScrollbackFile::TScrollbackFile(QString Folder) : FFolder(std::move(Folder)) {
    if (FFolder.isEmpty()) FFolder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
}

TScrollbackFile::~TScrollbackFile() {
    FFile.close();
    if (!FFile.fileName().isEmpty()) QFile::remove(FFile.fileName());
}

bool TScrollbackFile::Open() {
    if (FFile.isOpen()) return true;
    if (!QDir().mkpath(FFolder)) {
        FError = QStringLiteral("cannot create the folder %1").arg(QDir::toNativeSeparators(FFolder));
        return false;
    }
    RemoveStaleFiles();
    const QString name = kPrefix + QString::number(QCoreApplication::applicationPid()) + u'-' +
                         QString::number(GFileCount.fetch_add(1)) + kSuffix;
    FFile.setFileName(QDir(FFolder).filePath(name));
    // What the device sent is the user's alone, from the moment the file exists.
    if (!FFile.open(QIODevice::ReadWrite | QIODevice::Truncate | QIODevice::Unbuffered,
                    QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        FError = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(FFile.fileName()), FFile.errorString());
        return false;
    }
    // Where an open file's name can go (POSIX), nothing is left after a crash;
    // elsewhere the next run removes it.
    QFile::remove(FFile.fileName());
    return true;
}

// Files of runs that ended without removing theirs; a file another running
// copy holds open cannot be removed where names of open files stay.
void TScrollbackFile::RemoveStaleFiles() const {
    const QDir folder(FFolder);
    for (const QString& name : folder.entryList({kPrefix + u'*' + kSuffix}, QDir::Files)) QFile::remove(folder.filePath(name));
}

std::optional<uint64_t> TScrollbackFile::Write(const void* Data, std::size_t Bytes) {
    if (!Open()) return std::nullopt;
    const auto size = static_cast<qint64>(Bytes);
    if (!FFile.seek(static_cast<qint64>(FEnd)) || FFile.write(static_cast<const char*>(Data), size) != size) {
        FError = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(FFile.fileName()), FFile.errorString());
        return std::nullopt;
    }
    const uint64_t at = FEnd;
    FEnd += Bytes;
    return at;
}

bool TScrollbackFile::Read(uint64_t Offset, void* Data, std::size_t Bytes) {
    const auto size = static_cast<qint64>(Bytes);
    return FFile.isOpen() && FFile.seek(static_cast<qint64>(Offset)) && FFile.read(static_cast<char*>(Data), size) == size;
}
