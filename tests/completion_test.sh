#!/usr/bin/env bash
# Bash completes orba-upgrade's options, then a template file, then a folder.
set -euo pipefail
shopt -s extglob
source "$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/old"
touch "$work/orba.html" "$work/notes.txt"
cd "$work"

expect() {  # WORDS... => EXPECTED
    local words=() expected
    while [[ $1 != "=>" ]]; do words+=("$1"); shift; done
    shift
    expected=$*
    COMP_WORDS=("${words[@]}")
    COMP_CWORD=$((${#words[@]} - 1))
    COMPREPLY=()
    _orba_upgrade
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//')
    if [[ $got != "$expected" ]]; then
        echo "completing '${words[*]}': got '$got', expected '$expected'"
        exit 1
    fi
}

expect orba-upgrade --d "=>" --dry-run
expect orba-upgrade -- "=>" -- --dry-run --help --keep-going --recursive --sync --verbose --version
expect orba-upgrade --r "=>" --recursive
expect orba-upgrade -n "" "=>" old orba.html
expect orba-upgrade orba.html "" "=>" old
expect orba-upgrade -- -n "" "=>" old
expect orba-upgrade -- orba.html "" "=>" old
echo "completion: all cases pass"
