// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/ProgressDialog.h"

#include <QLocale>

QString CountText(uint64_t Count) { return QLocale().toString(static_cast<qulonglong>(Count)); }

QProgressDialog* NewProgressDialog(QWidget* Parent, const QString& Title, std::function<void()> OnCancel) {
    auto* dialog = new QProgressDialog(Parent);
    dialog->setWindowTitle(Title);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setMinimumDuration(0);
    dialog->setRange(0, kProgressSteps);
    QObject::connect(dialog, &QProgressDialog::canceled, Parent, std::move(OnCancel));
    return dialog;
}
