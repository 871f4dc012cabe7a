#include "common/win32/ErrorBox.h"

#include <windows.h>

#include "common/portable/ErrorMessages.h"

namespace hv {

void showErrorBox(const char* message) { MessageBoxA(nullptr, message, kErrorCaption, MB_OK | MB_ICONSTOP); }

}  // namespace hv
