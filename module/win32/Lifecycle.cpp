#include "module/win32/Lifecycle.h"

namespace hv {

ModuleState& moduleState() {
  static ModuleState state;
  return state;
}

void startModule() {}
void stopModule() {}

}  // namespace hv
