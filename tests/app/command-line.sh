#!/usr/bin/env bash
# The program's command line, without a display: --help and --version answer on standard
# output and exit 0, anything else is refused on standard error with exit code 2.
# Usage: tests/app/command-line.sh PROGRAM VERSION
set -uo pipefail
program=$1 version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# Runs the program with ARGS and no display; sets rc, out and err.
run() {
    env -u DISPLAY -u WAYLAND_DISPLAY "$program" "$@" >"$work/out" 2>"$work/err"
    rc=$? out=$(cat "$work/out") err=$(cat "$work/err")
}

for option in --help -h; do
    run "$option"
    [ "$rc" = 0 ] || fail "$option exits $rc"
    [ -z "$err" ] || fail "$option writes to standard error: $err"
    grep -q '^Usage: lumofree \[OPTION\]' <<<"$out" || fail "$option: no usage line: $out"
    grep -q 'records.*AVI files' <<<"$out" || fail "$option does not say what the program does"
    grep -qE '^  -V, --version +' <<<"$out" || fail "$option does not list --version"
done
for option in --version -V; do
    run "$option"
    [ "$rc" = 0 ] || fail "$option exits $rc"
    [ -z "$err" ] || fail "$option writes to standard error: $err"
    [ "$(head -n1 <<<"$out")" = "lumofree (Lumo free) $version" ] || fail "$option says: $out"
done
# The first option decides, as with getopt; an unknown one before --help is refused.
for arguments in "--bogus" "-x" "recording.avi" "--bogus --help" "--help=yes"; do
    # shellcheck disable=SC2086
    run $arguments
    [ "$rc" = 2 ] || fail "'$arguments' exits $rc, not 2"
    [ -z "$out" ] || fail "'$arguments' writes to standard output: $out"
    first=${arguments%% *}
    grep -qF "'$first'" <<<"$err" || fail "'$arguments': the complaint does not name $first: $err"
    grep -qF -- '--help' <<<"$err" || fail "'$arguments': the complaint does not name the known options"
done
# An answer that cannot be written is a failure, not a silent success.
env -u DISPLAY "$program" --version >/dev/full 2>"$work/err" && fail "--version into a full disk exits 0"
grep -q 'could not be written' "$work/err" || fail "--version into a full disk says nothing"

[ "$failures" = 0 ] && echo "command line: all checks passed"
exit $((failures > 0))
