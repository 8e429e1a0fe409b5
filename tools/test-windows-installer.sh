#!/usr/bin/env bash
# Installs the Windows installer silently into a fresh Wine prefix, checks that both programs, the
# default template, the uninstaller and the Start-menu entry are there, uninstalls silently and
# checks that they are gone. Before that, the installer refuses a Windows older than 7 SP1, and
# its check refuses a 32-bit Windows; the install itself runs on Windows 7 SP1, the oldest
# accepted. Needs build-windows/orba-upgrade-*-win64.exe (cpack in build-windows).
set -euo pipefail
cd "$(dirname "$0")/.."

installer=$(ls build-windows/orba-upgrade-*-win64.exe)
WINEPREFIX=$(mktemp -d)
export WINEPREFIX
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"  # no menus in the real desktop
tools/wine-run.sh wineboot.exe --init

folder="$WINEPREFIX/drive_c/Program Files/ORBA批量升级工具"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
fail() { echo "installer test: $*"; exit 1; }

# Exit code of a silent run of an installer.
silent_run() {
    local status=0
    tools/wine-run.sh "$@" /S || status=$?
    /usr/lib/wine/wineserver -w
    echo "$status"
}
# Which Windows the prefix says it is.
windows_version() { tools/wine-run.sh winecfg -v "$1"; /usr/lib/wine/wineserver -w; }

# The installer's check alone, built as the installer builds it, made to see a 32-bit Windows: a
# 64-bit installer never starts on one, so this is what a 32-bit one would show.
check_dir=$(mktemp -d)
cat >"$check_dir/check.nsi" <<NSIS
Target amd64-unicode
!define ORBA_SEE_32BIT_WINDOWS
!include "$PWD/cmake/windows_requirements.nsh"
Name "check"
OutFile "$check_dir/check.exe"
RequestExecutionLevel user
Function .onInit
  !insertmacro OrbaRefuseUnsupportedWindows
FunctionEnd
Section
SectionEnd
NSIS
makensis -V1 "$check_dir/check.nsi"
[[ $(silent_run "$check_dir/check.exe") == 3 ]] || fail "the check does not refuse a 32-bit Windows"
rm -rf "$check_dir"

windows_version vista
[[ $(silent_run "$installer") == 3 ]] || fail "the installer does not refuse Windows Vista"
[[ ! -e $folder ]] || fail "the installer refused Windows Vista but installed something"
windows_version win7  # Wine's Windows 7 is Windows 7 SP1

[[ $(silent_run "$installer") == 0 ]] || fail "the installer refuses Windows 7 SP1"
for file in "ORBA批量升级工具.exe" orba-upgrade.exe orba.html Uninstall.exe; do
    [[ -f "$folder/$file" ]] || fail "$file is not installed"
done
entry=$(find "$menu" -name 'ORBA批量升级工具.lnk' | head -n 1)
[[ -n $entry ]] || fail "no Start-menu entry"
# The desktop shortcut is offered on the components page, not chosen by default.
[[ -z $(find "$WINEPREFIX/drive_c/users" -path '*Desktop*' -name 'ORBA批量升级工具.lnk') ]] ||
    fail "a silent install put a shortcut on the desktop"
# Registered for "Apps & features" with name, publisher, version and icon.
registration=$(tools/wine-run.sh reg query \
    'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ORBA批量升级工具' | tr -d '\r')
for value in DisplayName Publisher DisplayVersion DisplayIcon UninstallString; do
    grep -q "$value" <<<"$registration" || fail "the uninstaller's registration lacks $value"
done
grep -q "DisplayVersion *REG_SZ *[0-9.]*$" <<<"$registration" || fail "no version registered"

# With _?= the uninstaller runs where it is instead of copying itself away and returning at once.
tools/wine-run.sh "$folder/Uninstall.exe" /S '_?=C:\Program Files\ORBA批量升级工具'
/usr/lib/wine/wineserver -w
for file in "ORBA批量升级工具.exe" orba-upgrade.exe orba.html; do
    [[ ! -e "$folder/$file" ]] || fail "$file is still there after the uninstall"
done
[[ ! -e $entry ]] || fail "the Start-menu entry is still there after the uninstall"
echo "installer test: installed and removed silently"
