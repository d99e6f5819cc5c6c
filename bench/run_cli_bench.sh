#!/usr/bin/env bash
# The tesser command line on a 200-file folder (3-10 pages each) and on one 10,000-page file:
# wall time as a ratio to qpdf rewriting the same files in the same run, and peak memory.
#
#   bench/run_cli_bench.sh [path/to/tesser]      (default: build/ci/cli/tesser)
#
# tesser saves with the optimised (linearised) layout by default, so it is compared with
# `qpdf --linearize` as well as with a plain `qpdf in out`; --no-optimise is compared with the
# plain rewrite. Peak memory is the maximum resident set size from /usr/bin/time -v; the folder is
# also run with 50 files to show that memory does not grow with the number of files.
#
# tesser -j 2 against -j 1 on a folder of 200 files of 3-10 pages cut from a make_pages file
# (its own compressed content stream of text per page, one shared font; make_pages is taken from
# the build folder of the tesser binary): the two alternated, JOB_ROUNDS rounds (default 5), the
# best of each and their ratio, and the median of each round's ratio. The machine's other load counts here: the figure is only
# meaningful on an otherwise idle machine with at least two cores.
#
# The incremental save (--incremental) is measured on two more files, best of three rounds each,
# against `qpdf in out`: the 10,000-page file of bench/make_pages (its own compressed content
# stream per page, one shared font) and an image-heavy file of 200 pages, each showing its own
# 300 KB JPEG image (a page of that file rendered by pdftoppm at 240 dpi; the images are 200
# objects with the same bytes). qpdf copies JPEG data as it is, so what is measured is the copy a
# rewrite makes and an appended save does not.
#
#   bench/run_cli_bench.sh [path/to/tesser [path/to/make_pages]]
set -euo pipefail
cd "$(dirname "$0")/.."
tesser=${1:-build/ci/cli/tesser}
[[ -x $tesser ]] || { echo "no tesser binary at $tesser (build it first)" >&2; exit 2; }
tesser=$(realpath "$tesser")
make_pages=${2:-$(dirname "$tesser")/../bench/make_pages}
[[ -x $make_pages ]] || { echo "no make_pages at $make_pages (build the benchmarks)" >&2; exit 2; }
command -v pdftoppm >/dev/null || { echo "pdftoppm is needed (poppler-utils)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state

# A one-page base file; qpdf rebuilds its cross-reference table.
page='BT /F1 24 Tf 72 700 Td (Benchmark page) Tj /F1 11 Tf 0 -30 Td (Lorem ipsum dolor sit amet, consectetur adipiscing elit.) Tj ET'
printf '%%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 >> endobj\n3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Resources << /Font << /F1 5 0 R >> >> >> endobj\n4 0 obj << /Length %d >> stream\n%s\nendstream endobj\n5 0 obj << /Type /Font /Subtype /Type1 /BaseFont /Times-Roman >> endobj\ntrailer << /Root 1 0 R >>\n%%%%EOF\n' \
    "${#page}" "$page" > "$work/raw.pdf"
qpdf "$work/raw.pdf" "$work/one.pdf" 2>/dev/null || [[ $? -eq 3 ]]

# Pages are copies, so every page has its own content stream as in a real document.
pages_of() { # n -> "one.pdf 1 one.pdf 1 ..." arguments for --pages
    local n=$1 args=()
    for ((i = 0; i < n; i++)); do args+=("$work/one.pdf" 1); done
    echo "${args[@]}"
}
qpdf --empty --pages $(pages_of 10) -- "$work/ten.pdf"
qpdf --empty --pages $(pages_of 100) -- "$work/hundred.pdf"
big_args=()
for ((i = 0; i < 100; i++)); do big_args+=("$work/hundred.pdf"); done
qpdf --empty --pages "${big_args[@]}" -- "$work/big.pdf"

mkdir -p "$work/folder"
for ((i = 0; i < 200; i++)); do
    qpdf --empty --pages "$work/ten.pdf" "1-$((3 + i % 8))" -- "$(printf '%s/folder/f%03d.pdf' "$work" "$i")"
done
mkdir -p "$work/folder50"
cp "$work"/folder/f0[0-4]?.pdf "$work/folder50/"

"$make_pages" 2000 "$work/made.pdf" >/dev/null
mkdir -p "$work/made"
for ((i = 0; i < 200; i++)); do
    first=$((1 + (i * 10) % 1990))
    qpdf --empty --pages "$work/made.pdf" "$first-$((first + 2 + i % 8))" -- \
        "$(printf '%s/made/f%03d.pdf' "$work" "$i")"
done

"$make_pages" 10000 "$work/pages.pdf"
# 200 pages, each drawing its own 300 KB image; qpdf builds the cross-reference table.
qpdf --empty --pages "$work/pages.pdf" 1 -- "$work/page1.pdf"
pdftoppm -jpeg -jpegopt quality=95 -r 240 -singlefile "$work/page1.pdf" "$work/page1"
jpeg_size=$(stat -c %s "$work/page1.jpg")
{
    printf '%%PDF-1.5\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n2 0 obj << /Type /Pages /Count 200 /Kids ['
    for ((i = 0; i < 200; i++)); do printf ' %d 0 R' $((10 + 3 * i)); done
    printf ' ] >> endobj\n'
    draw='q 612 0 0 792 0 0 cm /Im1 Do Q'
    for ((i = 0; i < 200; i++)); do
        n=$((10 + 3 * i))
        printf '%d 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents %d 0 R /Resources << /XObject << /Im1 %d 0 R >> >> >> endobj\n' $n $((n + 1)) $((n + 2))
        printf '%d 0 obj << /Length %d >> stream\n%s\nendstream endobj\n' $((n + 1)) ${#draw} "$draw"
        printf '%d 0 obj << /Type /XObject /Subtype /Image /Width 2040 /Height 2640 /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode /Length %d >> stream\n' $((n + 2)) "$jpeg_size"
        cat "$work/page1.jpg"
        printf '\nendstream endobj\n'
    done
    printf 'trailer << /Root 1 0 R /Size %d >>\n%%%%EOF\n' $((10 + 3 * 200))
} > "$work/images-raw.pdf"
qpdf "$work/images-raw.pdf" "$work/images.pdf" 2>/dev/null || [[ $? -eq 3 ]]

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

# measure LABEL COMMAND... -> prints "LABEL seconds maxrss_kB". The output and the undo journal
# of the run before are removed first, outside the time measured.
measure() {
    local label=$1
    shift
    rm -rf "$work/out" "$work/state"
    /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" >/dev/null 2>"$work/err.txt" || {
        echo "$label failed:" >&2
        cat "$work/err.txt" >&2
        exit 1
    }
    read -r seconds rss < "$work/time.txt"
    echo "$label $seconds $rss"
}

qpdf_folder() { # flags... : qpdf over every file of the folder into out/
    mkdir -p "$work/out"
    for f in "$work"/folder/*.pdf; do qpdf "$@" "$f" "$work/out/$(basename "$f")"; done
}
export -f qpdf_folder
export work

# tesser as it is run: -t Foot from the profile, output to out/ (a file for one input file).
run_tesser=("$tesser" -q -p "$work/profile.ini" -t Foot -o "$work/out")

results=()
job_results=()
pair_ratios=()
declare -A best
results+=("$(measure qpdf-folder bash -c 'qpdf_folder')")
results+=("$(measure qpdf-lin-folder bash -c 'qpdf_folder --linearize')")
results+=("$(measure tesser-folder "${run_tesser[@]}" "$work/folder")")
results+=("$(measure tesser-plain-folder "${run_tesser[@]}" --no-optimise "$work/folder")")
results+=("$(measure tesser-folder50 "${run_tesser[@]}" "$work/folder50")")
results+=("$(measure qpdf-big qpdf "$work/big.pdf" "$work/big-out.pdf")")
results+=("$(measure qpdf-lin-big qpdf --linearize "$work/big.pdf" "$work/big-out.pdf")")
results+=("$(measure tesser-big "${run_tesser[@]}" "$work/big.pdf")")
results+=("$(measure tesser-plain-big "${run_tesser[@]}" --no-optimise "$work/big.pdf")")
for ((round = 0; round < ${JOB_ROUNDS:-5}; round++)); do
    one=$(measure tesser-j1 "${run_tesser[@]}" -j 1 "$work/made")
    two=$(measure tesser-j2 "${run_tesser[@]}" -j 2 "$work/made")
    job_results+=("$one" "$two")
    pair_ratios+=("$(awk -v a="${two#* }" -v b="${one#* }" 'BEGIN { split(a, x, " "); split(b, y, " "); printf "%.3f", x[1] / y[1] }')")
done
pair_median=$(printf '%s\n' "${pair_ratios[@]}" | sort -n | awk '{ v[NR] = $1 } END { printf "%.2f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
for line in "${job_results[@]}"; do # the best of the rounds
    read -r label s m <<< "$line"
    if [[ -z ${best[$label]:-} ]] || awk -v a="$s" -v b="${best[$label]% *}" 'BEGIN { exit !(a < b) }'; then
        best[$label]="$s $m"
    fi
done
for label in tesser-j1 tesser-j2; do results+=("$label ${best[$label]}"); done

best_of_three() { # LABEL COMMAND... : the best of three measured rounds
    local label=$1 line best_line=""
    shift
    for round in 1 2 3; do
        line=$(measure "$label" "$@")
        if [[ -z $best_line ]] || awk -v a="$line" -v b="$best_line" \
            'BEGIN { split(a, x, " "); split(b, y, " "); exit !(x[2] < y[2]) }'; then
            best_line=$line
        fi
    done
    echo "$best_line"
}
for file in pages images; do
    results+=("$(best_of_three "qpdf-$file" qpdf "$work/$file.pdf" "$work/$file-out.pdf")")
    results+=("$(best_of_three "tesser-plain-$file" "${run_tesser[@]}" --no-optimise "$work/$file.pdf")")
    results+=("$(best_of_three "tesser-incr-$file" "${run_tesser[@]}" --incremental "$work/$file.pdf")")
done
qpdf --check "$work/out" >/dev/null # the last run: the image file, appended to

declare -A secs rss
for line in "${results[@]}"; do
    read -r label s m <<< "$line"
    secs[$label]=$s
    rss[$label]=$m
done
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

echo "tesser command line, $(nproc) cores, $(date -u +%Y-%m-%d)"
printf '%-22s %9s %12s\n' run seconds peak-RSS-kB
for line in "${results[@]}"; do
    read -r label s m <<< "$line"
    printf '%-22s %9s %12s\n' "$label" "$s" "$m"
done
echo
echo "200 files, 3-10 pages each:"
echo "  tesser (optimised) / qpdf --linearize : $(ratio "${secs[tesser-folder]}" "${secs[qpdf-lin-folder]}")"
echo "  tesser (optimised) / qpdf             : $(ratio "${secs[tesser-folder]}" "${secs[qpdf-folder]}")"
echo "  tesser --no-optimise / qpdf           : $(ratio "${secs[tesser-plain-folder]}" "${secs[qpdf-folder]}")"
echo "  peak memory, 200 files / 50 files     : $(ratio "${rss[tesser-folder]}" "${rss[tesser-folder50]}")"
echo "10,000-page file:"
echo "  tesser (optimised) / qpdf --linearize : $(ratio "${secs[tesser-big]}" "${secs[qpdf-lin-big]}")"
echo "  tesser (optimised) / qpdf             : $(ratio "${secs[tesser-big]}" "${secs[qpdf-big]}")"
echo "  tesser --no-optimise / qpdf           : $(ratio "${secs[tesser-plain-big]}" "${secs[qpdf-big]}")"
echo "  peak memory tesser / qpdf             : $(ratio "${rss[tesser-plain-big]}" "${rss[qpdf-big]}")"
echo "200 make_pages files, 3-10 pages each, ${JOB_ROUNDS:-5} alternated rounds:"
echo "  tesser -j 2 / tesser -j 1, best times : $(ratio "${secs[tesser-j2]}" "${secs[tesser-j1]}")"
echo "  the same, median of the rounds' ratios: $pair_median (${pair_ratios[*]})"
echo "  peak memory -j 2 / -j 1 (one process) : $(ratio "${rss[tesser-j2]}" "${rss[tesser-j1]}")"
echo "Incremental save (best of 3), bench/make_pages 10,000 pages:"
echo "  tesser --incremental / qpdf           : $(ratio "${secs[tesser-incr-pages]}" "${secs[qpdf-pages]}")"
echo "  tesser --no-optimise / qpdf           : $(ratio "${secs[tesser-plain-pages]}" "${secs[qpdf-pages]}")"
echo "  peak memory --incremental / qpdf      : $(ratio "${rss[tesser-incr-pages]}" "${rss[qpdf-pages]}")"
echo "Incremental save (best of 3), 200 pages of 300 KB images:"
echo "  tesser --incremental / qpdf           : $(ratio "${secs[tesser-incr-images]}" "${secs[qpdf-images]}")"
echo "  tesser --no-optimise / qpdf           : $(ratio "${secs[tesser-plain-images]}" "${secs[qpdf-images]}")"
echo "  peak memory --incremental / qpdf      : $(ratio "${rss[tesser-incr-images]}" "${rss[qpdf-images]}")"
