#error "platform-free code must not include <winreg.h>: move the call behind a seam in a win32/ folder"
