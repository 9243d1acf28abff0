// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The progress dialog of a send or a transfer: shown at once, kept open
// until its owner deletes it, Cancel handed to OnCancel.

#include <QProgressDialog>
#include <cstdint>
#include <functional>

// Steps of the bar from empty to full.
inline constexpr int kProgressSteps = 1000;

// A count of bytes with the digit grouping of the user's locale.
QString CountText(uint64_t Count);

QProgressDialog* NewProgressDialog(QWidget* Parent, const QString& Title, std::function<void()> OnCancel);
