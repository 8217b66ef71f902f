#!/bin/bash
# Completes command lines with zelctl's bash completion and compares the candidates with a table,
# and with what zelctl's --help and the driver's command words say.
# usage: check-completion.sh COMPLETION ZELCTL NAMES_HEADER
set -u
source "$1" || exit 1
zelctl=$2
names_header=$3

# The candidates for the command line "$@", the last word being the one under the cursor.
complete_words() {
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  _zelctl
  printf '%s\n' "${COMPREPLY[@]}" | sort | xargs
}

failed=0
expect() {  # LINE (words separated by blanks; a trailing blank starts an empty word) EXPECTED
  local -a words
  read -ra words <<<"$1"
  [[ $1 == *' ' ]] && words+=("")
  local got
  got=$(complete_words "${words[@]}")
  if [[ $got != "$2" ]]; then
    printf 'zelctl completion of "%s": got "%s", expected "%s"\n' "$1" "$got" "$2"
    failed=1
  fi
}

sorted() { tr ' ' '\n' | sort -u | xargs; }

help=$("$zelctl" --help) || exit 1
# The options of the usage line; an action's own options (monitor --count) come after it.
help_options=$( (head -n 1 <<<"$help" | grep -o -- '--[a-z][a-z-]*'; echo --help) | sorted)
help_actions=$(sed -n 's/^  \([a-z][a-z]*\) .*/\1/p' <<<"$help" | sorted)
command_words=$(sed -n 's/.*Command\[\] = "\([^"]*\)";.*/\1/p' "$names_header" | sorted)
[[ -n $help_actions && -n $command_words ]] || { echo "no actions or command words found"; exit 1; }

runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
touch "$runtime/ZELdrv.lock" "$runtime/ZELdrv2.lock"

while IFS='|' read -r line expected; do
  expect "$line" "$expected"
done <<EOT
zelctl r|request run
zelctl run Se|Send SendDump
zelctl execute mo|moveDTR moveRTS
zelctl run Send |$help_actions
zelctl poke 0205 r|request run
zelctl --s|--service
zelctl -|$help_options
zelctl |$help_actions
zelctl run |$command_words
zelctl --timeout 500 --i|--item
zelctl --topic |ZELdriver
zelctl --item Z|ZELDDEItem
zelctl --timeout |
zelctl poke |
zelctl watch |
zelctl monitor |--count
zelctl monitor --count |
zelctl request --|
zelctl --help |
zelctl -h r|
EOT

# Running drivers are offered as services, the default one when none is.
XDG_RUNTIME_DIR=$runtime expect "zelctl --service " "ZELdrv ZELdrv2"
XDG_RUNTIME_DIR=$runtime/none expect "zelctl --service " "ZELdrv"
exit $failed
