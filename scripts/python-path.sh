#!/usr/bin/env bash
# Makes `import orvane` find the package of BUILD_DIR (default build/): writes
# orvane.pth, naming BUILD_DIR/python, into the user site folder of the
# interpreter the package was built for. Every interpreter of the same Python
# version reads that folder (Debian's /usr/bin/python3 and, say, a pyenv one).
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
info="$build/python/orvane/_build_info.py"
if [ ! -f "$info" ]; then
  echo "python-path: no Python package in $build (see the configure step's 'Python package orvane' line)" >&2
  exit 0
fi
python="$(sed -n 's/^PYTHON = "\(.*\)"$/\1/p' "$info")"
site="$("$python" -c 'import site; print(site.getusersitepackages())')"
line="$build/python"
if [ "$(cat "$site/orvane.pth" 2>/dev/null)" != "$line" ]; then
  mkdir -p "$site"
  echo "$line" > "$site/orvane.pth"
  echo "python-path: $site/orvane.pth -> $line (import orvane with $python)" >&2
fi
