#!/usr/bin/env bash
# The layering check against planted includes, in a temporary copy of the sources: it must
# pass the tree as it is and fail each planted fault, naming the file.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
for folder in platform framework avicap skins capture preview app tests bench tools; do
  [ -d "$here/$folder" ] && cp -r "$here/$folder" "$copy/"
done
check() { "$here/scripts/check-layers.sh" "$copy" >"$copy/out" 2>&1; }
failed=0
expect() {   # expect pass|fail WHAT
  local want=$1 what=$2 got=pass
  check || got=fail
  if [ "$got" != "$want" ]; then
    echo "FAIL: $what: the check said $got"; cat "$copy/out"; failed=1
  else
    echo "ok: $what"
  fi
}
plant() {    # plant FILE LINE: a fresh file holding one include
  mkdir -p "$copy/$(dirname "$1")"
  printf '%s\n' "$2" > "$copy/$1"
}
unplant() { rm -f "$copy/$1"; }

expect pass "the tree as it is"
# Put together here, so that this script itself names no X header.
xheader="X11/X""lib.h"
for planted in "framework/Planted.cpp|#include \"avicap/Vfw.h\"" \
               "platform/Planted.h|#include \"framework/Controls.h\"" \
               "skins/Planted.cpp|#include \"avicap/Vfw.h\"" \
               "avicap/window/Planted.cpp|#include \"skins/Regions.h\"" \
               "capture/Planted.cpp|#include \"app/Mainunit.h\"" \
               "avicap/Planted.cpp|#include <$xheader>" \
               "framework/Planted.cpp|  #  include \"app/Mainunit.h\""; do
  file=${planted%%|*}
  plant "$file" "${planted#*|}"
  expect fail "${planted#*|} in $file"
  grep -q "$file" "$copy/out" || { echo "FAIL: the report does not name $file"; failed=1; }
  unplant "$file"
done
plant "capture/Planted.cpp" '#include "avicap/Vfw.h"'
expect pass "a downward include"
exit $failed
