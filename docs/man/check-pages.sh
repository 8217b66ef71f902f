#!/bin/bash
# Renders each manual page as man(1) does and fails on any warning from man or groff. With
# --options-of PAGE=PROGRAM, every option PROGRAM's --help names must be described in PAGE too.
# usage: check-pages.sh [--options-of PAGE=PROGRAM ...] PAGE ...
set -u
export LC_ALL=C.UTF-8
declare -A program_of=()
while [[ ${1:-} == --options-of ]]; do
  program_of[${2%%=*}]=${2#*=}
  shift 2
done

failed=0
for page in "$@"; do
  warnings=$(man --warnings -E UTF-8 -l -Tutf8 "$page" 2>&1 >/dev/null)
  if [[ -n $warnings ]]; then
    printf '%s:\n%s\n' "$page" "$warnings"
    failed=1
  fi
  name=$(basename "$page")
  [[ -n ${program_of[$name]:-} ]] || continue
  help=$("${program_of[$name]}" --help) || { echo "$name: ${program_of[$name]} --help failed"; failed=1; }
  for option in $(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    # In roff source every hyphen of an option is written \-.
    grep -qF -- "${option//-/\\-}" "$page" || { echo "$name: option $option not described"; failed=1; }
  done
done
exit $failed
