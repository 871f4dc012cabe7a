#include "module/win32/LoggedErrorBox.h"

#include <string>

#include "common/win32/ErrorBox.h"
#include "common/win32/LogWriter.h"

namespace hv {

void showLoggedErrorBox(const char* message) {
  std::string line = std::string("box shown: ") + message;
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  logLine(line);
  showErrorBox(message);
}

}  // namespace hv
