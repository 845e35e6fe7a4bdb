// SPDX-License-Identifier: MIT
// Text between the program's UTF-8 and the UTF-16 of Windows' own calls.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// UTF-8 to UTF-16 and back; invalid input turns into U+FFFD.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

}  // namespace platform
