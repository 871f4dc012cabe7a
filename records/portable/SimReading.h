// One reading of the simulator: the tuned COM1 frequency and the aircraft's position.
#pragma once

#include <cstdint>

namespace hv {

struct SimReading {
  std::uint16_t frequency = 0;  // MHz x 100 (11970 is 119.70 MHz); 0 means none
  double latitude = 0.0;        // degrees, north positive
  double longitude = 0.0;       // degrees, east positive
};

}  // namespace hv
