// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A file that takes the oldest text of a long session so memory stays
// bounded. It lives in the user's cache folder (or one given), is named per
// process, and is gone when closed; where the system allows, its name is
// removed as soon as it is open, so a crash leaves nothing behind. Files an
// earlier run left are removed when a new one is opened.

#include <QFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>

class TScrollbackFile {
public:
    // An empty Folder: the user's cache folder.
    explicit TScrollbackFile(QString Folder);
    ~TScrollbackFile();
    TScrollbackFile(const TScrollbackFile&) = delete;
    TScrollbackFile& operator=(const TScrollbackFile&) = delete;

    // Adds Bytes at End; where they went, or nothing when the file cannot take them.
    std::optional<uint64_t> Write(const void* Data, std::size_t Bytes);
    bool Read(uint64_t Offset, void* Data, std::size_t Bytes);
    // Forgets what lies from Offset on; it is written over next.
    void Rewind(uint64_t Offset) { FEnd = Offset; }
    // Why the last write failed.
    const QString& Error() const { return FError; }
    // Where the file is (its name may already be gone).
    QString Path() const { return FFile.fileName(); }

private:
    bool Open();
    void RemoveStaleFiles() const;

    QString FFolder;
    QFile FFile;
    uint64_t FEnd = 0;
    QString FError;
};
