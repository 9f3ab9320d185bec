# Sourced by the benchmark scripts: sets top (the source tree), build (the
# script's first argument, or build/bench: a Release tree without the
# editor, configured here when missing) and data (a scratch folder removed
# at exit), and builds the targets named.
#
# usage: . "$(dirname "$0")/prepare.sh" "$@" -- TARGET...
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$top/build/bench
if [ $# -gt 0 ] && [ "$1" != -- ]; then build=$1; shift; fi
[ "${1:-}" = -- ] && shift
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLYRASIL_GUI=OFF \
  -DLYRASIL_TESTS=OFF -DLYRASIL_BENCH=ON >/dev/null
cmake --build "$build" -j 2 --target "$@" >/dev/null
data=$(mktemp -d "${TMPDIR:-/tmp}/lyrasil-bench.XXXXXX")
trap 'rm -rf "$data"' EXIT
