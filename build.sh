#!/usr/bin/env bash
# Lumafex: set-up, build and run on Debian 12. Installs what is missing (as root).
#   ./build.sh main   build everything and run the main job
#   ./build.sh test   build and run every test under the sanitizers, then the fuzz targets briefly
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libfreetype-dev libfontconfig-dev fonts-liberation
  libgtest-dev libgmock-dev libbenchmark-dev
  libpng-dev libjpeg62-turbo-dev libgif-dev libwebp-dev zlib1g-dev
  libssl-dev
  qt6-base-dev
  clang libclang-rt-14-dev llvm
)

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# configure DIR [cmake options...]
configure() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
}

jobs=$(nproc)

case "${1:-}" in
main)
  install_missing
  configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build -j "$jobs"
  # Snow on the built-in sample picture, as a first run gives it, written to
  # build/lumafex.gif; the job keeps its own settings apart from the user's.
  (cd build && XDG_CONFIG_HOME="$PWD/main-job-config" ./bin/lumafex)
  ;;
test)
  install_missing
  # Every test once, in the main job's optimised build with AddressSanitizer
  # and UndefinedBehaviorSanitizer added: memory errors, leaks and undefined
  # behaviour fail the run, and the golden frames are checked as the
  # optimised plug-in makes them. Line tables are all a sanitizer report
  # needs; fuller debug information would only slow the build.
  configure build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMAFEX_SANITIZE=ON \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
  cmake --build build-sanitize -j "$jobs"
  (cd build-sanitize && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
     UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure --timeout 900 -j "$jobs")
  # Every fuzz target briefly on its seed corpus (fuzz/README.md).
  CC=clang CXX=clang++ configure build-fuzz -DLUMAFEX_FUZZ=ON -DLUMAFEX_TESTS=OFF -DLUMAFEX_BENCH=OFF
  cmake --build build-fuzz --target fuzz_targets -j "$jobs"
  fuzz/run.sh build-fuzz 15
  ;;
*)
  echo "usage: $0 main|test" >&2
  exit 2
  ;;
esac
