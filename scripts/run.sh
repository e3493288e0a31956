#!/usr/bin/env bash
# Sets up a fresh machine, builds and starts the program. With no arguments it
# runs on the built-in simulated boards; pass --port /dev/ttyUSB0 (or any
# other option of the program) to use real hardware.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
"$root/scripts/deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"
[ $# -gt 0 ] || set -- --simulate
exec "$build/apps/clinora" "$@"
