// The stand-in IPC server: its window, its offset space and the batches it served.
#include "tests/support/SubstituteSimulator.h"

#include <cstring>
#include <thread>

#include "module/portable/SimConversions.h"

namespace hvtest {

namespace {

constexpr char kClassName[] = "UIPCMAIN";
constexpr UINT kMenuItemId = 0x7100;
constexpr UINT kDestroyRequest = WM_APP + 0x3D;
constexpr std::uint32_t kSpaceSize = 0x10000;

constexpr std::uint32_t kServerVersionOffset = 0x3304;
constexpr std::uint32_t kVersionWordOffset = 0x3308;
constexpr std::uint32_t kMenuRecordOffset = 0x2FE0;
constexpr std::uint32_t kMenuRecordMax = 1 + 255 + 1;
constexpr std::uint32_t kCom1Offset = 0x034E;
constexpr std::uint32_t kLatitudeOffset = 0x0560;
constexpr std::uint32_t kLongitudeOffset = 0x0568;

std::uint32_t word(const std::uint8_t* at) {
  std::uint32_t v;
  std::memcpy(&v, at, 4);
  return v;
}

std::uint32_t activationOffset(int index) { return SubstituteSimulator::kKeyTable + 4 * index + 3; }

bool registerClass() {
  static const bool registered = [] {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcA;  // replaced per window in create()
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    return RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

}  // namespace

bool SubstituteSimulator::Batch::hasRead(std::uint32_t offset) const {
  for (const Record& r : records)
    if (r.kind == 1 && r.offset == offset) return true;
  return false;
}

SubstituteSimulator::SubstituteSimulator() : space_(kSpaceSize, 0) {
  std::uint32_t serverVersion = 0x19990000, versionWord = 0xFADE0800;
  put(kServerVersionOffset, &serverVersion, 4);
  put(kVersionWordOffset, &versionWord, 4);
  setCom1(12280);
}

SubstituteSimulator::~SubstituteSimulator() { destroy(); }

bool SubstituteSimulator::create(const std::string& title, bool visible) {
  if (window_ || !registerClass()) return false;
  HMENU bar = CreateMenu();
  modulesMenu_ = CreatePopupMenu();
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(modulesMenu_), "&Modules");
  window_ = CreateWindowExA(0, kClassName, title.c_str(), WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0),
                            CW_USEDEFAULT, CW_USEDEFAULT, 640, 480, nullptr, bar, GetModuleHandleA(nullptr), nullptr);
  if (!window_) {
    DestroyMenu(bar);
    modulesMenu_ = nullptr;
    return false;
  }
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubstituteSimulator::windowProc));
  return true;
}

void SubstituteSimulator::destroy() {
  HWND window = window_;
  if (!window) return;
  if (IsWindow(window)) {
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId())
      DestroyWindow(window);
    else
      SendMessageA(window, kDestroyRequest, 0, 0);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  window_ = nullptr;
  modulesMenu_ = nullptr;
  menuItemShown_ = false;
}

LRESULT CALLBACK SubstituteSimulator::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<SubstituteSimulator*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!self) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case kBatchMessage:
      return self->serve(reinterpret_cast<std::uint8_t*>(lParam), static_cast<std::uint32_t>(wParam));
    case WM_COMMAND:
      if (LOWORD(wParam) == kMenuItemId) {
        std::lock_guard<std::mutex> lock(self->mutex_);
        if (self->menuSlot_ >= 0 && self->menuSlot_ < kKeyTableEntries) self->space_[activationOffset(self->menuSlot_)] = 1;
        return 0;
      }
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      self->pressKey(static_cast<std::uint8_t>(wParam), GetKeyState(VK_SHIFT) < 0 ? 2 : 1);
      if (message == WM_KEYDOWN) return 0;
      break;
    case kDestroyRequest:
      DestroyWindow(window);
      return 0;
    case WM_CLOSE:
      return 0;  // the simulator closes only when the test says so
    case WM_NCDESTROY:
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT SubstituteSimulator::serve(std::uint8_t* buffer, std::uint32_t length) {
  std::chrono::milliseconds delay;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    delay = replyDelay_;
  }
  if (delay.count() > 0) std::this_thread::sleep_for(delay);

  Batch batch;
  bool menuChanged = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!buffer) {
      served_.push_back(batch);
      return 0;
    }
    // First the whole batch is checked, so that a malformed one changes nothing.
    bool wellFormed = length > 0;
    for (std::uint32_t at = 0; wellFormed && at < length;) {
      std::uint32_t left = length - at;
      Record r;
      r.kind = left >= 4 ? word(buffer + at) : 0;
      std::uint32_t header = r.kind == 1 ? 16 : r.kind == 2 ? 12 : 0;
      if (header == 0 || left < header) {
        wellFormed = false;
        break;
      }
      r.offset = word(buffer + at + 4);
      r.size = word(buffer + at + 8);
      if (r.size > left - header || r.offset > kSpaceSize || r.size > kSpaceSize - r.offset) wellFormed = false;
      const std::uint8_t* data = buffer + at + header;
      if (wellFormed) r.data.assign(data, data + r.size);
      batch.records.push_back(std::move(r));
      at += header + (wellFormed ? batch.records.back().size : 0);
    }

    batch.reply = wellFormed ? 1 : 0;
    if (batch.reply == 1) {
      std::uint32_t at = 0;
      for (Record& r : batch.records) {
        if (r.kind == 1) {
          std::memcpy(buffer + at + 16, &space_[r.offset], r.size);
          r.data.assign(&space_[r.offset], &space_[r.offset] + r.size);
          at += 16 + r.size;
        } else {
          for (std::uint32_t i = 0; i < r.size; ++i) {
            std::uint32_t offset = r.offset + i;
            if (offset < kServerVersionOffset || offset >= kVersionWordOffset + 4)
              space_[offset] = r.data[i];  // the version words, and the client's word in them, stay
          }
          if (r.offset < kMenuRecordOffset + kMenuRecordMax && r.offset + r.size > kMenuRecordOffset) {
            menuSlot_ = space_[kMenuRecordOffset];
            const char* text = reinterpret_cast<const char*>(&space_[kMenuRecordOffset + 1]);
            menuText_.assign(text, strnlen(text, kMenuRecordMax - 2));
            menuChanged = true;
          }
          at += 12 + r.size;
        }
      }
    }
    served_.push_back(batch);
  }
  if (menuChanged) updateMenu();
  return batch.reply;
}

void SubstituteSimulator::updateMenu() {
  std::string text;
  HMENU menu;
  bool shown;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    text = menuText_;
    menu = modulesMenu_;
    shown = menuItemShown_;
  }
  if (!menu || text.empty()) return;
  if (shown)
    ModifyMenuA(menu, kMenuItemId, MF_BYCOMMAND | MF_STRING, kMenuItemId, text.c_str());
  else
    AppendMenuA(menu, MF_STRING, kMenuItemId, text.c_str());
  DrawMenuBar(window_);
  std::lock_guard<std::mutex> lock(mutex_);
  menuItemShown_ = true;
}

std::string SubstituteSimulator::menuItemText() const {
  HMENU menu;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!menuItemShown_) return {};
    menu = modulesMenu_;
  }
  char text[300] = {};
  if (!menu || GetMenuStringA(menu, kMenuItemId, text, sizeof text, MF_BYCOMMAND) <= 0) return {};
  return text;
}

bool SubstituteSimulator::pickMenuItem() {
  if (menuItemText().empty()) return false;
  SendMessageA(window_, WM_COMMAND, MAKEWPARAM(kMenuItemId, 0), 0);
  return true;
}

int SubstituteSimulator::pressKey(std::uint8_t keyCode, std::uint8_t flag) {
  std::lock_guard<std::mutex> lock(mutex_);
  int activated = 0;
  for (int i = 0; i < kKeyTableEntries; ++i) {
    const std::uint8_t* entry = &space_[kKeyTable + 4 * i];
    if (entry[0] == keyCode && entry[1] == flag) {
      space_[activationOffset(i)] = 1;
      ++activated;
    }
  }
  return activated;
}

void SubstituteSimulator::put(std::uint32_t offset, const void* data, std::uint32_t size) {
  std::memcpy(&space_[offset], data, size);
}

void SubstituteSimulator::get(std::uint32_t offset, void* data, std::uint32_t size) const {
  std::memcpy(data, &space_[offset], size);
}

void SubstituteSimulator::setCom1(std::uint16_t frequency) {
  std::uint16_t bcd = 0;
  std::lock_guard<std::mutex> lock(mutex_);
  if (hv::bcdFromFrequency(frequency, bcd)) put(kCom1Offset, &bcd, 2);
}

void SubstituteSimulator::setPosition(double latitude, double longitude) {
  setPositionFixed(hv::fixedFromLatitude(latitude), hv::fixedFromLongitude(longitude));
}

void SubstituteSimulator::setPositionFixed(std::uint64_t latitude, std::uint64_t longitude) {
  std::lock_guard<std::mutex> lock(mutex_);
  put(kLatitudeOffset, &latitude, 8);
  put(kLongitudeOffset, &longitude, 8);
}

std::uint32_t SubstituteSimulator::tableEntry(int index) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::uint32_t value;
  get(kKeyTable + 4 * index, &value, 4);
  return value;
}

void SubstituteSimulator::setTableEntry(int index, std::uint32_t value) {
  std::lock_guard<std::mutex> lock(mutex_);
  put(kKeyTable + 4 * index, &value, 4);
}

void SubstituteSimulator::setReplyDelay(std::chrono::milliseconds delay) {
  std::lock_guard<std::mutex> lock(mutex_);
  replyDelay_ = delay;
}

std::vector<SubstituteSimulator::Batch> SubstituteSimulator::servedBatches() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return served_;
}

int SubstituteSimulator::countBatches(const std::function<bool(const Batch&)>& test) const {
  std::lock_guard<std::mutex> lock(mutex_);
  int n = 0;
  for (const Batch& b : served_) n += test(b) ? 1 : 0;
  return n;
}

}  // namespace hvtest
