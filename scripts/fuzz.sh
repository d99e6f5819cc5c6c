#!/usr/bin/env bash
# Builds the libFuzzer targets (the "fuzz" preset: clang, AddressSanitizer, UndefinedBehavior-
# Sanitizer) and runs each for SECONDS (default 600) from the checked-in seeds, the regression
# inputs and, for the document target, the shared corpus of damaged PDF files. Prints per target
# the executions, the coverage and what was found; findings are written to build/fuzz/findings/
# <target>/ and make the script exit 1. Copy a finding into fuzz/regressions/<target>/ once it is
# fixed: the ordinary test suite then replays it.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(profile fields tokens journal document)

cmake --preset fuzz >/dev/null
mkdir -p build
if ! cmake --build --preset fuzz -j "${JOBS:-2}" >build/fuzz-build.log 2>&1; then
  grep -E 'error|FAILED' build/fuzz-build.log | head -20 >&2
  echo "the fuzz build failed; build/fuzz-build.log has all of it" >&2
  exit 1
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for t in "${targets[@]}"; do
  corpus=build/fuzz/corpus/$t
  findings=build/fuzz/findings/$t
  rm -rf "$findings"
  mkdir -p "$corpus" "$findings"
  if [[ $t == document ]]; then
    # The shared corpus of damaged files, each behind a mode byte of 0 (plain save).
    shared=../shared/corpus/qpdf-upstream
    if [[ -d $shared && ! -e $corpus/.seeded ]]; then
      find "$shared" -type f \( -name '*.pdf' -o -path '*fuzz*' \) -size -200k -print0 |
        while IFS= read -r -d '' f; do
          { printf '\0'; cat "$f"; } > "$corpus/shared-$(basename "$f")"
        done
      touch "$corpus/.seeded"
    fi
  fi
  log=build/fuzz/$t.log
  # The first folder takes what the run finds; a regressions folder exists once it holds a
  # finding.
  inputs=("$corpus" "fuzz/seeds/$t")
  [[ -d fuzz/regressions/$t ]] && inputs+=("fuzz/regressions/$t")
  set +e
  build/fuzz/fuzz/fuzz_$t -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 \
    -dict=fuzz/pdf.dict -artifact_prefix="$findings/" -print_final_stats=1 \
    "${inputs[@]}" >"$log" 2>&1
  rc=$?
  set -e
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1 || true)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  found=$(find "$findings" -type f | wc -l)
  printf '%-9s executions %-9s %s  findings %s\n' "$t" "${runs:-?}" \
    "$(echo "$done_line" | grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9/a-zA-Z]+' || echo 'cov: ?')" "$found"
  if ((rc != 0 || found > 0)); then
    status=1
    echo "  $t: fuzzer exit $rc; see $log" >&2
    grep -E 'ERROR|SUMMARY|==[0-9]+==' "$log" | head -5 >&2 || true
  fi
done
exit $status
