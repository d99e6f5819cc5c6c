#!/usr/bin/env bash
# Every benchmark in one run, each as a ratio to qpdf doing the plain rewrite of the same files in
# the same run, with peak memory (maximum resident set, /usr/bin/time -v):
#
#   host open + save        stamp_bench --rewrite       vs  qpdf in.pdf out.pdf
#   stamp + save            stamp_bench --stamp         vs  qpdf in.pdf out.pdf
#   tesser, one file        tesser --no-optimise        vs  qpdf in.pdf out.pdf
#   tesser, one file        tesser (linearised save)    vs  qpdf --linearize in.pdf out.pdf
#   tesser, 200 files       tesser --no-optimise DIR    vs  qpdf on each file
#   tesser, 200 files       tesser DIR (linearised)     vs  qpdf --linearize on each file
#
# The stamp is "Page <PageNumber> of <PageCount>" on every page. Two files of PAGES pages are
# made once with bench/make_pages, each page with its own compressed content stream and all
# pages sharing one font: "short" (twenty short lines a page in Helvetica, the stamp's font) and
# "report" (--report: forty lines of body text a page in Times-Roman, so stamping adds a font to
# every page); the single-file cases run on both. The folder holds 200 files of 3 to 10 pages cut
# from the short file. Each case runs ROUNDS times, alternating with its qpdf baseline; the times
# shown are the best round, the memory the highest.
#
#   bench/run_benchmarks.sh BUILD_DIR [ROUNDS] [PAGES]
#
# BUILD_DIR is a Release build with the benchmarks and the command line (the ci preset:
# build/ci).
set -euo pipefail
build=$(realpath "${1:?usage: run_benchmarks.sh BUILD_DIR [ROUNDS] [PAGES]}")
rounds=${2:-3}
pages=${3:-10000}
for tool in bench/make_pages bench/stamp_bench cli/tesser; do
    [[ -x $build/$tool ]] || { echo "no $tool in $build (build it first)" >&2; exit 2; }
done
command -v qpdf >/dev/null || { echo "qpdf is needed" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "/usr/bin/time is needed (Debian package time)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state XDG_CONFIG_HOME=$work/config

"$build/bench/make_pages" "$pages" "$work/short.pdf"
"$build/bench/make_pages" --report "$pages" "$work/report.pdf"
# The folder's files are cut from the first 2,000 pages at most: qpdf then reads a small file
# 200 times instead of the whole one.
slice=$((pages < 2000 ? pages : 2000))
qpdf --empty --pages "$work/short.pdf" "1-$slice" -- "$work/slice.pdf"
mkdir -p "$work/folder"
for ((i = 0; i < 200; i++)); do
    first=$((1 + (i * 10) % (slice - 10)))
    qpdf --empty --pages "$work/slice.pdf" "$first-$((first + 2 + i % 8))" -- \
        "$(printf '%s/folder/f%03d.pdf' "$work" "$i")"
done
cat > "$work/profile.ini" <<'EOF'
[Tesserion_Foot]
Text=Page <PageNumber> of <PageCount>
PosX=72.000000
PosY=36.000000
JustifyV=Bottom

[Tesserions]
Count=1
1=Foot
EOF

# run NAME COMMAND... : one measured run; appends "NAME wall cpu maxrss" to results.txt.
run() {
    local name=$1
    shift
    rm -rf "$work/out" "$work/state"
    mkdir -p "$work/out"
    if ! /usr/bin/time -v -o "$work/time.txt" "$@" >/dev/null 2>"$work/err.txt"; then
        # qpdf answers 3 when it only warned
        if ! grep -q "Exit status: 3" "$work/time.txt"; then
            echo "$name failed:" >&2
            cat "$work/err.txt" "$work/time.txt" >&2
            exit 1
        fi
    fi
    awk -v name="$name" '
        /Elapsed \(wall clock\)/ { n = split($NF, p, ":"); wall = 0; for (i = 1; i <= n; i++) wall = wall * 60 + p[i] }
        /User time/ { cpu += $NF }
        /System time/ { cpu += $NF }
        /Maximum resident set size/ { rss = $NF }
        END { printf "%s %.3f %.3f %d\n", name, wall, cpu, rss }' "$work/time.txt" >> "$work/results.txt"
}

qpdf_folder() { # extra qpdf flags...
    for f in "$work"/folder/*.pdf; do qpdf "$@" "$f" "$work/out/${f##*/}" || [[ $? -eq 3 ]]; done
}
export -f qpdf_folder
export work

tesser=$build/cli/tesser
for ((round = 1; round <= rounds; round++)); do
    for file in short report; do
        in=$work/$file.pdf
        run "qpdf@$file" qpdf "$in" "$work/out/q.pdf"
        run "host-open-save@$file" "$build/bench/stamp_bench" --rewrite "$in" "$work/out/h.pdf"
        run "qpdf@$file" qpdf "$in" "$work/out/q.pdf"
        run "stamp-save@$file" "$build/bench/stamp_bench" --stamp "$in" "$work/out/s.pdf"
        qpdf --check "$work/out/s.pdf" >/dev/null # the stamped file must be sound
        run "qpdf@$file" qpdf "$in" "$work/out/q.pdf"
        run "tesser-file@$file" "$tesser" -q -p "$work/profile.ini" -t Foot -o "$work/out" \
            --no-optimise "$in"
        run "qpdf-linearize@$file" qpdf --linearize "$in" "$work/out/q.pdf"
        run "tesser-file-linearized@$file" "$tesser" -q -p "$work/profile.ini" -t Foot \
            -o "$work/out" "$in"
    done
    run qpdf-folder bash -c 'qpdf_folder'
    run tesser-folder "$tesser" -q -p "$work/profile.ini" -t Foot -o "$work/out" --no-optimise "$work/folder"
    run qpdf-linearize-folder bash -c 'qpdf_folder --linearize'
    run tesser-folder-linearized "$tesser" -q -p "$work/profile.ini" -t Foot -o "$work/out" "$work/folder"
done

awk -v rounds="$rounds" -v pages="$pages" -v cores="$(nproc)" -v when="$(date -u +%Y-%m-%d)" '
    {
        if (!($1 in wall) || $2 < wall[$1]) { wall[$1] = $2; cpu[$1] = $3 }
        if ($4 > rss[$1]) rss[$1] = $4
    }
    function line(label, name, base) {
        printf "%-34s %7.2f s %7.2f x   cpu %7.2f s %6.2f x   %8d KiB %6.2f x\n", label,
            wall[name], wall[name] / wall[base], cpu[name], cpu[name] / cpu[base], rss[name],
            rss[name] / rss[base]
    }
    END {
        printf "%s pages, best of %d rounds, %d cores, %s; ratios to qpdf on the same files\n",
            pages, rounds, cores, when
        printf "%-34s %9s %9s   %16s %7s   %12s %7s\n", "case", "wall", "ratio", "cpu", "ratio",
            "peak memory", "ratio"
        split("short report", files, " ")
        for (f = 1; f <= 2; ++f) {
            k = "@" files[f]
            printf "%s file:\n", files[f]
            line("  qpdf in.pdf out.pdf", "qpdf" k, "qpdf" k)
            line("  host open + save", "host-open-save" k, "qpdf" k)
            line("  stamp + save", "stamp-save" k, "qpdf" k)
            line("  tesser --no-optimise, one file", "tesser-file" k, "qpdf" k)
            line("  qpdf --linearize", "qpdf-linearize" k, "qpdf-linearize" k)
            line("  tesser (linearised), one file", "tesser-file-linearized" k, "qpdf-linearize" k)
        }
        line("qpdf on each of 200 files", "qpdf-folder", "qpdf-folder")
        line("tesser --no-optimise, 200 files", "tesser-folder", "qpdf-folder")
        line("qpdf --linearize on each file", "qpdf-linearize-folder", "qpdf-linearize-folder")
        line("tesser (linearised), 200 files", "tesser-folder-linearized", "qpdf-linearize-folder")
    }' "$work/results.txt"
