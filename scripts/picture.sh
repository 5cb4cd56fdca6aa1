#!/usr/bin/env bash
# Makes the picture of the game kept in the repository (docs/demo.png) from a
# screenshot of the self-playing demo: the run draws offscreen and saves its
# pictures through the game's screenshot key; the one taken in the fight is
# shrunk to 640 pixels across and written as PNG by the project's own tool.
#   bash scripts/picture.sh [OUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs/demo.png}"
bash scripts/run.sh >/dev/null
# The pilot numbers its pictures in the log in the order it takes them.
n=$(grep -a "demo: autoplay: picture [0-9]*: in the fight" build/game/logs/log.txt |
  sed 's/.*picture \([0-9]*\):.*/\1/' | head -n 1 || true)
shot=""
if [ -n "$n" ]; then shot=$(ls -tr build/game/screenshots/Vesk_Annals_*.bmp | sed -n "${n}p"); fi
if [ -z "$shot" ]; then
  echo "picture.sh: the run took no picture of the fight" >&2
  exit 1
fi
mkdir -p "$(dirname "$out")"
build/shotpng "$shot" "$out" 640
