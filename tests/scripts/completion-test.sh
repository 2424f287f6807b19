#!/usr/bin/env bash
# The bash completion of qvx5120-load as built (its kind words written from the kind table), asked
# as bash asks it: the operations, the slots the program's --help gives, the tones, the kinds an
# erase takes, and the files each kind's file dialog offers.
#
#   tests/scripts/completion-test.sh COMPLETION QVX5120_LOAD
set -euo pipefail
completion=$1
load=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
touch "$work/a.bmp" "$work/b.tst" "$work/c.toml" "$work/d.txt"
cd "$work"
shopt -s extglob
. "$completion"

failures=0
# offers "WORD..." WANTED: completing the words (the last one partly typed) gives WANTED.
offers() {
  COMP_WORDS=("$load" $1)
  [[ $1 == *" " || -z $1 ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _qvx5120_load || true  # compgen says 1 when it finds nothing
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
  got=${got% }
  if [[ $got != "$2" ]]; then
    echo "FAIL: after '$1': got '$got', want '$2'"
    failures=$((failures + 1))
  fi
}

offers "p" "pattern picture"
offers "erase " "banner countdown pattern picture"
offers "picture " "1 2"
offers "banner " "1 2 3 4 5 6 7 8"
offers "pattern 1" "1 10 11 12 13 14 15"
offers "pattern 3 " "b.tst"
offers "banner 2 " "a.bmp"
offers "countdown " "a.bmp"
offers "audio 1000" "1000Hz"
offers "audio 1000Hz -6 Sil" "Silence"
offers "erase pattern " "0 1 10 11 12 13 14 15 2 3 4 5 6 7 8 9"
offers "--set " "c.toml"
((failures == 0)) && echo "completion: all checks passed"
exit $((failures > 0))
