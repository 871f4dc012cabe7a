// Planted fault for the import check: a DLL importing GetTickCount64, which the allow-list
// records as Windows Vista, and InitializeSRWLock (also Vista), which it does not list.
// Declared here because the i686 build's headers stop at Windows XP.
extern "C" __declspec(dllimport) unsigned long long __stdcall GetTickCount64();
extern "C" __declspec(dllimport) void __stdcall InitializeSRWLock(void** lock);

extern "C" __declspec(dllexport) unsigned long long PlantedTicks(void** lock) {
  InitializeSRWLock(lock);
  return GetTickCount64();
}
