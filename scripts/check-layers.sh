#!/usr/bin/env bash
# Fails when an include points up a layer, across a layer, or reaches Xlib outside the X11
# backend. Layers, lowest first: platform < framework < avicap, skins < capture, preview <
# app; folders of one rank do not include each other. Usage: scripts/check-layers.sh [ROOT]
set -uo pipefail
root=${1:-$(dirname "$0")/..}
cd "$root" || exit 2

rank() {
  case $1 in
    platform) echo 0 ;;
    framework) echo 1 ;;
    avicap|skins) echo 2 ;;
    capture|preview) echo 3 ;;
    app) echo 4 ;;
    *) echo -1 ;;
  esac
}

failures=0
for folder in platform framework avicap skins capture preview app; do
  [ -d "$folder" ] || continue
  own=$(rank "$folder")
  while IFS=: read -r file line text; do
    target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$text")
    [ "$target" = "$text" ] && continue   # no folder in the path: a header beside the file
    [ "$target" = "$folder" ] && continue
    other=$(rank "$target")
    [ "$other" -lt 0 ] && continue        # not a layer (a test helper, a generated file)
    if [ "$other" -ge "$own" ]; then
      echo "$file:$line: $folder may not include $target: $text"
      failures=$((failures + 1))
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$folder" --include='*.h' --include='*.cpp' 2>/dev/null)
done

# Xlib stays behind the display interface. The one test that provokes X errors is the
# backend's own.
while IFS=: read -r file line text; do
  case $file in
    platform/display/x11/*|tests/platform/X11*) continue ;;
  esac
  echo "$file:$line: Xlib outside platform/display/x11/: $text"
  failures=$((failures + 1))
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]X11/' \
           platform framework avicap skins capture preview app tests bench tools \
           --include='*.h' --include='*.cpp' 2>/dev/null)

if [ "$failures" -gt 0 ]; then
  echo "check-layers: $failures include(s) break the layering" >&2
  exit 1
fi
echo "check-layers: every include points down"
