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
# each, taken again from the first where more maps are asked for than there are files. The same
# maps each time.
make_documents() {
    local into=$1 documents=$2 template=$3
    mkdir -p "$into/old"
    cp "$template" "$into/orba.html"
    local start='<div id="DATA_SAVER" class="data_saver">'
    local end='</div>   <!-- <div id="DATA_SAVER">结束 -->'
    local n=0 files
    mapfile -t files < <(find /usr/share/doc /usr/share/javascript /usr/share/nodejs \
                 \( -name '*.html' -o -name '*.js' -o -name '*.css' -o -name '*.txt' \) \
                 -size +8k -size -20k 2>/dev/null | sort)
    [ "${#files[@]}" -gt 0 ] || { echo "no files of real text for maps" >&2; return 1; }
    while [ "$n" -lt "$documents" ]; do
        { printf '<html><body>%s' "$start"; cat "${files[$((n % ${#files[@]}))]}"
          printf '%s</body></html>\n' "$end"; } >"$into/old/map$((n += 1)).html"
    done
}

# small_template FILE: a template of about 9 KB: real text in its script, and an empty map.
small_template() {
    { printf '<html><head><script>'; head -c 9000 /usr/share/common-licenses/GPL-3
      printf '</script></head><body><div id="DATA_SAVER" class="data_saver">{}</div>   <!-- <div id="DATA_SAVER">结束 --></body></html>\n'
    } >"$1"
}

# mount_slow_device WORK DELAY_MS: the model under WORK: ext4 on a loop device whose backing file
# lies on the FUSE file system of delay_fs.py, which makes every flush wait DELAY_MS and counts
# them in WORK/flushes; mounted at WORK/disk. unmount_slow_device WORK takes it down again.
mount_slow_device() {
    local work=$1 delay=$2
    mkdir -p "$work/backing" "$work/fuse" "$work/disk"
    /usr/bin/python3 bench/slow_device/delay_fs.py "$work/backing" "$work/fuse" "$delay" \
        "$work/flushes" &
    for _ in $(seq 100); do mountpoint -q "$work/fuse" && break; sleep 0.1; done
    truncate -s 256M "$work/fuse/disk.img"
    mkfs.ext4 -q -E lazy_itable_init=0,lazy_journal_init=0 "$work/fuse/disk.img"
    losetup -f --show "$work/fuse/disk.img" >"$work/loop"
    mount "$(cat "$work/loop")" "$work/disk"
}
unmount_slow_device() {
    local work=$1
    mountpoint -q "$work/disk" && umount "$work/disk"
    [ -s "$work/loop" ] && losetup -d "$(cat "$work/loop")"
    mountpoint -q "$work/fuse" && fusermount -u "$work/fuse"
    wait
}
