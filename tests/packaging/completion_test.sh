#!/usr/bin/env bash
# completion_test.sh COMPLETION_FILE: what the bash completion offers after
# the tool's name, a command, an option taking a file, one taking a folder,
# and one taking a number.
set -euo pipefail
source "$1"
cd "$(mktemp -d)"
trap 'rm -rf "$PWD"' EXIT
touch samples.csv && mkdir outputs
failed=0
# WORDS... -> the words offered for the last one.
offered() {
  COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMPREPLY=()
  _orvane
  echo "${COMPREPLY[*]}"
}
check() {  # EXPECTED WORDS...
  local expected="$1"; shift
  local got; got="$(offered "$@")"
  if [ "$got" != "$expected" ]; then echo "'$*': offered '$got', expected '$expected'"; failed=1; fi
}
check "run" orvane ru
check "sv-list sv-publish" orvane sv-
check "--input" orvane run --inp
check "--output-dir" orvane run --output-d
check "samples.csv" orvane run --input sa
check "outputs" orvane run --output-dir out
check "" orvane run --duration ""
check "--report-rate" orvane demo --rep
exit $failed
