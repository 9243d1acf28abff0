// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/device/CommBackend.h"

#include <atomic>

namespace WinComm {

namespace {
std::atomic<TCommBackend*> SwappedIn{nullptr};
}

TCommBackend& CommBackend() {
    TCommBackend* backend = SwappedIn.load(std::memory_order_acquire);
    return backend ? *backend : PlatformCommBackend();
}

void SetCommBackend(TCommBackend* Backend) { SwappedIn.store(Backend, std::memory_order_release); }

}  // namespace WinComm
