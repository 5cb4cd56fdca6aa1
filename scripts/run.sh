#!/usr/bin/env bash
# Builds the project and starts the game on the bundled demo content.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
exec build/vesk "$@"
