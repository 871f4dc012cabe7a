// A stand-in for the voice program that stays running, as the real one does after its
// first start: it records its command line in "<its own path>.log" like standin_roger,
// then waits until the event "HvLingeringRogerStop" is set (at most 60 s). It inherits
// whatever inheritable handles its starter passes on.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, "HvLingeringRogerStop");

  char self[MAX_PATH * 4] = {};
  GetModuleFileNameA(nullptr, self, sizeof self - 1);
  std::string line = std::string(GetCommandLineA()) + "\n";
  for (int attempt = 0; attempt < 100; ++attempt) {
    HANDLE file = CreateFileA((std::string(self) + ".log").c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      CloseHandle(file);
      break;
    }
    Sleep(10);
  }

  if (stop) WaitForSingleObject(stop, 60000);
  return 0;
}
