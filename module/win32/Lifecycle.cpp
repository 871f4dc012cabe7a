#include "module/win32/Lifecycle.h"

namespace hv {

// Start-up and shutdown land here once the worker loop and feed threads exist.
void startModule() {}
void stopModule() {}

}  // namespace hv
