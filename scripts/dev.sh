#!/usr/bin/env bash
# Set-up, build, run and test in one place, for a fresh Debian 12 machine.
#   scripts/dev.sh run    install what is missing, build, start the desktop program with the example job
#   scripts/dev.sh test   install what is missing, build, run every test and the fuzzers
#   scripts/dev.sh bench  install what is missing, build and run the benchmarks
#   scripts/dev.sh coverage  install what is missing, build with --coverage, run every test, print src/ line coverage
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libqt6serialport6-dev libqt6svg6-dev libgl-dev
  xvfb xauth socat hp2xx shared-mime-info fonts-wqy-microhei
  libcups2-dev cups cups-daemon cups-client
  zlib1g-dev pstoedit ghostscript inkscape python3-lxml python3-cssselect python3-numpy
  gcovr
)
BUILD=${VELKAR_BUILD_DIR:-build}
FUZZ_BUILD=${VELKAR_FUZZ_BUILD_DIR:-build-fuzz}
FUZZ_SVG_BUILD=${VELKAR_FUZZ_SVG_BUILD_DIR:-build-fuzz-svg}
FUZZ_SECONDS=${VELKAR_FUZZ_SECONDS:-30}

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build_main() {
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKAR_WERROR=ON "$@"
  cmake --build "$BUILD"
}

build_fuzz() {
  # The core and its tests once more with clang, AddressSanitizer and UBSan, plus the fuzz targets.
  CC=clang CXX=clang++ cmake -S . -B "$FUZZ_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DVELKAR_WITH_QT=OFF -DVELKAR_FUZZ=ON -DVELKAR_WERROR=ON \
    -DCMAKE_CXX_FLAGS="-O1 -g -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
  cmake --build "$FUZZ_BUILD"
}

build_fuzz_svg() {
  # The SVG import needs Qt: a second small sanitizer build with Qt, of fuzz_svg and what it links only.
  CC=clang CXX=clang++ cmake -S . -B "$FUZZ_SVG_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DVELKAR_WITH_QT=ON -DVELKAR_TESTS=OFF -DVELKAR_FUZZ=ON -DVELKAR_WERROR=ON \
    -DCMAKE_CXX_FLAGS="-O1 -g -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
  cmake --build "$FUZZ_SVG_BUILD" --target fuzz_svg
}

run_fuzzers() {
  local dir="${1:-$FUZZ_BUILD}/fuzz" failed=0
  # Fontconfig, which Qt asks for fonts, keeps its caches to the end of the process.
  export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp"
  for target in "$dir"/fuzz_*; do
    [ -x "$target" ] || continue
    local name corpus
    name=$(basename "$target")
    corpus=$(mktemp -d)
    echo "== $name for ${FUZZ_SECONDS}s"
    # libFuzzer stops at a corpus directory that does not exist: pass only those present.
    local seeds=()
    for d in fuzz/seeds ../shared/realplt examples; do [ -d "$d" ] && seeds+=("$d"); done
    if ! "$target" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
         "$corpus" "${seeds[@]}" 2>"$corpus.log"; then
      tail -n 40 "$corpus.log"
      failed=1
    else
      grep -E '^#[0-9]+[[:space:]]+DONE' "$corpus.log" | tail -n 1 || true
    fi
    rm -rf "$corpus" "$corpus.log"
  done
  return $failed
}

case "${1:-}" in
  run)
    install_missing
    build_main
    # The desktop program with the bundled example job (written into the build tree).
    "$BUILD/src/velkar" --job "$BUILD/examples/sample.PT1"
    ;;
  test)
    install_missing
    build_main
    ctest --test-dir "$BUILD" --output-on-failure -j2
    build_fuzz
    run_fuzzers
    build_fuzz_svg
    run_fuzzers "$FUZZ_SVG_BUILD"
    ctest --test-dir "$FUZZ_BUILD" --output-on-failure -j2
    ;;
  bench)
    install_missing
    BUILD=${VELKAR_BENCH_BUILD_DIR:-build-bench}
    build_main -DCMAKE_BUILD_TYPE=Release -DVELKAR_BENCH=ON -DVELKAR_TESTS=OFF
    for b in "$BUILD"/bench/bench_*; do
      [ -x "$b" ] && "$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
    done
    ;;
  coverage)
    install_missing
    BUILD=${VELKAR_COVERAGE_BUILD_DIR:-build-cov}
    build_main -DCMAKE_BUILD_TYPE=Debug -DVELKAR_WERROR=OFF -DCMAKE_CXX_FLAGS=--coverage \
      -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage
    find "$BUILD" -name '*.gcda' -delete
    ctest --test-dir "$BUILD" --output-on-failure -j2 || echo "some tests failed: the figure below is incomplete" >&2
    # The full per-file table goes to build-cov/coverage.txt; the figure of src/ to the terminal.
    gcovr --root . --filter 'src/' --print-summary --output "$BUILD/coverage.txt" "$BUILD" \
      | grep -E '^lines:'
    ;;
  *)
    echo "usage: scripts/dev.sh run|test|bench|coverage" >&2
    exit 2
    ;;
esac
