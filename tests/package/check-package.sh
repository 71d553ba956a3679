#!/usr/bin/env bash
# Makes the Debian package from a built tree and checks it as a distribution would: its
# fields, dependencies that name every library the program links, its files (all under /usr,
# owned by root), and the desktop entry, metainfo file and manual page through their validators.
# Usage: tests/package/check-package.sh BUILD_DIR VERSION APP_ID
set -uo pipefail
build=$1 version=$2 id=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Into a folder of its own, so the build tree keeps no package. cpack first brings the tree up
# to date, which after the build is nothing to do.
if ! (cd "$build" && cpack -G DEB -B "$work/out") >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1
fi
deb=$work/out/lumofree_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$work/out"; echo "FAIL: no $deb"; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = lumofree ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Section)" = video ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ "$(field Description | wc -l)" -gt 2 ] || fail "no long description: $(field Description)"

# Every library the program names (NEEDED) must come through a dependency on its package.
depends=$(field Depends)
[ -n "$depends" ] || fail "the Depends line is empty"
grep -q 'libx11-6' <<<"$depends" || fail "Depends does not name libx11-6: $depends"
# The package names alone, one a line, without versions or alternatives.
tr ',|' '\n\n' <<<"$depends" | awk '{ print $1 }' >"$work/depends"
program=$build/app/lumofree
[ -x "$program" ] || fail "no program at $program"
# The native library, not another architecture's copy of the same name.
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
while read -r soname; do
    owner=$(dpkg -S "*/$multiarch/$soname" 2>/dev/null | head -n1 | cut -d: -f1)
    [ -n "$owner" ] || { fail "no installed package holds $soname"; continue; }
    grep -qxF "$owner" "$work/depends" || fail "Depends does not name $owner ($soname): $depends"
done < <(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')

dpkg-deb -c "$deb" >"$work/contents"
for f in ./usr/bin/lumofree "./usr/share/applications/$id.desktop" \
    ./usr/share/icons/hicolor/scalable/apps/lumofree.svg ./usr/share/lumofree/help.html \
    "./usr/share/metainfo/$id.metainfo.xml" ./usr/share/man/man1/lumofree.1.gz \
    ./usr/share/doc/lumofree/copyright; do
    grep -qE " $(sed 's/[.]/[.]/g' <<<"$f")\$" "$work/contents" || fail "the package lacks $f"
done
awk '$6 != "./" && $6 != "./usr/" && $6 !~ /^\.\/usr\// { print "FAIL: outside /usr: " $6 }
     $2 != "root/root" { print "FAIL: not owned by root: " $2 " " $6 }' "$work/contents" |
    tee "$work/outside" | grep -q . && failures=$((failures + 1))

dpkg-deb -x "$deb" "$work/root"
usr=$work/root/usr
desktop-file-validate "$usr/share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$usr/share/metainfo/$id.metainfo.xml" >"$work/appstream" 2>&1 ||
    { cat "$work/appstream"; fail "appstreamcli validate"; }
# -ww: every warning groff knows; the page must render without one.
zcat "$usr/share/man/man1/lumofree.1.gz" | groff -man -Tutf8 -ww -z 2>"$work/groff"
[ -s "$work/groff" ] && { cat "$work/groff"; fail "the manual page renders with warnings"; }
grep -q 'GPL-2.0-or-later' "$usr/share/doc/lumofree/copyright" &&
    grep -q '/usr/share/common-licenses/GPL-2' "$usr/share/doc/lumofree/copyright" ||
    fail "the copyright file does not name the licence and its Debian copy"
# The packaged (stripped) program still runs.
[ "$(env -u DISPLAY "$usr/bin/lumofree" --version | head -n1)" = "lumofree (Lumo free) $version" ] ||
    fail "the packaged program does not answer --version"

[ "$failures" = 0 ] && echo "package: $(basename "$deb") passed every check; Depends: $depends"
exit $((failures > 0))
