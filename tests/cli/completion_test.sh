#!/usr/bin/env bash
# The bash completion of tovrik-cli in a bare bash, without the
# bash-completion package: what TAB offers on a few lines, and that the keys,
# values and options it knows are the ones tovrik-cli itself names.
# Usage: completion_test.sh COMPLETION_FILE TOVRIK_CLI
set -uo pipefail
completion=$1 cli=$(realpath "$2")
# shellcheck source=/dev/null
source "$completion" || { echo "FAIL: sourcing $completion"; exit 1; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

work=$(mktemp -d "${TMPDIR:-/tmp}/completion-test.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
printf '[defaults]\nprotocol = standard\n\n[card front desk]\nip = 10.0.0.5\n [ card  store ]\r\nip = 10.0.0.6\n' >site.ini
: >site-b.log

# What TAB offers, joined by |, for the words given; the last is the one
# being completed.
offered() {
  COMP_WORDS=("$cli" "$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="${COMP_WORDS[*]}" COMP_POINT=${#COMP_LINE}
  _tovrik_cli
  local IFS='|'
  echo "${COMPREPLY[*]}"
}
expect() {
  local want=$1 got
  shift
  got=$(offered "$@")
  [ "$got" = "$want" ] || fail "tovrik-cli $*<TAB> offers '$got', not '$want'"
}

#      offered                                  the line up to TAB
expect 'configure|delete|show-config|profile|cards|rollout'   ''
expect 'show-config'                            s
expect '--help|--help-all|--version'            --
expect '--device|--dhcp|--dry-run'              configure --d
expect '--com|--device|--yes|--log|--record|--help' delete --yes --
expect '--seconds'                              show-config --com 2 --s
expect '--help'                                 profile --
expect '1|2|3|4|5|6|7|8'                        delete --com ''
expect '3'                                      show-config --com = 3
expect 'ethernet|onthefly|standard'             configure --protocol ''
expect 'no'                                     configure --dhcp n
expect 'United\ States|United\ Kingdom'         configure --country U
expect 'United Kingdom'                         configure --country '"United K'
expect ''                                       configure --ip ''
expect 'front\ desk|store'                      configure --profile site.ini --card ''
expect 'front desk'                             configure --profile "'site.ini'" --card "'fr"
expect 'store'                                  configure --profile = site.ini --card s
expect ''                                       configure --profile missing.ini --card ''
expect 'site-b.log'                             configure --log site-

# Every key of the template, with the values it allows.
key_values=""
while IFS= read -r line; do
  if [[ $line =~ ^#\ .*:\ (.*)$ ]]; then
    key_values=${BASH_REMATCH[1]}
  elif [[ $line =~ ^#([a-z_]+)\ = ]]; then
    key=${BASH_REMATCH[1]//_/-}
    expect "--$key" configure "--$key"
    want=""
    IFS='|' read -ra values <<<"${key_values// | /|}"
    for value in "${values[@]}"; do want+=${want:+|}$(printf '%q' "$value"); done
    expect "$want" configure "--$key" ''
    key_values=""
  elif [[ $line != \#* ]]; then
    key_values=""
  fi
done < <("$cli" profile)
[ -n "${key:-}" ] || fail "'$cli profile' printed no key"

# Every option that a command's help names is offered after that command.
for command in '' configure delete show-config profile cards rollout; do
  all=" $(offered $command --) "
  all=${all//|/ }
  while read -r option; do
    [[ $all == *" $option "* ]] || fail "$option of tovrik-cli $command --help is not offered"
  done < <("$cli" $command --help | sed -n 's/^ *\(-[^ ,]*, \)*\(--[a-z_-]*\).*/\2/p')
done

[ "$failures" -eq 0 ] || exit 1
echo "ok"
