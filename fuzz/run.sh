#!/usr/bin/env bash
# Runs every fuzz target built in a build folder for a bounded time on its
# seed corpus: fuzz/run.sh BUILD_DIR SECONDS [TARGET...]
# New inputs go to BUILD_DIR/fuzz-corpus/<name>, findings to
# BUILD_DIR/fuzz-findings/; any finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:?usage: fuzz/run.sh BUILD_DIR SECONDS [TARGET...]}
seconds=${2:?usage: fuzz/run.sh BUILD_DIR SECONDS [TARGET...]}
shift 2
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for program in "$build"/bin/*_fuzz; do
    name=$(basename "$program")
    names+=("${name%_fuzz}")
  done
fi

symbolizer=$(command -v llvm-symbolizer || command -v llvm-symbolizer-14 || true)
[ -n "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH=$symbolizer
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/fuzz/lsan.supp:print_suppressions=0

mkdir -p "$build/fuzz-findings"
for name in "${names[@]}"; do
  work="$build/fuzz-corpus/$name"
  mkdir -p "$work"
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  echo "== $name: ${seconds}s"
  "$build/bin/${name}_fuzz" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2560 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz-findings/$name-" "$work" "${seeds[@]}" 2>"$build/fuzz-findings/$name.log" ||
    { tail -n 60 "$build/fuzz-findings/$name.log"; echo "fuzz target $name found a fault" >&2; exit 1; }
  grep -E "^stat::number_of_executed_units|^stat::new_units_added" "$build/fuzz-findings/$name.log" | tr '\n' ' '
  echo
done
