// The two records the simulator looks for when it loads a module, and the two entries
// they lead to. The simulator calls the initialisation entry once after loading the
// module and the de-initialisation entry once before unloading it, both on its own thread.
#include <cstdint>

#include "common/win32/DoublePrecisionScope.h"
#include "module/win32/Lifecycle.h"

namespace {

void __stdcall initialiseModule() {
  hv::DoublePrecisionScope precision;
  hv::startModule();
}

void __stdcall deinitialiseModule() {
  hv::DoublePrecisionScope precision;
  hv::stopModule();
}

}  // namespace

extern "C" {

// Seven words, each 32 bits wide in the deliverable.
struct ModuleLinkage {
  std::uintptr_t magic;
  void(__stdcall* initialise)();
  void(__stdcall* deinitialise)();
  std::uintptr_t reserved1;
  std::uintptr_t reserved2;
  std::uintptr_t hostVersion;
  void* reserved3;
};

struct ModuleImportEntry {
  std::uint32_t identifier;
  void* pointer;
};

// The words the simulator checks in a module's records.
constexpr std::uintptr_t kLinkageMagic = 0x00000013;
constexpr std::uintptr_t kHostVersion = 0x00000800;
constexpr std::uint32_t kImportTableIdentifier = 0x0000000F;
constexpr std::uint32_t kImportTableEnd = 0x00000000;

__attribute__((used)) ModuleLinkage Linkage = {
    kLinkageMagic, &initialiseModule, &deinitialiseModule, 0, 0, kHostVersion, nullptr};

__attribute__((used)) ModuleImportEntry ImportTable[2] = {{kImportTableIdentifier, nullptr}, {kImportTableEnd, nullptr}};

}  // extern "C"
