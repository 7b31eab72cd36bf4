#!/usr/bin/env bash
# Builds one of the table readers' fuzz targets with clang (libFuzzer, address and undefined-behaviour
# sanitizers) and runs it for the given number of seconds, seeded from the fixtures of tests/data:
#   fuzz_table_reader  every format, told by the content   fuzz_xlsx_reader  .xlsx packages
#   fuzz_ods_reader    OpenDocument content (content.xml)  fuzz_csv_reader   .csv texts
#   fuzz_report        report projects (yuming.rav)
# (the .xls reader alone: scripts/fuzz-sheet.sh). Crash files land in <build>/fuzz-crashes/<target>;
# after fixing, keep each as tests/data/table_fuzz_* (report projects as tests/data/report_fuzz_*.rav).
# Usage: scripts/fuzz-tables.sh <target> [seconds, default 600] [build folder, default build-fuzz-sheet]
# A corpus can be replayed without clang too: build the target normally and run
#   build/tests/sheet/<target> <files or folders>   (build/tests/report/fuzz_report)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
target="$1"
seconds="${2:-600}"
build="${3:-$here/build-fuzz-sheet}"

CC=clang CXX=clang++ cmake -S "$here" -B "$build" -DLANSHU_FUZZ=ON -DLANSHU_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target "$target"

corpus="$build/fuzz-corpus/$target"
crashes="$build/fuzz-crashes/$target"
mkdir -p "$corpus" "$crashes"
data="$here/tests/data"
case "$target" in
fuzz_xlsx_reader) cp "$data"/*.xlsx "$corpus"/ ;;
fuzz_csv_reader) cp "$data"/*.csv "$corpus"/ ;;
fuzz_report) cp "$here/resources/shipped/yuming.rav" "$data"/*.rav "$corpus"/ ;;
fuzz_ods_reader)
  cp "$data"/*.fods "$corpus"/
  for ods in "$data"/*.ods; do unzip -p "$ods" content.xml >"$corpus/content_$(basename "$ods").xml"; done
  ;;
*) cp "$data"/*.xlsx "$data"/*.ods "$data"/*.csv "$data"/import_*.xls "$corpus"/ ;;
esac
# The bombs would have every run unpack a hundred MB: far too slow for a seed.
rm -f "$corpus"/table_bomb_*

# The .xls reader's compound-file library leaks on some broken containers (see fuzz-sheet.sh); telling
# those leaks needs full stacks, which make every allocation slow: only where that reader is reached.
if [ "$target" = fuzz_table_reader ]; then
  printf 'leak:gsf_infile_msole_new\n' >"$build/lsan.supp"
  export LSAN_OPTIONS="suppressions=$build/lsan.supp"
  export ASAN_OPTIONS="fast_unwind_on_malloc=0"
fi

area=sheet
[ "$target" = fuzz_report ] && area=report
exec "$build/tests/$area/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
  -max_len=262144 -print_final_stats=1 -artifact_prefix="$crashes/" "$corpus"
