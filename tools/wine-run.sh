#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, quietly.
set -euo pipefail
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/orba-wine-prefix-$(id -u)}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer on first start
exec /usr/lib/wine/wine64 "$@"
