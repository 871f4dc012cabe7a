// The module's readings of and writes to the simulator through its IPC client.
#include "module/win32/SimulatorLink.h"

#include "module/portable/SimBatch.h"
#include "module/portable/SimConversions.h"

namespace hv {

namespace {

constexpr std::uint32_t kCom1Offset = 0x034E;
constexpr std::uint32_t kLatitudeOffset = 0x0560;
constexpr std::uint32_t kLongitudeOffset = 0x0568;

}  // namespace

bool readSimulator(SimIpcClient& simulator, SimReading& reading) {
  std::uint16_t com1 = 0;
  std::uint64_t latitude = 0, longitude = 0;
  std::uint32_t error = 0;
  bool queued = simulator.read(kCom1Offset, 2, &com1, error) && simulator.read(kLatitudeOffset, 8, &latitude, error) &&
                simulator.read(kLongitudeOffset, 8, &longitude, error);
  // Whatever was queued is processed, which also ends this thread's batch.
  if (!simulator.process(error) || !queued) return false;
  reading.frequency = frequencyFromBcd(com1);
  reading.latitude = latitudeFromFixed(latitude);
  reading.longitude = longitudeFromFixed(longitude);
  return true;
}

std::uint32_t tuneCom1(SimIpcClient& simulator, std::uint16_t frequency) {
  std::uint16_t bcd = 0;
  if (!bcdFromFrequency(frequency, bcd)) return kSimEmptyBatch;
  std::uint32_t error = 0;
  if (!simulator.write(kCom1Offset, 2, &bcd, error)) return error;
  simulator.process(error);
  return error;
}

}  // namespace hv
