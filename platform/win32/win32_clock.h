// SPDX-License-Identifier: MIT
// The local clock on Windows, as every Windows program reads it: the
// system's own time zone, whatever the C runtime makes of TZ.
#pragma once

#include "platform/platform.h"

namespace platform {

class Win32Clock : public Clock {
  public:
    LocalTime now() override;
};

}  // namespace platform
