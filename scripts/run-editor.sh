#!/usr/bin/env bash
# Fresh machine to a running editor: installs the packages, builds the editor
# and the files it finds beside itself (not the tests, demos or benchmarks),
# starts zorvex.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target zorvex
exec build/app/zorvex "$@"
