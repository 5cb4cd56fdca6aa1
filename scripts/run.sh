#!/usr/bin/env bash
# Builds the project and starts the game on the bundled demo content from the
# game folder build/game. Without a display the game runs headless for a fixed
# number of frames and ends.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd build/game
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: running the game headless for 300 frames of 16 ms."
  status=0
  ./vesk -headless -frames 300 -fixeddt 16 "$@" || status=$?
  echo "The game ended with status $status. Its logs are in $(pwd)/logs (error reports in $(pwd)/logs/ErrorLogs)."
  exit "$status"
fi
exec ./vesk "$@"
