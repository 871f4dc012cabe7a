#error "platform-free code must not include <winsock.h>: move the call behind a seam in a win32/ folder"
