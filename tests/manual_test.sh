#!/usr/bin/env bash
# The manual page and --help agree: every option of the usage is in the manual page, and the page
# formats without warnings.
set -euo pipefail
program=$1
page=$2
help=$(LC_ALL=C.UTF-8 "$program" --help)
for option in $(grep -oE -- '(^|[ ,])-(-[a-z-]+|[a-zA-Z])' <<<"$help" | tr -d ' ,' | sort -u); do
    escaped=${option//-/\\-}
    if ! grep -qF -- "$escaped" "$page"; then
        echo "option $option of --help is not in $page"
        exit 1
    fi
done
warnings=""
if command -v man >/dev/null; then
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null || true)
fi
if [[ -n $warnings ]]; then
    echo "$warnings"
    exit 1
fi
echo "manual page agrees with --help"
