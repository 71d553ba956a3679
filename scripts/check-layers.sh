#!/usr/bin/env bash
# Fails when an include points up a layer, across a layer, or reaches Xlib outside the X11
# backend. Layers, lowest first: platform < framework < avicap, skins < capture, preview <
# app; folders of one rank do not include each other. Usage: scripts/check-layers.sh [ROOT]
set -uo pipefail
root=${1:-$(dirname "$0")/..}
cd "$root" || exit 2

# One pass over every quoted include of the layer folders: awk knows the ranks.
report=$(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' \
           platform framework avicap skins capture preview app --include='*.h' --include='*.cpp' 2>/dev/null |
  awk '
    BEGIN { r["platform"] = 0; r["framework"] = 1; r["avicap"] = 2; r["skins"] = 2
            r["capture"] = 3; r["preview"] = 3; r["app"] = 4 }
    {
      split($0, at, ":"); file = at[1]; line = at[2]
      text = substr($0, length(file) + length(line) + 3)
      split(file, path, "/"); from = path[1]
      match(text, /"[^\/"]+\//); to = substr(text, RSTART + 1, RLENGTH - 2)
      if (to == from || !(to in r)) next
      if (r[to] >= r[from]) printf "%s:%s: %s may not include %s: %s\n", file, line, from, to, text
    }')
failures=0
if [ -n "$report" ]; then
  echo "$report"
  failures=$(wc -l <<<"$report")
fi

# Xlib stays behind the display interface (the test that provokes X errors lives there too).
while IFS=: read -r file line text; do
  case $file in
    platform/display/x11/*) continue ;;
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
