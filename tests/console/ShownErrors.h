// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's tests read the messages it would show in a message box.

#include <exception>
#include <string>
#include <vector>

#include "toolkit/ui/ExceptionHandler.h"

// From now on the text of every exception shown goes to Errors instead.
inline void RecordShownErrors(std::vector<std::string>& Errors) {
    SetExceptionHandler([&Errors](std::exception_ptr Error) {
        try {
            std::rethrow_exception(Error);
        } catch (const std::exception& e) {
            Errors.emplace_back(e.what());
        }
    });
}
