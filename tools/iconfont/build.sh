#!/usr/bin/env bash
# Rebuild src/res/iconfont/iconfont.ttf and its LICENSE from the pinned npm
# package (see make_iconfont.py for the package, version and glyph table).
# Needs: npm, python3 with fontTools (Debian: apt-get install -y python3-fonttools).
# Extra arguments are passed on to make_iconfont.py.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
out_dir="$repo/src/res/iconfont"

# A python3 that has fontTools: $PYTHON, else python3 on PATH, else Debian's.
py="${PYTHON:-}"
if [ -z "$py" ]; then
  for cand in python3 /usr/bin/python3; do
    if command -v "$cand" >/dev/null 2>&1 && "$cand" -c 'import fontTools' 2>/dev/null; then
      py="$cand"; break
    fi
  done
fi
if [ -z "$py" ]; then
  echo "build.sh: no python3 with fontTools (apt-get install -y python3-fonttools)" >&2
  exit 2
fi

pkg="$("$py" "$here/make_iconfont.py" --print-package)"

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
echo '{"name":"iconfont-build","version":"0.0.0","private":true}' > "$tmp/package.json"
(cd "$tmp" && npm install --no-save --no-package-lock --ignore-scripts \
    --no-audit --no-fund --loglevel=error "$pkg")

mkdir -p "$out_dir"
"$py" "$here/make_iconfont.py" \
  --node-modules "$tmp/node_modules" \
  --output "$out_dir/iconfont.ttf" \
  --license-out "$out_dir/LICENSE" \
  "$@"
