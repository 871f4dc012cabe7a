// A stand-in for the voice program: it records the command line it was started with,
// one line per start, in the file "<its own path>.log", and ends at once; or, while the
// event "HvLingeringRogerStop" exists, stays running until it is set (at most 60 s), as
// the voice program does after its first start, holding what handles it inherited.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char self[MAX_PATH * 4] = {};
  GetModuleFileNameA(nullptr, self, sizeof self - 1);
  std::string log = std::string(self) + ".log";
  std::string line = std::string(GetCommandLineA()) + "\n";

  // Several starts can overlap; appending in one write keeps their lines whole. The file
  // is shared: a reader's handle may be open, even one this process inherited.
  for (int attempt = 0; attempt < 500; ++attempt) {
    HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      CloseHandle(file);
      if (HANDLE linger = OpenEventA(SYNCHRONIZE, FALSE, "HvLingeringRogerStop")) WaitForSingleObject(linger, 60000);
      return 0;
    }
    Sleep(10);
  }
  return 1;
}
