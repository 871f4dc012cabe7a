# Sourced by the scripts that run Windows programs: a private X display, the project's
# own Wine prefix (made fresh once per run), and a wineserver that outlives each program.
#   wine_session_start PREFIX_DIR   then run programs with scripts/wine-exec.sh
#   wine_session_stop               ends every Wine process and the display
# shellcheck shell=bash

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export LANG=C.UTF-8
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY

_hv_xvfb_pid=""

wine_session_start() {
  export WINEPREFIX=$1
  local display
  for display in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ] || break
  done
  Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  _hv_xvfb_pid=$!
  export DISPLAY=":$display"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

  if [ ! -f "$WINEPREFIX/.prepared" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    /usr/lib/wine/wine64 wineboot --init </dev/null >/dev/null 2>&1
    # Without this every dialog or message box costs about two seconds under Xvfb.
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    /usr/lib/wine/wineserver -w
    touch "$WINEPREFIX/.prepared"
  fi
  # A persistent wineserver, started before anything inherits our output pipes.
  /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
  /usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1
}

wine_session_stop() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  /usr/lib/wine/wineserver -w 2>/dev/null || true
  [ -n "$_hv_xvfb_pid" ] && kill "$_hv_xvfb_pid" 2>/dev/null || true
  _hv_xvfb_pid=""
}
