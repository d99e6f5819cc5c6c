#!/usr/bin/env bash
# Takes docs/screenshots/quorel-host.png: the real quorel-host under Xvfb, showing the bundled
# sample stamped with the bundled profile, with the Tesser Pro dialog open over it.
# Usage: scripts/screenshot.sh [build folder, default build/dev]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
if [[ ! -x $build/app/quorel-host || ! -x $build/cli/tesser ]]; then
  echo "Build first: cmake --preset dev && cmake --build --preset dev" >&2
  exit 2
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/cli/tesser" --profile samples/Quorel.ini -t "Page numbers" -t "Draft" -q \
  -o "$work" samples/sample.pdf
mkdir -p docs/screenshots
# A profile of its own, so the user's is neither read nor written.
XDG_CONFIG_HOME="$work" xvfb-run -a -s "-screen 0 900x760x24" \
  "$build/app/quorel-host" --execute=KORV:QuorelTesser \
  --screenshot="$work/screen.png" "$work/sample.pdf"
# Without a window manager the window fills the screen from its top left corner.
cp "$work/screen.png" docs/screenshots/quorel-host.png
echo "docs/screenshots/quorel-host.png"
