#!/usr/bin/env bash
# Installs what is needed, builds the command-line host and runs the main job on the bundled
# sample: the sample profile's Tesserions stamped on samples/sample.pdf, written to out/.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh

cmake --preset ci >/dev/null
cmake --build --preset ci -j "${JOBS:-2}" --target tesser

mkdir -p out
./build/ci/cli/tesser --profile samples/Quorel.ini --list
./build/ci/cli/tesser --profile samples/Quorel.ini -t "Page numbers" -t "Draft" \
    --output-dir out samples/sample.pdf
echo
echo "Stamped copy written to $(pwd)/out/sample.pdf (the original samples/sample.pdf is unchanged)."
echo "Look at it with any PDF viewer, or: pdftotext out/sample.pdf - | head"
