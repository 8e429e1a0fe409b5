# Real shares on the loopback, as users keep maps on a NAS: a Samba server with a guest share
# mounted through smbnetfs (libsmbclient, what desktop file managers use for smb:// places), and
# an SFTP share (sshd on a loopback port, a key made on the fly) mounted with sshfs. Sourced, not
# run; root only. share_up KIND WORK sets one up in the folder WORK and prints where the share's
# folder is mounted; share_down KIND WORK tears it down, leaving no daemon and no mount.

share_packages() {
    tools/setup-deps.sh shares >/dev/null
}

share_up() {
    local kind=$1 work=$2
    mkdir -p "$work/served" "$work/state" "$work/mount"
    chmod 777 "$work/served"
    case $kind in
        smb)
            cat >"$work/smb.conf" <<EOF
[global]
   server role = standalone server
   map to guest = Bad User
   interfaces = 127.0.0.1
   bind interfaces only = yes
   pid directory = $work/state
   lock directory = $work/state
   state directory = $work/state
   cache directory = $work/state
   private dir = $work/state
   log file = $work/state/log.%m
   disable spoolss = yes
   load printers = no
[maps]
   path = $work/served
   guest ok = yes
   read only = no
   force user = root
EOF
            smbd --configfile="$work/smb.conf" -D || return 1
            mkdir -p "$work/home/.smb"
            printf 'auth "guest" ""\nsmb_query_browsers "false"\n' >"$work/home/.smb/smbnetfs.conf"
            chmod 600 "$work/home/.smb/smbnetfs.conf"
            : >"$work/home/.smb/smb.conf"
            HOME="$work/home" smbnetfs "$work/mount" >/dev/null 2>&1 || return 1
            for _ in $(seq 100); do
                [ -d "$work/mount/127.0.0.1/maps" ] && break
                sleep 0.1
            done
            echo "$work/mount/127.0.0.1/maps"
            ;;
        sftp)
            ssh-keygen -q -t ed25519 -N '' -f "$work/state/host" &&
                ssh-keygen -q -t ed25519 -N '' -f "$work/state/user" || return 1
            cp "$work/state/user.pub" "$work/state/authorized"
            chmod 600 "$work/state/authorized"
            mkdir -p /run/sshd
            /usr/sbin/sshd -f /dev/null -p 2222 -o ListenAddress=127.0.0.1 \
                -o HostKey="$work/state/host" -o AuthorizedKeysFile="$work/state/authorized" \
                -o PermitRootLogin=prohibit-password -o PidFile="$work/state/sshd.pid" \
                -o StrictModes=no -o "Subsystem=sftp internal-sftp" || return 1
            sshfs -p 2222 -o IdentityFile="$work/state/user" -o StrictHostKeyChecking=no \
                -o UserKnownHostsFile=/dev/null -o LogLevel=ERROR \
                root@127.0.0.1:"$work/served" "$work/mount" || return 1
            echo "$work/mount"
            ;;
    esac
}

share_down() {
    local kind=$1 work=$2
    if mountpoint -q "$work/mount"; then
        fusermount -u "$work/mount" 2>/dev/null || umount -l "$work/mount"
    fi
    case $kind in
        smb) pkill -f "smbd --configfile=$work/smb.conf" 2>/dev/null ;;
        sftp) [ -f "$work/state/sshd.pid" ] && kill "$(cat "$work/state/sshd.pid")" 2>/dev/null ;;
    esac
    return 0
}
