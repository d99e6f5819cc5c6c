#!/bin/sh
# Open + save of a generated 10,000-page PDF through the host, against a plain
# `qpdf in.pdf out.pdf` of the same file in the same run. Prints each time, the ratio and the
# peak memory of both.
#
#   bench/run_host_bench.sh BUILD_DIR [PAGES] [ROUNDS]
set -eu
build=${1:?usage: run_host_bench.sh BUILD_DIR [PAGES] [ROUNDS]}
pages=${2:-10000}
rounds=${3:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/make_pages" "$pages" "$work/in.pdf"
echo "input: $pages pages, $(stat -c %s "$work/in.pdf") bytes"

best_qpdf=""
best_host=""
for round in $(seq "$rounds"); do
    cp "$work/in.pdf" "$work/host.pdf"
    /usr/bin/time -f "%e %M" -o "$work/qpdf.time" qpdf "$work/in.pdf" "$work/qpdf-out.pdf"
    /usr/bin/time -f "%e %M" -o "$work/host.time" "$build/bench/host_open_save" "$work/host.pdf" >/dev/null
    q=$(cut -d' ' -f1 "$work/qpdf.time"); qm=$(cut -d' ' -f2 "$work/qpdf.time")
    h=$(cut -d' ' -f1 "$work/host.time"); hm=$(cut -d' ' -f2 "$work/host.time")
    echo "round $round: qpdf ${q}s ${qm}KiB, host ${h}s ${hm}KiB"
    if [ -z "$best_qpdf" ] || [ "$(echo "$q < $best_qpdf" | bc)" = 1 ]; then best_qpdf=$q; qpdf_mem=$qm; fi
    if [ -z "$best_host" ] || [ "$(echo "$h < $best_host" | bc)" = 1 ]; then best_host=$h; host_mem=$hm; fi
done
qpdf --check "$work/host.pdf" >/dev/null
echo "best of $rounds: qpdf ${best_qpdf}s, host ${best_host}s, ratio $(echo "scale=3; $best_host / $best_qpdf" | bc)"
echo "peak memory: qpdf ${qpdf_mem}KiB, host ${host_mem}KiB"
