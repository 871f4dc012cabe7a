// A UDP socket on port 2464 of a loopback address: it stands in for the remote launcher
// and hands the tests each datagram the module sends.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace hvtest {

class DatagramReceiver {
 public:
  // Binds port 2464 of the address, retrying for a while: another program's test may
  // hold the port for a moment.
  explicit DatagramReceiver(const char* address = "127.0.0.1");
  ~DatagramReceiver();
  DatagramReceiver(const DatagramReceiver&) = delete;
  DatagramReceiver& operator=(const DatagramReceiver&) = delete;

  bool bound() const { return bound_; }
  // The next datagram's bytes, or nothing when none arrives within the time.
  std::optional<std::string> next(std::chrono::milliseconds within = std::chrono::milliseconds(3000));

 private:
  std::uintptr_t socket_;
  bool bound_ = false;
};

}  // namespace hvtest
