#!/usr/bin/env bash
# One-command set-up for a fresh Debian 12 machine.
#
#   ./setup.sh run      install what is needed, build, and run Lyrasil on the demo
#   ./setup.sh test     install what is needed, build, and run every test
#   ./setup.sh package  install what is needed and build the Debian packages
#                       into build/deb
#   ./setup.sh fuzz-build  install what is needed and build the fuzz targets
#                          in build/fuzz (fuzz/campaign.sh runs them)
#
# Works as root or through sudo; needs no display and no sound card (the
# tests start their own virtual X server).
#
# Each flavour of the build is a tree of its own under build/, with its own
# compiler and flags (see "Build trees" below): release (run), asan, plain,
# m32 or m32-qemu, fuzz; the Debian packages build from a copy of the sources
# with the plain default configuration.
#
# Environment:
#   LYRASIL_EMULATE_32BIT=1   test runs the 32-bit programs under QEMU's
#                             user-mode emulator (qemu-i386) even where this
#                             kernel runs them itself; where it cannot, they
#                             always run under the emulator.
set -euo pipefail
cd "$(dirname "$0")"
top=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

# --- Packages ----------------------------------------------------------------

packages=(
  build-essential cmake pkg-config
  googletest libgtest-dev
  libwxgtk-media3.2-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  xvfb xauth
  groff img2pdf poppler-utils
)
test_packages=(
  gcc-multilib g++-multilib qemu-user
  python3 python3-mutagen
  clang libclang-rt-14-dev
  valgrind
  locales
  xfsprogs acl strace
)
# The tools that build the Debian packages and check them (the packages' own
# build dependencies come from debian/control).
package_packages=(
  dpkg-dev debhelper lintian
  desktop-file-utils appstream
  xvfb xauth xdotool strace poppler-utils
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_packages() {
  local want=("$@") missing=()
  for p in "${want[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "== installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

# --- Build trees -------------------------------------------------------------

configure() { # dir, cmake args...
  local dir=$1; shift
  cmake -S "$top" -B "$dir" "$@" >/dev/null
}

build() { # dir [target]
  cmake --build "$1" -j "$jobs" ${2:+--target "$2"}
}

# The flags that make each flavour, for the whole of its tree.
sanitizer_flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
sanitizer_link="-fsanitize=address,undefined"
fuzz_flags="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"

# The editor and the converters as users get them.
configure_release() {
  configure build/release -DCMAKE_BUILD_TYPE=Release -DLYRASIL_TESTS=OFF -DLYRASIL_BENCH=OFF
}

# Everything under AddressSanitizer and UndefinedBehaviorSanitizer.
configure_asan() {
  configure build/asan -DCMAKE_BUILD_TYPE=Debug -DLYRASIL_BENCH=OFF \
    "-DCMAKE_C_FLAGS=$sanitizer_flags" "-DCMAKE_CXX_FLAGS=$sanitizer_flags" \
    "-DCMAKE_EXE_LINKER_FLAGS=$sanitizer_link" "-DCMAKE_SHARED_LINKER_FLAGS=$sanitizer_link"
}

# No instrumentation: for the checks that cannot share a process with
# AddressSanitizer (a preloaded fault shim, valgrind).
configure_plain() {
  configure build/plain -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLYRASIL_BENCH=OFF
}

# 32-bit programs (no editor), with GoogleTest built from Debian's sources:
# Debian's library is the machine's own 64-bit one.  DIR EMULATOR: the
# emulator's command, separated by ";", or empty to run them directly.
configure_m32() {
  configure "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLYRASIL_GUI=OFF -DLYRASIL_BENCH=OFF \
    -DCMAKE_C_FLAGS=-m32 -DCMAKE_CXX_FLAGS=-m32 -DLYRASIL_GTEST_SOURCE=/usr/src/googletest \
    "-DCMAKE_CROSSCOMPILING_EMULATOR=$2"
}

# The libFuzzer targets; clang instruments the whole tree, libraries included.
configure_fuzz() {
  configure build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    "-DCMAKE_C_FLAGS=$fuzz_flags" "-DCMAKE_CXX_FLAGS=$fuzz_flags" "-DCMAKE_EXE_LINKER_FLAGS=$sanitizer_link" \
    -DLYRASIL_FUZZ=ON -DLYRASIL_GUI=OFF -DLYRASIL_TESTS=OFF -DLYRASIL_BENCH=OFF
}

ctest_in() { # dir, ctest args...
  local dir=$1; shift
  (cd "$dir" && ctest --output-on-failure -j "$jobs" "$@")
}

# --- Debian packages ---------------------------------------------------------

# Builds the packages from a copy of the tree (dpkg-buildpackage writes its
# results beside the tree it builds) and moves them into build/deb.
build_packages() {
  install_packages "${package_packages[@]}"
  if ! dpkg-checkbuilddeps "$top/debian/control" 2>/dev/null; then
    echo "== installing the build dependencies of debian/control"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get build-dep -y -qq --no-install-recommends "$top"
  fi
  local out=$top/build/deb
  local version; version=$(dpkg-parsechangelog -l "$top/debian/changelog" -S Version)
  local src=$out/work/lyrasil-${version%-*}
  rm -rf "$out" && mkdir -p "$src"
  tar -C "$top" --exclude=./build --exclude=./.git --exclude='./obj-*' -cf - . | tar -C "$src" -xf -
  echo "== dpkg-buildpackage -us -uc -b (log: $out/build.log)"
  if ! (cd "$src" && DEB_BUILD_OPTIONS="parallel=$jobs" dpkg-buildpackage -us -uc -b) >"$out/build.log" 2>&1; then
    tail -n 60 "$out/build.log"
    echo "== the package build failed"
    return 1
  fi
  tail -n 12 "$out/build.log"
  mv "$out"/work/*.deb "$out"/work/*.changes "$out"/work/*.buildinfo "$out"/
  rm -rf "$out/work"
  echo "== packages:"
  ls -1 "$out"/*.deb
}

# --- Test steps --------------------------------------------------------------
# Each step builds its tree and runs its tests; its status is the step's
# result.  Steps run with errexit off (they are called as conditions), so
# every command that can fail is checked.

# The unit, program and GUI tests, under the sanitizers; the GUI tests get
# their own virtual X server from xvfb-run.
step_sanitizers() {
  configure_asan && build build/asan || return 1
  (cd build/asan && xvfb-run -a -s "-screen 0 1280x1024x24" \
     ctest --output-on-failure -j "$jobs" --timeout 300)
}

# Fault injection, crash safety and valgrind, on the ordinary programs of a
# tree without instrumentation; only what those tests run is built.
step_hardening() {
  configure_plain && build build/plain hardening || return 1
  ctest_in build/plain -L hardening --timeout 600
}

can_run_32bit() {
  local probe; probe=$(mktemp -d)
  printf 'int main(void) { return sizeof(void *) == 4 ? 0 : 1; }\n' >"$probe/p.c"
  gcc -m32 -o "$probe/p" "$probe/p.c" 2>/dev/null && "$probe/p" 2>/dev/null
  local ok=$?; rm -rf "$probe"; return $ok
}

# The core, the replace and INI libraries and the converters as 32-bit
# programs: their unit tests and the converters' end-to-end tests.  Where
# this kernel runs no 32-bit programs (some virtual machines are built
# without that), or LYRASIL_EMULATE_32BIT is set, they run under qemu-i386,
# which the tree puts before each test program; nothing is registered
# system-wide.
step_32bit() {
  local dir=build/m32 emulator=
  if [ -n "${LYRASIL_EMULATE_32BIT:-}" ] || ! can_run_32bit; then
    dir=build/m32-qemu emulator="$(command -v qemu-i386);-L;/"
    echo "== the 32-bit programs run under the emulator: ${emulator//;/ }"
  fi
  configure_m32 "$dir" "$emulator" && build "$dir" || return 1
  ctest_in "$dir" -L 'e2e|core|replace|ini' --timeout 600
}

# Every fuzz target over its seed corpus, then each briefly.
step_fuzz() {
  configure_fuzz && build build/fuzz || return 1
  ctest_in build/fuzz/fuzz -L fuzz --timeout 600
}

# The Debian packages, built, checked by lintian and unpacked: the
# converters and the editor run from the unpacked tree.
step_packages() {
  build_packages && "$top/debian/check-packages.sh" "$top/build/deb"
}

# --- Commands ----------------------------------------------------------------

cmd_run() {
  install_packages "${packages[@]}"
  configure_release
  build build/release
  exec "$top/scripts/demo.sh" "$top/build/release"
}

cmd_package() {
  build_packages
}

cmd_fuzz_build() {
  install_packages build-essential cmake clang libclang-rt-14-dev
  configure_fuzz
  build build/fuzz
}

cmd_test() {
  install_packages "${packages[@]}" "${test_packages[@]}"
  # A locale with a decimal comma, for the tests that numbers typed into the
  # editor keep their decimal point whatever the locale.
  if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf-\?8'; then
    echo "== generating the de_DE.UTF-8 locale"
    as_root localedef -i de_DE -f UTF-8 de_DE.UTF-8
  fi

  local steps=(sanitizers hardening 32bit fuzz packages)
  local step start summary=() failed=()
  local all_start=$SECONDS
  for step in "${steps[@]}"; do
    echo "== step $step"
    start=$SECONDS
    if "step_$step"; then
      summary+=("$(printf '%-11s passed  %4d s' "$step" $((SECONDS - start)))")
    else
      summary+=("$(printf '%-11s FAILED  %4d s' "$step" $((SECONDS - start)))")
      failed+=("$step")
    fi
    echo "== step $step: ${summary[-1]#"$step"}"
  done

  echo "== summary"
  printf '   %s\n' "${summary[@]}"
  echo "   total $((SECONDS - all_start)) s"
  if [ ${#failed[@]} -gt 0 ]; then
    echo "== FAILED: ${failed[*]}"
    return 1
  fi
  echo "== all tests passed"
}

case "${1:-}" in
  run) cmd_run ;;
  test) cmd_test ;;
  package) cmd_package ;;
  fuzz-build) cmd_fuzz_build ;;
  *) echo "usage: ./setup.sh run|test|package|fuzz-build" >&2; exit 2 ;;
esac
