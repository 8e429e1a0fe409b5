# What the device scripts share; sourced, not run.

# check LABEL COMMAND...: runs the check's command and says "ok" or "FAILED" with the label,
# counting failures in $failures.
check() {
    if "${@:2}"; then
        printf 'ok      %s\n' "$1"
    else
        printf 'FAILED  %s\n' "$1"
        failures=$((failures + 1))
    fi
}

# skip_without_devices NAME: exits 0 with one line where the device model cannot run here.
skip_without_devices() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "$1: skipped, it needs root (loop devices and mounts)"
        exit 0
    fi
    if [ ! -e /dev/fuse ] || [ ! -e /dev/loop-control ]; then
        echo "$1: skipped, this machine has no FUSE or no loop devices"
        exit 0
    fi
    tools/setup-deps.sh slowdevice >/dev/null
    tools/setup-deps.sh bench >/dev/null
}

# make_documents FOLDER COUNT TEMPLATE: the template as FOLDER/orba.html, and COUNT old maps in
# FOLDER/old whose data blocks are whole files of real text from Debian's packages, 8 to 20 KB
# each. The same maps each time.
make_documents() {
    local into=$1 documents=$2 template=$3
    mkdir -p "$into/old"
    cp "$template" "$into/orba.html"
    local start='<div id="DATA_SAVER" class="data_saver">'
    local end='</div>   <!-- <div id="DATA_SAVER">结束 -->'
    local n=0
    while IFS= read -r file; do
        { printf '<html><body>%s' "$start"; cat "$file"; printf '%s</body></html>\n' "$end"; } \
            >"$into/old/map$((n += 1)).html"
        [ "$n" -ge "$documents" ] && break
    done < <(find /usr/share/doc /usr/share/javascript /usr/share/nodejs \
                 \( -name '*.html' -o -name '*.js' -o -name '*.css' -o -name '*.txt' \) \
                 -size +8k -size -20k 2>/dev/null | sort)
    [ "$n" -ge "$documents" ] || { echo "only $n files of real text for maps" >&2; return 1; }
}
