// The one ModuleState of this process, made when the module loads.
#include "module/win32/Lifecycle.h"

namespace hv {

ModuleState& moduleState() {
  static ModuleState state;
  return state;
}

}  // namespace hv
