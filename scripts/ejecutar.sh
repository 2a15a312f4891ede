#!/usr/bin/env bash
# Sets everything up, creates the demo companies on the embedded server and
# runs the viewer on them (without a display, it prints the demo report).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/instalar-dependencias.sh
bash scripts/compilar.sh
exec ./build/kv_estv --demo "$@"
