#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program from its ready folder.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/scripts/setup.sh"
bash "$here/scripts/build.sh"
cd "$here/build/dist"
exec ./lanshu "$@"
