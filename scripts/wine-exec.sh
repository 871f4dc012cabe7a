#!/usr/bin/env bash
# Runs one Windows program under wine64 with the project's prefix and settings.
# Used by CTest as the cross-compiling emulator; scripts/test.sh prepares the prefix.
set -u
: "${WINEPREFIX:?set WINEPREFIX to the prefix of this project, as scripts/wine-ctest.sh does}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export LANG=C.UTF-8
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY
exec /usr/lib/wine/wine64 "$@"
