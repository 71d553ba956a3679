#!/usr/bin/env bash
# Builds the Debian package build-package/lumofree_<version>_<arch>.deb from a Release build of
# the program alone in build-package/; its dependencies come from the libraries it links.
# Usage: scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh package
dir=build-package
# Packaging builds the program only: installing does not wait for the tests and benchmarks.
scripts/build.sh "$dir" -DLUMO_BENCH=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON -- lumofree
rm -f "$dir"/lumofree_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
ls "$PWD/$dir"/lumofree_*.deb
