// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/ui/ExceptionHandler.h"

#include <QtGlobal>
#include <utility>

namespace {

void WarnAbout(std::exception_ptr Error) {
    try {
        std::rethrow_exception(Error);
    } catch (const std::exception& e) {
        qWarning("Unhandled exception: %s", e.what());
    } catch (...) {
        qWarning("Unhandled exception of an unknown type");
    }
}

TExceptionHandler& Handler() {
    static TExceptionHandler handler = WarnAbout;
    return handler;
}

}  // namespace

TExceptionHandler SetExceptionHandler(TExceptionHandler Value) { return std::exchange(Handler(), std::move(Value)); }

void RunHandled(const std::function<void()>& Work) {
    try {
        Work();
    } catch (...) {
        Handler()(std::current_exception());
    }
}
