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
# No control character but the line break and the tab: one would be formatted as text.
if LC_ALL=C grep -qP '[\x00-\x08\x0b-\x1f\x7f]' "$page"; then
    echo "$page holds a control character"
    exit 1
fi
warnings=""
if command -v man >/dev/null; then
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null || true)
fi
if [[ -n $warnings ]]; then
    echo "$warnings"
    exit 1
fi
echo "manual page agrees with --help"
