#!/usr/bin/env bash
# Configures (once) and builds the project into build/, two jobs at a time.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
if [[ ! -f build/build.ninja ]]; then
    cmake --preset default >/dev/null
fi
cmake --build build --parallel 2
