// Move-only owners of Win32 handles: each closes its handle when it goes out of scope.
#pragma once

#include <windows.h>

#include <utility>

namespace hv {

// Every handle type it is used for is empty when null.
template <typename Handle, auto Close>
class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(Handle h) : handle_(h) {}
  ~ScopedHandle() { reset(); }
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  Handle get() const { return handle_; }
  bool valid() const { return handle_ != nullptr; }
  explicit operator bool() const { return valid(); }
  Handle release() { return std::exchange(handle_, nullptr); }
  void reset(Handle h = nullptr) {
    if (valid()) Close(handle_);
    handle_ = h;
  }

 private:
  Handle handle_ = nullptr;
};

// Process, thread, mutex and event handles (null when empty; callers turn
// INVALID_HANDLE_VALUE results into null before storing them).
using ScopedKernelHandle = ScopedHandle<HANDLE, &CloseHandle>;
using ScopedRegKey = ScopedHandle<HKEY, &RegCloseKey>;
// Fonts, bitmaps and the other GDI objects.
using ScopedGdiObject = ScopedHandle<HGDIOBJ, &DeleteObject>;
using ScopedIcon = ScopedHandle<HICON, &DestroyIcon>;
// A menu loaded from resources, with its popups.
using ScopedMenu = ScopedHandle<HMENU, &DestroyMenu>;

}  // namespace hv
