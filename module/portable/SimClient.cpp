// The IPC client's operations over a SimBatch and a SimServerLink.
#include "module/portable/SimClient.h"

namespace hv {

bool SimClient::open(std::uint16_t requested, std::uint32_t& error, void* buffer, std::uint32_t size) {
  if (isOpen()) {
    error = kSimAlreadyOpen;
    return false;
  }
  if (!buffer || size < kSimMinBuffer) {
    error = kSimBadBuffer;
    return false;
  }
  server_ = link_.find ? link_.find(link_.context) : 0;
  if (!server_) {
    error = kSimNoServer;
    return false;
  }
  batch_.attach(static_cast<unsigned char*>(buffer), size);

  // The write to 0x330A overlaps the high half of the word at 0x3308; queued after the
  // read, it cannot hide the marker from it.
  std::uint32_t serverVersion = 0, versionWord = 0;
  std::uint16_t simulatorVersion = 0;
  const std::uint16_t clientWord = kSimClientWord;
  if (!read(kSimServerVersionOffset, 4, &serverVersion, error) ||
      !read(kSimVersionWordOffset, 4, &versionWord, error) ||
      !write(kSimClientWordOffset, 2, &clientWord, error) || !process(error)) {
    close();
    return false;
  }
  error = checkServerIdentity(serverVersion, versionWord, requested, simulatorVersion);
  if (error != kSimOk) {
    close();
    return false;
  }
  return true;
}

bool SimClient::read(std::uint32_t offset, std::uint32_t size, void* destination, std::uint32_t& error) {
  error = batch_.queueRead(offset, size, destination);
  return error == kSimOk;
}

bool SimClient::write(std::uint32_t offset, std::uint32_t size, const void* source, std::uint32_t& error) {
  error = batch_.queueWrite(offset, size, source);
  return error == kSimOk;
}

bool SimClient::process(std::uint32_t& error) {
  if (!isOpen()) {
    error = kSimNotOpen;
    return false;
  }
  if (batch_.empty()) {
    error = kSimEmptyBatch;
    return false;
  }
  batch_.seal();
  std::intptr_t reply = link_.send ? link_.send(link_.context, server_, batch_.buffer(), batch_.length()) : 0;
  error = batch_.complete(reply);
  return error == kSimOk;
}

void SimClient::close() {
  batch_.detach();
  server_ = 0;
}

}  // namespace hv
