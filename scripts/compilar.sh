#!/usr/bin/env bash
# Configures and builds into build/ with the default preset.
set -euo pipefail
cd "$(dirname "$0")/.."
# ccache: paths relative to the folder above the clone, and no build folder in the hash
# (debug info names it), so clones and worktrees side by side share their objects.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(cd .. && pwd)}"
export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
cmake --preset default >/dev/null
cmake --build --preset default -- -j"$(nproc)"
