#!/usr/bin/env bash
# Holds the shell library of the scripts (scripts/lib/common.sh) to what its callers rely on: the
# check counters and their lines, the text comparisons without CR, Windows paths, the test
# inputs' bytes (the BMP header field by field), fail's message and exit status, and the Xvfb
# helpers, where Xvfb is installed.
#
#   tests/scripts/common-test.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
lib=$PWD/scripts/lib/common.sh
. "$lib"

work=$(mktemp -d)
trap 'stop_xvfb; rm -rf "$work"' EXIT

# The library's own counters count the checks under test; these count this file's.
ok=0
bad=0
expect() {
  local name=$1
  shift
  if "$@"; then
    ok=$((ok + 1))
  else
    bad=$((bad + 1))
    echo "FAIL: $name"
  fi
}
equal() { [ "$1" = "$2" ] || { printf '  got:  %q\n  want: %q\n' "$1" "$2"; return 1; }; }

# --- check and counts -----------------------------------------------------------------------------
out=$(
  check "a true one" true
  check "a false one" false
  check "a failing comparison" [ 1 = 2 ]
  check "a passing comparison" [ 2 = 2 ]
  counts Label
)
expect "check prints FAIL lines for the failed ones only, counts prints the totals" \
  equal "$out" $'FAIL: a false one\nFAIL: a failing comparison\nLabel: 2 passed, 2 failed'
out=$(counts "Two words")
expect "counts starts from none" equal "$out" "Two words: 0 passed, 0 failed"

# --- fail -----------------------------------------------------------------------------------------
printf '. %q\nfail "the reason"\necho not reached\n' "$lib" >"$work/some-script"
status=0
msg=$(bash "$work/some-script" 2>&1) || status=$?
expect "fail exits with status 1" equal "$status" 1
expect "fail names the script and the reason, and ends it" equal "$msg" "some-script: FAILED: the reason"

# --- text comparisons -----------------------------------------------------------------------------
printf 'one\r\ntwo\r\n' >"$work/crlf"
printf 'one\ntwo\n' >"$work/lf"
printf 'one\ntwo \n' >"$work/other"
expect "text drops CR" equal "$(text "$work/crlf")" $'one\ntwo'
expect "same_text: CR LF and LF alike" same_text "$work/crlf" "$work/lf"
expect "same_text: a different line differs" bash -c ". '$lib'; ! same_text '$work/crlf' '$work/other'"
expect "same: CR LF and LF differ byte for byte" bash -c ". '$lib'; ! same '$work/crlf' '$work/lf'"
expect "same: a file is itself" same "$work/crlf" "$work/crlf"
expect "has_line: a whole line, CR aside" has_line "$work/crlf" two
expect "has_line: not part of a line" bash -c ". '$lib'; ! has_line '$work/crlf' tw"
expect "lacks_line: a line not there" lacks_line "$work/crlf" three
expect "lacks_line: not for a line there" bash -c ". '$lib'; ! lacks_line '$work/crlf' one"
echo 0 >"$work/status"
expect "status_is: the status written" status_is "$work/status" 0
expect "status_is: not another" bash -c ". '$lib'; ! status_is '$work/status' 4"
expect "absent: a file not there" absent "$work/none"
expect "absent: not for a file there" bash -c ". '$lib'; ! absent '$work/status'"

# --- Windows paths --------------------------------------------------------------------------------
expect "winpath: drive Z and backslashes" equal "$(winpath "/tmp/a b/c.bmp")" 'Z:\tmp\a b\c.bmp'

# --- Test inputs ----------------------------------------------------------------------------------
expect "le32: little-endian escapes" equal "$(le32 $((0x12345678)))" '\x78\x56\x34\x12'
pattern_bytes "$work/bytes"
expect "pattern_bytes: 2 MiB" equal "$(stat -c %s "$work/bytes")" 2097152
expect "pattern_bytes: the 256-byte pattern (i * 97 + 31) mod 256" \
  equal "$(od -An -tu1 -N4 "$work/bytes" | tr -s ' ')" " 31 128 225 66"
expect "pattern_bytes: repeats every 256 bytes" \
  cmp -s <(head -c 256 "$work/bytes") <(tail -c +257 "$work/bytes" | head -c 256)
bmp 720 72 "$work/bytes" >"$work/banner.bmp"
field() { od -An -tu"$2" -j"$1" -N"$2" "$work/banner.bmp" | tr -d ' '; }
size=$((720 * 72 * 3))
expect "bmp: the file's length" equal "$(stat -c %s "$work/banner.bmp")" $((size + 54))
expect "bmp: BM" equal "$(head -c 2 "$work/banner.bmp")" BM
expect "bmp: the file size field" equal "$(field 2 4)" $((size + 54))
expect "bmp: the pixel offset" equal "$(field 10 4)" 54
expect "bmp: the header size" equal "$(field 14 4)" 40
expect "bmp: the width" equal "$(field 18 4)" 720
expect "bmp: the height" equal "$(field 22 4)" 72
expect "bmp: one plane" equal "$(field 26 2)" 1
expect "bmp: 24 bits a pixel" equal "$(field 28 2)" 24
expect "bmp: uncompressed" equal "$(field 30 4)" 0
expect "bmp: the image size" equal "$(field 34 4)" $size
expect "bmp: 2835 pixels a metre across" equal "$(field 38 4)" 2835
expect "bmp: 2835 pixels a metre down" equal "$(field 42 4)" 2835
expect "bmp: no palette" equal "$(field 46 4)$(field 50 4)" 00
expect "bmp: the pixels are the bytes" cmp -s <(tail -c +55 "$work/banner.bmp") <(head -c $size "$work/bytes")

# --- Processes and Wine's settings ----------------------------------------------------------------
sleep 30 &
job=$!
# Once it is sleep: a shell killed before it runs the command would run this file's exit trap.
for _ in $(seq 100); do
  [ "$(cat "/proc/$job/comm" 2>/dev/null)" != sleep ] || break
  sleep 0.01
done
stop_job "$job"
expect "stop_job: the job is gone" bash -c "! kill -0 $job 2>/dev/null"
expect "stop_job: nothing for no job" stop_job ""
out=$(unset QVX_VG_ERASE_MS; QVX_VG_LATENCY_MS=3; real_generator_timing
  echo "$QVX_VG_ERASE_MS $QVX_VG_LATENCY_MS")
expect "real_generator_timing: 700 ms unless set, a set latency kept" equal "$out" "700 3"
out=$(DISPLAY=:5 WAYLAND_DISPLAY=w; wine_console /p "a=d"
  echo "$WINEPREFIX $WINEDEBUG $WINEDLLOVERRIDES ${DISPLAY-unset} ${WAYLAND_DISPLAY-unset}")
expect "wine_console: prefix, no debug, the overrides, no display" equal "$out" "/p -all a=d unset unset"
out=$(wine_prefix /q; echo "$WINEDLLOVERRIDES")
expect "wine_prefix: no Mono or Gecko by default" equal "$out" "mscoree,mshtml="
out=$(wine_arches w64 w32 "no 32"; echo "${arches[*]}")
if has_wine32; then
  expect "wine_arches: both where wine32 is installed" equal "$out" "w64 w32"
else
  expect "wine_arches: the note and the 64-bit one alone" equal "$out" $'no 32\nw64'
fi

# --- A display of its own -------------------------------------------------------------------------
if command -v Xvfb >/dev/null; then
  start_xvfb "$work"
  server=$xvfb
  expect "start_xvfb: DISPLAY names the server's socket" test -S "/tmp/.X11-unix/X${DISPLAY#:}"
  expect "start_xvfb: the server runs" kill -0 "$server"
  stop_xvfb
  expect "stop_xvfb: the server is gone" bash -c "! kill -0 $server 2>/dev/null"
  # A plain wait for a script's own jobs must not wait for the server.
  mkdir "$work/x"
  status=0
  timeout 20 bash -c ". '$lib'; start_xvfb '$work/x'; sleep 0.2 & wait; stop_xvfb" || status=$?
  [ ! -s "$work/x/xvfb.pid" ] || kill "$(cat "$work/x/xvfb.pid")" 2>/dev/null || true
  expect "start_xvfb: a plain wait does not wait for the server" equal "$status" 0
else
  echo "the Xvfb helpers: not run: Xvfb is missing"
fi

echo "Shell library: $ok passed, $bad failed"
[ "$bad" -eq 0 ]
