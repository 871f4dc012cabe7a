#include "module/win32/LoggedErrorBox.h"

#include <string>

#include "common/win32/ErrorBox.h"

namespace hv {

void showLoggedErrorBox(LogWriter& log, const char* message) {
  std::string line = std::string("box shown: ") + message;
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  log.write(line);
  showErrorBox(message);
}

}  // namespace hv
