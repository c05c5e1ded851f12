#!/usr/bin/env bash
# The whole test suite: install what is missing, build, then run ctest headless in a
# private network namespace where only loopback exists, so no test frame can leave the machine.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$root/build}"

bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"

exec unshare -n bash "$root/scripts/in-test-namespace.sh" "$BUILD_DIR"
