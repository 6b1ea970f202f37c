#!/usr/bin/env bash
# The dialog and the converter name targets and titles with one function: in both executables
# the symbol is defined once, from the same line of the shared library's source.
# $1: the build's output folder.
set -euo pipefail
out=${1:?output folder}
fail() { echo "FAIL: $*" >&2; exit 1; }

origin() {
  local binary=$1 symbol=$2 lines
  lines=$(nm -C --defined-only "$binary" | grep -E " T $symbol(\[abi:cxx11\])?\(" | grep -v '\[clone ' || true)
  [ "$(wc -l <<<"$lines")" -eq 1 ] && [ -n "$lines" ] || fail "$binary: $symbol defined ${lines:+more than once}${lines:-nowhere}"
  addr2line -e "$binary" "0x${lines%% *}" | sed 's/ .*//'
}
for symbol in BuildTargetPath TitleFromTarget; do
  dialog=$(origin "$out/Quenlar" "$symbol") || exit 1
  converter=$(origin "$out/quenlar-convert" "$symbol") || exit 1
  [ "$dialog" = "$converter" ] || fail "$symbol: the dialog's comes from $dialog, the converter's from $converter"
  case "$dialog" in */common/TargetPath.cpp:*) ;; *) fail "$symbol comes from $dialog" ;; esac
  echo "$symbol: both from $dialog"
done
