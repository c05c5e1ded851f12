#!/usr/bin/env bash
# Builds every libFuzzer target (clang, ASan, UBSan) into build-fuzz/ and runs them side by side,
# niced, for SECONDS each (default 600), starting from the seeds in tests/fuzz/corpus/<target>/.
# New inputs go to build-fuzz/corpus/<target>/, failing inputs to build-fuzz/findings/.
# Prints the executions and findings of each target; exits non-zero when any target found something.
# Usage: fuzz.sh [SECONDS] [TARGET...]   (default: every fuzz_<target> of the build, e.g. receive records
# windows phone stepper attenuator simulator)
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${1:-600}"
shift $(( $# > 0 ? 1 : 0 ))
targets=("$@")

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSTATION_FUZZ=ON >/dev/null || exit 2
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(ninja -C "$build" -t targets all | sed -n 's/^fuzz_\([a-z_]*\): phony$/\1/p' | grep -v _autogen | sort -u)
fi
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}" || exit 2

export QT_QPA_PLATFORM=offscreen
# Qt keeps its shared-library allocations to the end; only real faults stop a run.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p "$build/findings"
declare -A pids
for target in "${targets[@]}"; do
  binary="$(find "$build" -name "fuzz_$target" -type f -perm -u+x | head -1)"
  seeds=()
  [ -d "$root/tests/fuzz/corpus/$target" ] && seeds=("$root/tests/fuzz/corpus/$target")
  mkdir -p "$build/corpus/$target"
  rm -f "$build/findings/$target-"*
  (cd "$build" && exec nice -n 10 "$binary" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
     -artifact_prefix="$build/findings/$target-" "$build/corpus/$target" "${seeds[@]}" \
     >"$build/fuzz-$target.log" 2>&1) &
  pids[$target]=$!
done

status=0
printf '%-12s %12s %10s %8s  %s\n' target execs exec/s corpus findings
for target in "${targets[@]}"; do
  wait "${pids[$target]}"
  code=$?
  log="$build/fuzz-$target.log"
  execs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')"
  rate="$(grep -o 'exec/s: *[0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')"
  units="$(find "$build/corpus/$target" -type f | wc -l)"
  found="$(find "$build/findings" -name "$target-*" -type f | wc -l)"
  summary="none"
  if [ "$code" -ne 0 ] || [ "$found" -gt 0 ]; then
    status=1
    summary="$found file(s), exit $code: $(grep -m1 -E 'ERROR|runtime error|deadly signal' "$log")"
  fi
  printf '%-12s %12s %10s %8s  %s\n' "$target" "${execs:-?}" "${rate:-?}" "$units" "$summary"
done
exit "$status"
