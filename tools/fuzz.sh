#!/usr/bin/env bash
# Builds the readers' fuzz targets with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer in a build folder of their own, and runs each in turn.
#   tools/fuzz.sh [seconds per target, default 60] [target ...]
# Targets: native listing icsd cif settings parameter_table space_group_record batch_list
# (default: all).
# The corpus grows in build-fuzz/corpus/<target>; findings land in build-fuzz/findings/<target>/.
# Each finding is a bug: fix it and keep its input under tests/data/fuzz/ with a test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TARNELL_FUZZ_BUILD:-$root/build-fuzz}"
seconds="${1:-60}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(native listing icsd cif settings parameter_table space_group_record batch_list)
fi

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNELL_FUZZ=ON -DTARNELL_KESTRIN=OFF > "$build.configure.log" 2>&1 ||
  { cat "$build.configure.log"; exit 1; }
cmake --build "$build" --target $(printf 'fuzz_%s ' "${targets[@]}") -j2

# Seeds: every file of the project that its reader is meant to take, and the regression inputs.
seeds_of() {
  case "$1" in
    native) ls "$root"/examples/*.inp ;;
    listing) ls "$root"/examples/*.lst ;;
    icsd) ls "$root"/examples/*_older.txt "$root"/examples/*_structured.txt ;;
    cif) ls "$root"/examples/*.cif "$root"/tests/data/cif/*.cif ;;
    settings) ls "$root"/data/Tarnell.ini "$root"/tests/data/reports/Tarnell.ini ;;
    parameter_table) ls "$root"/data/BVTable.generic "$root"/tests/data/reports/BVTable ;;
    space_group_record) ls "$root"/data/sgtrans.dat ;;
    batch_list) printf 'a.cif\n  b.inp  \n\nc d.lst\r\nsub\n' > "$build/seeds/batch_list.seed"
                echo "$build/seeds/batch_list.seed" ;;
  esac
  if [ -d "$root/tests/data/fuzz/$1" ]; then ls "$root/tests/data/fuzz/$1"/*; fi
}

for target in "${targets[@]}"; do
  seeds="$build/seeds/$target"
  corpus="$build/corpus/$target"
  findings="$build/findings/$target"
  rm -rf "$seeds"
  mkdir -p "$seeds" "$corpus" "$findings"
  seeds_of "$target" | while read -r file; do cp "$file" "$seeds/"; done
  if [ "$target" = space_group_record ]; then
    # One seed per record of the space-group data file: header, codes and operator lines.
    awk -v dir="$seeds" '
      lines == 0 { n++; file = sprintf("%s/record%03d", dir, n); lines = substr($0, 13, 3) + 2 }
      { print > file; lines-- ; if (lines == 0) close(file) }' "$root/data/spgra.dat"
  fi
  echo "== fuzz_$target for ${seconds}s"
  # The targets write each input to a file of their own under TMPDIR: a folder per target, so
  # that runs of several targets at once do not take each other's away.
  tmp="$build/tmp/$target"
  mkdir -p "$tmp"
  TMPDIR="$tmp" "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 -max_len=65536 \
    -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$findings/" "$corpus" "$seeds" \
    2>&1 | tee "$build/fuzz_$target.log" | grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::|ERROR|SUMMARY|broken promise' || true
  rm -rf "$tmp"
done
