// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Device handles that are our own numbers, counted up and never reused, so a
// handle kept after its close can never reach a device opened since. Each
// device is shared: a call in progress keeps it alive after its handle was
// closed, and the last one to let go closes it.

#include <memory>
#include <mutex>
#include <unordered_map>

#include "serial/device/CommBackend.h"

template <class TDevice>
class THandleTable {
public:
    // First: the first handle given; tables of different backends keep apart.
    explicit THandleTable(WinComm::HANDLE First = 1) : FNext(First) {}

    WinComm::HANDLE Add(std::shared_ptr<TDevice> Device) {
        std::lock_guard lock(FLock);
        const WinComm::HANDLE handle = FNext++;
        FDevices.emplace(handle, std::move(Device));
        return handle;
    }

    // Nothing for a handle that is not open.
    std::shared_ptr<TDevice> Find(WinComm::HANDLE Handle) const {
        std::lock_guard lock(FLock);
        const auto it = FDevices.find(Handle);
        return it == FDevices.end() ? nullptr : it->second;
    }

    std::shared_ptr<TDevice> Remove(WinComm::HANDLE Handle) {
        std::lock_guard lock(FLock);
        auto node = FDevices.extract(Handle);
        return node ? std::move(node.mapped()) : nullptr;
    }

    // Visit(const TDevice&) for each open device.
    template <class TVisit>
    void ForEach(TVisit&& Visit) const {
        std::lock_guard lock(FLock);
        for (const auto& entry : FDevices) Visit(*entry.second);
    }

private:
    mutable std::mutex FLock;
    std::unordered_map<WinComm::HANDLE, std::shared_ptr<TDevice>> FDevices;
    WinComm::HANDLE FNext;
};
