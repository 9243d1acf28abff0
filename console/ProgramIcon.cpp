// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/ProgramIcon.h"

#include <QDirIterator>

QIcon ProgramIcon() {
    QIcon icon;
    for (QDirIterator images(QStringLiteral(":/icons")); images.hasNext();) icon.addFile(images.next());
    return icon;
}
