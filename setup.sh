#!/usr/bin/env bash
# One-command set-up for a fresh Debian 12 machine.
#
#   ./setup.sh run    install what is needed, build, and run Lyrasil on the demo
#   ./setup.sh test   install what is needed, build, and run every test
#   ./setup.sh package  install what is needed and build the Debian packages
#                       into build/deb
#
# Works as root or through sudo; needs no display and no sound card (the
# tests start their own virtual X server).
set -euo pipefail
cd "$(dirname "$0")"
top=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

mode=${1:-}
case "$mode" in
  run|test|package) ;;
  *) echo "usage: ./setup.sh run|test|package" >&2; exit 2 ;;
esac

# --- packages ---------------------------------------------------------------
packages=(
  build-essential cmake pkg-config
  googletest libgtest-dev
  libwxgtk-media3.2-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  xvfb xauth
  groff img2pdf poppler-utils
)
test_packages=(
  gcc-multilib g++-multilib
  python3 python3-mutagen
  clang libclang-rt-14-dev
  valgrind
  locales
  xfsprogs
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

# The Debian packages: the tools that build them and check them (the
# packages' own build dependencies come from debian/control).
package_packages=(
  dpkg-dev debhelper lintian
  desktop-file-utils appstream
  xvfb xauth xdotool strace poppler-utils
)

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

configure_build() { # dir, cmake args...
  local dir=$1; shift
  cmake -S "$top" -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

if [ "$mode" = run ]; then
  install_packages "${packages[@]}"
  configure_build build/release -DCMAKE_BUILD_TYPE=Release -DLYRASIL_TESTS=OFF -DLYRASIL_BENCH=OFF
  exec "$top/scripts/demo.sh" "$top/build/release"
fi

if [ "$mode" = package ]; then
  build_packages
  exit
fi

install_packages "${packages[@]}" "${test_packages[@]}"
# A locale with a decimal comma, for the tests that numbers typed into the
# editor keep their decimal point whatever the locale.
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf-\?8'; then
  echo "== generating the de_DE.UTF-8 locale"
  as_root localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
status=0

# 1. Everything, under AddressSanitizer and UndefinedBehaviorSanitizer; the
#    GUI tests get their own virtual X server from xvfb-run.
configure_build build/asan -DCMAKE_BUILD_TYPE=Debug -DLYRASIL_SANITIZE=ON -DLYRASIL_BENCH=OFF
echo "== tests (sanitizers)"
(cd build/asan && xvfb-run -a -s "-screen 0 1280x1024x24" \
   ctest --output-on-failure -j "$jobs" --timeout 300) || status=1

# 2. The core and the tools as 32-bit programs, through their end-to-end
#    tests, where this kernel runs 32-bit programs at all (some virtual
#    machines are built without that; the step then says so and is skipped).
can_run_32bit() {
  local probe; probe=$(mktemp -d)
  printf 'int main(void) { return sizeof(void *) == 4 ? 0 : 1; }\n' >"$probe/p.c"
  gcc -m32 -o "$probe/p" "$probe/p.c" 2>/dev/null && "$probe/p" 2>/dev/null
  local ok=$?; rm -rf "$probe"; return $ok
}
if can_run_32bit; then
  configure_build build/m32 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLYRASIL_GUI=OFF -DLYRASIL_BENCH=OFF \
    -DCMAKE_C_FLAGS=-m32 -DCMAKE_CXX_FLAGS=-m32 -DLYRASIL_M32=ON
  echo "== tests (32-bit)"
  (cd build/m32 && ctest --output-on-failure -j "$jobs" -L e2e --timeout 300) || status=1
else
  echo "== tests (32-bit): skipped, this kernel does not run 32-bit programs"
fi

# 3. Fuzz targets: replay every corpus and run each target briefly.
if [ -f fuzz/CMakeLists.txt ]; then
  configure_build build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DLYRASIL_FUZZ=ON -DLYRASIL_GUI=OFF -DLYRASIL_TESTS=OFF -DLYRASIL_BENCH=OFF
  echo "== fuzz corpora, then each target briefly"
  (cd build/fuzz/fuzz && ctest --output-on-failure -j "$jobs" -L fuzz --timeout 600) || status=1
fi

# 4. The Debian packages, built, checked by lintian and unpacked: the
#    converters and the editor run from the unpacked tree.
echo "== Debian packages"
if build_packages; then
  "$top/debian/check-packages.sh" "$top/build/deb" || status=1
else
  status=1
fi

if [ $status -ne 0 ]; then
  echo "== FAILED"
else
  echo "== all tests passed"
fi
exit $status
