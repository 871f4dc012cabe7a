// The stand-in IPC server: its window, its offset space and counts of the batches it served.
#include "tests/support/SubstituteSimulator.h"

#include <cmath>
#include <cstring>
#include <set>
#include <thread>
#include <utility>

#include "module/portable/SimConversions.h"

namespace hvtest {

namespace {

constexpr UINT kBatchMessage = 0x047F;
constexpr UINT kMenuItemId = 0x7100;
constexpr UINT kDestroyRequest = WM_APP + 0x3D;
constexpr std::uint32_t kSpaceSize = 0x10000;
constexpr std::uint32_t kServerVersionOffset = 0x3304;
constexpr std::uint32_t kVersionWordOffset = 0x3308;
constexpr std::uint32_t kKeyTable = 0x3210;
constexpr int kKeyTableEntries = 56;
constexpr std::uint32_t kMenuRecordOffset = 0x2FE0;
constexpr std::uint32_t kMenuRecordMax = 1 + 255 + 1;

// Degrees in the simulator's 64-bit fixed point (see hv::latitudeFromFixed): units as a
// whole part and a fraction of 2^32, the whole part wrapping modulo 2^32, so that the
// longitudes 180 and -180 give the same value.
std::uint64_t fixedFromUnits(double units) {
  constexpr double kTwo32 = 4294967296.0;
  double whole = std::floor(units), fraction = std::round((units - whole) * kTwo32);
  if (fraction >= kTwo32) whole += 1.0, fraction = 0.0;
  return std::uint64_t{static_cast<std::uint32_t>(static_cast<std::int64_t>(whole))} << 32 |
         static_cast<std::uint32_t>(fraction);
}

std::uint32_t word(const std::uint8_t* at) {
  std::uint32_t v;
  std::memcpy(&v, at, 4);
  return v;
}

}  // namespace

SubstituteSimulator::SubstituteSimulator() : space_(kSpaceSize, 0) {
  const std::uint32_t versions[] = {0x19990000, 0xFADE0800};
  put(kServerVersionOffset, versions, 8);
  setCom1(12280);
}

bool SubstituteSimulator::create() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = &SubstituteSimulator::windowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "UIPCMAIN";
  RegisterClassA(&wc);  // fails harmlessly when an earlier window registered it
  HMENU bar = CreateMenu();
  modulesMenu_ = CreatePopupMenu();
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(modulesMenu_), "&Modules");
  window_ = CreateWindowExA(0, "UIPCMAIN", "Substitute simulator", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                            640, 480, nullptr, bar, GetModuleHandleA(nullptr), nullptr);
  if (!window_) return DestroyMenu(bar), false;
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  return true;
}

// From another thread too: the owner thread, pumping, destroys it.
void SubstituteSimulator::destroy() {
  if (window_) SendMessageA(std::exchange(window_, nullptr), kDestroyRequest, 0, 0);
}

LRESULT CALLBACK SubstituteSimulator::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<SubstituteSimulator*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self && message == kBatchMessage)
    return self->serve(reinterpret_cast<std::uint8_t*>(lParam), static_cast<std::uint32_t>(wParam));
  if (self && message == WM_COMMAND && LOWORD(wParam) == kMenuItemId) {
    std::lock_guard<std::mutex> lock(self->mutex_);
    const std::uint8_t slot = self->space_[kMenuRecordOffset];
    if (slot < kKeyTableEntries) self->space_[kKeyTable + 4 * slot + 3] = 1;
    return 0;
  }
  if (message == kDestroyRequest) return DestroyWindow(window), 0;
  if (message == WM_CLOSE) return 0;  // the simulator closes only when the test says so
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT SubstituteSimulator::serve(std::uint8_t* buffer, std::uint32_t length) {
  std::this_thread::sleep_for(replyDelay_.load());
  std::lock_guard<std::mutex> lock(mutex_);
  // Executed on copies of the space and the batch, kept only when the whole batch was well formed.
  std::vector<std::uint8_t> space = space_, batch(buffer, buffer + (buffer ? length : 0));
  std::set<std::uint32_t> read;
  bool wellFormed = buffer && length > 0;
  for (std::uint32_t at = 0; wellFormed && at < length;) {
    const std::uint32_t left = length - at, kind = left >= 4 ? word(&batch[at]) : 0;
    const std::uint32_t header = kind == 1 ? 16 : kind == 2 ? 12 : 0;
    wellFormed = header != 0 && left >= header;
    const std::uint32_t offset = wellFormed ? word(&batch[at + 4]) : 0, size = wellFormed ? word(&batch[at + 8]) : 0;
    if (wellFormed && kind == 1) read.insert(offset);
    wellFormed = wellFormed && size <= left - header && offset <= kSpaceSize && size <= kSpaceSize - offset;
    if (wellFormed && kind == 1) std::memcpy(&batch[at + 16], &space[offset], size);
    for (std::uint32_t i = 0; wellFormed && kind == 2 && i < size; ++i)  // the version words, and the client's word in them, stay
      if (offset + i < kServerVersionOffset || offset + i >= kVersionWordOffset + 4) space[offset + i] = batch[at + 12 + i];
    at += header + size;
  }
  for (std::uint32_t offset : read) ++batchesReading_[offset];
  if (!wellFormed) return ++malformed_, 0;
  std::memcpy(buffer, batch.data(), length);
  space_.swap(space);
  const char* text = reinterpret_cast<const char*>(&space_[kMenuRecordOffset + 1]);
  const std::string menuText(text, strnlen(text, kMenuRecordMax - 2));
  if (!menuText.empty() && std::memcmp(&space[kMenuRecordOffset], &space_[kMenuRecordOffset], kMenuRecordMax) != 0) {
    if (!ModifyMenuA(modulesMenu_, kMenuItemId, MF_BYCOMMAND | MF_STRING, kMenuItemId, menuText.c_str()))
      AppendMenuA(modulesMenu_, MF_STRING, kMenuItemId, menuText.c_str());
    DrawMenuBar(window_);
  }
  return 1;
}

std::string SubstituteSimulator::menuItemText() const {
  char text[300] = {};
  return modulesMenu_ && GetMenuStringA(modulesMenu_, kMenuItemId, text, sizeof text, MF_BYCOMMAND) > 0 ? text : "";
}

bool SubstituteSimulator::pickMenuItem() {
  return !menuItemText().empty() && (SendMessageA(window_, WM_COMMAND, MAKEWPARAM(kMenuItemId, 0), 0), true);
}

int SubstituteSimulator::pressKey(std::uint8_t keyCode) {
  std::lock_guard<std::mutex> lock(mutex_);
  int activated = 0;
  for (std::uint32_t entry = kKeyTable; entry < kKeyTable + 4 * kKeyTableEntries; entry += 4)
    if (space_[entry] == keyCode && space_[entry + 1] == 1) space_[entry + 3] = 1, ++activated;
  return activated;
}

void SubstituteSimulator::put(std::uint32_t offset, const void* data, std::uint32_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::memcpy(&space_[offset], data, size);
}

void SubstituteSimulator::setCom1(std::uint16_t frequency) {
  std::uint16_t bcd = 0;
  if (hv::bcdFromFrequency(frequency, bcd)) put(0x034E, &bcd, 2);
}

void SubstituteSimulator::setPosition(double latitude, double longitude) {
  setPositionFixed(fixedFromUnits(latitude * 10001750.0 / 90.0), fixedFromUnits(longitude * 4294967296.0 / 360.0));
}

void SubstituteSimulator::setPositionFixed(std::uint64_t latitude, std::uint64_t longitude) {
  const std::uint64_t both[] = {latitude, longitude};
  put(0x0560, both, 16);
}

std::uint32_t SubstituteSimulator::tableEntry(int index) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return word(&space_[kKeyTable + 4 * index]);
}

void SubstituteSimulator::setTableEntry(int index, std::uint32_t value) { put(kKeyTable + 4 * index, &value, 4); }

int SubstituteSimulator::malformedBatches() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return malformed_;
}

int SubstituteSimulator::batchesReading(std::uint32_t offset) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = batchesReading_.find(offset);
  return found == batchesReading_.end() ? 0 : found->second;
}

}  // namespace hvtest
