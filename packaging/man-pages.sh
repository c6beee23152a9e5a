#!/usr/bin/env bash
# man-pages.sh ORVANE HELP2MAN VERSION OUTDIR: one man page per command,
# written by help2man from its --help: orvane.1 for the tool and its command
# list, orvane-COMMAND.1 for each command, gzipped as Debian installs them.
# help2man dates a page by SOURCE_DATE_EPOCH when set (reproducible builds).
set -euo pipefail
tool="$1" help2man="$2" version="$3" out="$4"
rm -rf "$out"
mkdir -p "$out/bin"
# help2man runs a program by name: orvane-COMMAND runs 'orvane COMMAND'.
commands=$("$tool" --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NR > 1 && NF { print $1 }')
[ -n "$commands" ] || { echo "man-pages.sh: no commands in '$tool --help'" >&2; exit 1; }
page() {  # NAME PROGRAM SUMMARY
  "$help2man" --no-info --no-discard-stderr --section=1 --version-string="$version" \
    --source="Orvane $version" --manual="Orvane manual" --name="$3" --output="$out/$1.1" "$2"
  gzip -9nf "$out/$1.1"
}
page orvane "$tool" "phasor measurement unit (class P) without the simulation host"
for c in $commands; do
  printf '#!/bin/sh\nexec "%s" %s "$@"\n' "$tool" "$c" > "$out/bin/orvane-$c"
  chmod +x "$out/bin/orvane-$c"
  summary=$("$tool" --help | awk -v c="$c" '$1 == c { $1 = ""; sub(/^ +/, ""); print; exit }')
  page "orvane-$c" "$out/bin/orvane-$c" "$summary"
done
rm -rf "$out/bin"
touch "$out/.stamp"
