# Sourced by the scripts that run 32-bit Windows programs (the shipped i686 deliverables,
# the installer): 32-bit Wine in a WoW64 prefix of the project's own, under an X display
# of its own. Where the kernel cannot run 32-bit Linux programs (no IA-32 emulation),
# 32-bit Wine runs under qemu's user-mode emulator, registered with binfmt_misc.
#
#   wine32_enable_i386           root: makes i386 programs runnable (qemu only if needed);
#                                sets WINE32_EMULATED=1 or 0. With HV_WINE32_EMULATE=1 the
#                                calling script must run in a private user and mount
#                                namespace (wine32_private_namespace): qemu is then
#                                registered there only, even where the kernel runs them
#                                itself (Linux 6.7 or later)
#   wine32_session_start PREFIX  Xvfb, the prefix (made once, a few minutes), wineserver
#   wine32_run SECONDS PROGRAM [ARGS...]
#                                runs one Windows program (32- or 64-bit), killed after
#                                SECONDS; its exit status, or 124 on time-out
#   wine32_session_stop          ends every Wine process of the prefix and the display
#
# Under emulation each 32-bit process start costs about a minute: keep them few.
# shellcheck shell=bash

# shellcheck source=scripts/wine-session.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-session.sh"

# The emulated CPU: a Pentium III (SSE, no SSE2), the floor of the pilots' PCs.
export QEMU_CPU=${QEMU_CPU:-pentium3}

_wine32_binfmt=/proc/sys/fs/binfmt_misc

# Writes a line to a file of /proc as root (through sudo when not root).
_wine32_write() {
  if [ "$(id -u)" -eq 0 ]; then echo "$2" >"$1"; else echo "$2" | sudo tee "$1" >/dev/null; fi
}

# Whether the kernel runs an i386 program itself, with any qemu entry switched off
# for the test (binfmt_misc entries are tried before the kernel's own ELF loader).
_wine32_native() {
  [ "${HV_WINE32_EMULATE:-0}" = 1 ] && return 1
  local entry=$_wine32_binfmt/qemu-i386 was_on="" status
  if [ -e "$entry" ] && head -1 "$entry" | grep -q enabled; then _wine32_write "$entry" 0; was_on=1; fi
  /usr/lib/wine/wine --version >/dev/null 2>&1
  status=$?
  [ -n "$was_on" ] && _wine32_write "$entry" 1
  return $status
}

# Re-runs the calling script in a user and mount namespace of its own, where a
# binfmt_misc registration stays private: usage: wine32_private_namespace "$0" "$@".
wine32_private_namespace() {
  [ -n "${_WINE32_PRIVATE:-}" ] && return 0
  _WINE32_PRIVATE=1 exec unshare --user --map-root-user --mount "$@"
}

wine32_enable_i386() {
  if [ -n "${_WINE32_PRIVATE:-}" ]; then
    # A binfmt_misc instance of this namespace alone.
    mount -t binfmt_misc binfmt_misc "$_wine32_binfmt"
  elif _wine32_native; then
    WINE32_EMULATED=0
    export WINE32_EMULATED
    # An i386 entry would be tried before the kernel's own loader: pure slowdown here.
    if [ -e "$_wine32_binfmt/qemu-i386" ] && head -1 "$_wine32_binfmt/qemu-i386" | grep -q enabled; then
      echo "the kernel runs i386 programs itself: binfmt entry qemu-i386 switched off" >&2
      _wine32_write "$_wine32_binfmt/qemu-i386" 0
    fi
    return 0
  fi
  WINE32_EMULATED=1
  export WINE32_EMULATED
  if [ ! -e "$_wine32_binfmt/register" ]; then
    if [ "$(id -u)" -eq 0 ]; then mount -t binfmt_misc binfmt_misc "$_wine32_binfmt"
    else sudo mount -t binfmt_misc binfmt_misc "$_wine32_binfmt"; fi
  fi
  # Flag F: the kernel opens the interpreter now, so it is found from any mount namespace.
  local wanted=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F'
  if [ -e "$_wine32_binfmt/qemu-i386" ]; then
    if grep -q '^interpreter /usr/bin/qemu-i386-static' "$_wine32_binfmt/qemu-i386"; then
      _wine32_write "$_wine32_binfmt/qemu-i386" 1
      return 0
    fi
    _wine32_write "$_wine32_binfmt/qemu-i386" -1   # someone else's entry: replaced by ours
  fi
  _wine32_write "$_wine32_binfmt/register" "$wanted"
}

# The display, the prefix and the wineserver are those of the 64-bit session: a WoW64
# prefix made by wine64 holds the 32-bit side too (syswow64; under emulation its set-up
# takes about 3.5 minutes).
wine32_session_start() { wine_session_start "$1"; }

wine32_run() {
  local limit=$1
  shift
  timeout --kill-after=10 "$limit" /usr/bin/wine "$@"
}

wine32_session_stop() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  # An emulated process still starting up has not reached the wineserver yet and
  # outlives it: end those of this prefix too.
  local environ pid
  for environ in /proc/[0-9]*/environ; do
    pid=${environ#/proc/}
    pid=${pid%/environ}
    case $(readlink "/proc/$pid/exe" 2>/dev/null) in
      /usr/bin/qemu-i386-static | /usr/lib/wine/wine | /usr/lib/wine/wine64) ;;
      *) continue ;;
    esac
    tr '\0' '\n' <"$environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && kill -9 "$pid" 2>/dev/null
  done
  wine_session_stop
}
