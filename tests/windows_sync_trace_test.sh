#!/usr/bin/env bash
# What the Windows build asks of the system with --sync, as Wine's relay log shows each call: every
# output's handle is flushed (FlushFileBuffers) before it takes its name through that handle
# (SetFileInformationByHandle, FileRenameInfoEx or FileRenameInfo), and NewORBA and its parent are
# flushed as folders (opened with FILE_FLAG_BACKUP_SEMANTICS) after the last rename.
#   windows_sync_trace_test.sh ORBA-UPGRADE.EXE
set -euo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

start='<div id="DATA_SAVER" class="data_saver">'
end='</div>   <!-- <div id="DATA_SAVER">结束 -->'
mkdir "$work/old"
printf '<html>%sT%s</html>' "$start" "$end" >"$work/tpl.html"
for name in a b c d e; do
    printf '<p>%s%s%s' "$start" "$name$name$name" "$end" >"$work/old/$name.html"
done

WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/orba-wine-prefix-$(id -u)}" WINEDEBUG=+relay \
    WINEDLLOVERRIDES="mscoree,mshtml=" /usr/lib/wine/wine64 "$program" --sync "Z:${work//\//\\}\\tpl.html" \
    "Z:${work//\//\\}\\old" >/dev/null 2>"$work/relay" || { echo "the run failed"; exit 1; }

# Threads interleave their lines, each whole; handles are hexadecimal. The relay shows an
# argument's whole register: above a 32-bit flag's 8 digits may stand what the register held.
verdict=$(grep -E 'Call KERNEL32\.(FlushFileBuffers|SetFileInformationByHandle|CreateFileW)\(' \
              "$work/relay" | sed -E 's/^[0-9a-f]+:Call KERNEL32\.//' | awk -v outputs=5 '
    /^CreateFileW\(/ { folder = ($0 ~ /,[0-9a-f]*02000000,[0-9a-f]+\) ret=/) ? $0 : ""; next }
    /^FlushFileBuffers\(/ {
        handle = $0; sub(/^FlushFileBuffers\(/, "", handle); sub(/\).*/, "", handle)
        if (folder != "") {
            folders++
            if (renamed < outputs) { print "a folder flushed before the last rename"; bad = 1 }
            if (folder ~ /NewORBA"/) flushedOutputFolder = 1
        } else flushed[handle] = 1
        folder = ""; next }
    /^SetFileInformationByHandle\([0-9a-f]+,0000001[6],|^SetFileInformationByHandle\([0-9a-f]+,00000003,/ {
        handle = $0; sub(/^SetFileInformationByHandle\(/, "", handle); sub(/,.*/, "", handle)
        if (!(handle in named)) {
            if (!flushed[handle]) { print "named before its flush: handle " handle; bad = 1 }
            renamed++
        }
        named[handle] = 1; delete flushed[handle]; next }
    /^SetFileInformationByHandle\(/ { handle = $0; sub(/^SetFileInformationByHandle\(/, "", handle)
        sub(/,.*/, "", handle); delete named[handle] }
    END { if (renamed != outputs || folders != 2 || !flushedOutputFolder)
              print "renames " renamed ", folder flushes " folders ", for " outputs " outputs"
          else if (!bad) print "ok" }')
if [[ $verdict != ok ]]; then
    printf 'with --sync: %s\n' "$verdict"
    exit 1
fi
echo "windows sync trace: 5 outputs flushed before their names, then the folders"
