#!/usr/bin/env bash
# The package's description reads as prose where package managers show it (apt show, dpkg -s):
# the summary, then the long description's lines, none beginning with a stray separator.
set -euo pipefail
package=$1
description=$(dpkg-deb -f "$package" Description)
second=$(sed -n 2p <<<"$description")
if [[ $second != " An ORBA mind map"* ]] || grep -qE '^ [;,]' <<<"$description"; then
    printf 'the description does not read as prose:\n%s\n' "$description"
    exit 1
fi
echo "package description: $(wc -l <<<"$description") lines of prose"
