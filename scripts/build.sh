#!/usr/bin/env bash
# Configures and builds into ./build (the ready folder is build/dist), or into the folder given,
# with the further cmake options given. Uses ccache when it is installed.
# Usage: scripts/build.sh [build folder] [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
shift || true
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
