#!/usr/bin/env bash
# Builds the Debian package keyin_<version>_amd64.deb into build-package/ (an optimised build of
# the three executables alone) and prints its path. scripts/check-package.sh checks it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" --server
KEYIN_TARGETS="keyin-scorer keyin-tool keyin-server keyin_changelog" "$root/scripts/build.sh" \
  "$root/build-package" -DKEYIN_SERVER=ON -DKEYIN_TESTS=OFF -DKEYIN_BENCHMARKS=OFF \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG -D_FORTIFY_SOURCE=2" >/dev/null
cd "$root/build-package"
rm -f keyin_*.deb
cpack -G DEB >/dev/null
ls "$root/build-package"/keyin_*.deb
