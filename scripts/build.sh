#!/usr/bin/env bash
# Configures and builds one build tree: everything, or the targets named after "--".
# Usage: scripts/build.sh DIR [cmake options...] [-- TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1; shift
options=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do options+=("$1"); shift; done
targets=()
[ $# -gt 0 ] && { shift; targets=(--target "$@"); }
# ccache, where installed, makes rebuilds of unchanged files (and the sanitizer trees) quick.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" "${options[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)" "${targets[@]}"
