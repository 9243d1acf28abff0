// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/ui/Screen.h"

#include <QCoreApplication>

namespace {

TScreen& TheScreen() {
    static TScreen screen;
    return screen;
}

// Cursors hold pixmaps, which must go before the application does.
void ReleaseCursorsAtExit() {
    qAddPostRoutine([] { TheScreen().Cursors.Clear(); });
}
Q_COREAPP_STARTUP_FUNCTION(ReleaseCursorsAtExit)

}  // namespace

TScreen* TScreenAccess::operator->() const { return &TheScreen(); }
