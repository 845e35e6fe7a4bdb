// SPDX-License-Identifier: MIT
#include "platform/win32/win32_clock.h"

#include <windows.h>

namespace platform {

LocalTime Win32Clock::now() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace platform
