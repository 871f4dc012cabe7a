// The module's control status, as stored and as reported to other add-ons.
#pragma once

#include <cstdint>

namespace hv {

enum ControlStatus : std::uint32_t {
  Off = 0,                    // reported while control is switched off; never stored
  NoStation = 1,
  Joined = 2,
  OutOfRange = 4,
  Waiting = 65534,
  RogerWilcoMissing = 65535,
};

}  // namespace hv
