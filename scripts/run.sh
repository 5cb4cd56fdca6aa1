#!/usr/bin/env bash
# Builds the project and starts the game on the bundled demo content from the
# game folder build/game. Without a display the self-playing demo (the mod
# "autoplay") flies the mission, drawing offscreen, saves pictures of it and
# prints what happened; with a display the playable game starts.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd build/game
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: the self-playing demo flies the mission (frames of 16 ms, drawn offscreen)."
  rm -f screenshots/Vesk_Annals_*.bmp
  status=0
  SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}" ALSOFT_DRIVERS="${ALSOFT_DRIVERS:-null}" \
    ./vesk -mod autoplay -fixeddt 16 -frames 20000 "$@" || status=$?
  # What the mission and its pilot wrote to the log.
  grep -a "demo: mission: \|demo: autoplay: picture" logs/log.txt | sed 's/^[0-9:]* demo: /  /' || true
  shots=$(ls screenshots/Vesk_Annals_*.bmp 2>/dev/null | wc -l)
  echo "The game ended with status $status. Logs: $(pwd)/logs; $shots pictures in $(pwd)/screenshots."
  if [ "$status" -eq 0 ] && ! grep -aq "demo: mission: complete" logs/log.txt; then
    echo "The mission did not reach its end." >&2
    status=1
  fi
  exit "$status"
fi
exec ./vesk "$@"
