#!/usr/bin/env bash
# build.sh DIR [CMAKE OPTIONS...]: configures (once) and builds one build directory.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
cmake -S "$here" -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir" -j "${BRV_JOBS:-2}"
