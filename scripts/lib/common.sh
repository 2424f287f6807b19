# Shell helpers shared by the scripts and the benchmarks. Sourced, never run:
#   . "$(dirname "$0")/lib/common.sh"                from scripts/
#   . "$(dirname "$0")/../scripts/lib/common.sh"     from bench/
# It defines functions and the check counters only; it changes no option and no directory.

# --- Debian packages --------------------------------------------------------------------------------

# installed PACKAGE: whether the Debian package is installed.
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# as_root COMMAND...: the command as root, through sudo when not root already.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# apt_install PACKAGE...: installs the packages, quietly and without their recommendations.
apt_install() {
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "$@"
}

# install_missing PACKAGE...: installs those of the packages that are not installed yet (one
# apt-get update and one install); nothing when all are there.
install_missing() {
  local p missing=()
  for p in "$@"; do
    installed "$p" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  as_root apt-get update -qq
  apt_install "${missing[@]}"
}

# --- Checks ---------------------------------------------------------------------------------------

# fail MESSAGE: says that the script failed and why, and ends it.
fail() {
  echo "${0##*/}: FAILED: $*" >&2
  exit 1
}

# check NAME COMMAND...: one named check, counted in passed or failed; a failed one prints
# "FAIL: NAME".
passed=0
failed=0
check() {
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: $name"
  fi
}
# counts LABEL: the closing line of the checks, "LABEL: N passed, N failed".
counts() { echo "$1: $passed passed, $failed failed"; }

same() { cmp -s "$1" "$2"; }
# Windows consoles end lines in CR LF; the text is compared without them.
text() { tr -d '\r' <"$1"; }
same_text() { cmp -s <(text "$1") <(text "$2"); }
status_is() { [ "$(cat "$1")" = "$2" ]; }
absent() { [ ! -e "$1" ]; }
# has_line FILE LINE: the file (CR aside) has that whole line; lacks_line: it has not.
has_line() { text "$1" | grep -qxF -- "$2"; }
lacks_line() { ! has_line "$1" "$2"; }

# --- Test inputs ----------------------------------------------------------------------------------

# le32 N: N as four little-endian bytes, in printf's escapes.
le32() {
  printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) \
    $(($1 >> 16 & 255)) $(($1 >> 24 & 255))
}
# pattern_bytes FILE: 2 MiB of a repeating 256-byte pattern, the inputs' content.
pattern_bytes() {
  local i block
  block=$(for i in {0..255}; do printf '\\x%02x' $(((i * 97 + 31) % 256)); done)
  printf "$block" >"$1"
  for i in {1..13}; do cat "$1" "$1" >"$1.2" && mv "$1.2" "$1"; done
}
# bmp WIDTH HEIGHT BYTES: a 24-bit uncompressed BMP whose pixels are the first bytes of BYTES.
bmp() {
  local size=$(($1 * $2 * 3))
  printf "BM$(le32 $((size + 54)))$(le32 0)$(le32 54)$(le32 40)$(le32 "$1")$(le32 "$2")"
  printf "\\x01\\x00\\x18\\x00$(le32 0)$(le32 $size)$(le32 2835)$(le32 2835)$(le32 0)$(le32 0)"
  head -c $size "$3"
}

# --- Processes ------------------------------------------------------------------------------------

# stop_job PID: ends a background job of this shell and waits for it; nothing for an empty PID.
stop_job() {
  [ -n "$1" ] || return 0
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

# real_generator_timing: the virtual generator with a real generator's timing, 700 ms per flash
# step and the FTDI chip's 16 ms latency, unless QVX_VG_ERASE_MS or QVX_VG_LATENCY_MS are set.
real_generator_timing() {
  export QVX_VG_ERASE_MS=${QVX_VG_ERASE_MS:-700} QVX_VG_LATENCY_MS=${QVX_VG_LATENCY_MS:-16}
}

# --- A display of its own -------------------------------------------------------------------------

# start_xvfb DIR: an Xvfb on the first free display number, which it writes to DIR/display once it
# takes connections; sets DISPLAY, and xvfb to its process id. It is no child of this shell, so a
# plain `wait` for the script's own jobs does not wait for it; stop_xvfb stops it.
xvfb=
start_xvfb() {
  local dir=$1
  (Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" >/dev/null \
    2>"$dir/xvfb.log" & echo $! >"$dir/xvfb.pid")
  xvfb=$(cat "$dir/xvfb.pid")
  for _ in $(seq 200); do
    [ -s "$dir/display" ] && break
    if ! kill -0 "$xvfb" 2>/dev/null; then
      cat "$dir/xvfb.log" >&2
      exit 1
    fi
    sleep 0.05
  done
  if [ ! -s "$dir/display" ]; then
    echo "Xvfb did not start" >&2
    exit 1
  fi
  export DISPLAY=":$(cat "$dir/display")"
}
# stop_xvfb: stops the Xvfb of start_xvfb, if any, and waits (up to 5 s) until it is gone.
stop_xvfb() {
  [ -n "$xvfb" ] || return 0
  kill "$xvfb" 2>/dev/null || true
  for _ in $(seq 100); do
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.05
  done
  xvfb=
}

# --- Wine -----------------------------------------------------------------------------------------

# wine_prefix DIR [DLL OVERRIDES]: Wine's settings for the programs run here: the prefix DIR,
# no debug channels, and no Mono or Gecko (the default overrides).
wine_prefix() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES=${2:-mscoree,mshtml=}
}
# wine_console PREFIX [DLL OVERRIDES]: wine_prefix for console programs: no display either.
wine_console() {
  wine_prefix "$@"
  unset DISPLAY WAYLAND_DISPLAY
}
# wine_init: makes the prefix when it does not exist yet.
wine_init() { [ -d "$WINEPREFIX" ] || wineboot --init >/dev/null 2>&1; }
# wine_unmanaged: no window manager runs on the display. Wine by default lets one manage the
# top-level windows, and then waits 2 s for it to map each one shown (every file dialog and box),
# with the window's thread blocked; unmanaged windows it maps itself at once.
wine_unmanaged() {
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
}
stop_wine() { wineserver -k 2>/dev/null || true; }
# has_wine32: whether the 32-bit Wine is installed, which the 32-bit programs need to run.
has_wine32() { installed wine32:i386; }
# wine_arches NAME-64 NAME-32 [NOTE]: the array arches, of the 64-bit name and, where the 32-bit
# Wine is installed, the 32-bit one; where it is not, NOTE (if given) is printed.
wine_arches() {
  arches=("$1")
  if has_wine32; then
    arches+=("$2")
  elif [ -n "${3:-}" ]; then
    echo "$3"
  fi
}
# winpath PATH: a Linux path as Windows programs under Wine name it.
winpath() { printf 'Z:%s' "${1//\//\\}"; }
