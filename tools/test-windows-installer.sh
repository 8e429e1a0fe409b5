#!/usr/bin/env bash
# Installs the Windows installer silently into a fresh Wine prefix, checks that both programs, the
# default template, the uninstaller and the Start-menu entry are there, uninstalls silently and
# checks that they are gone. Needs build-windows/orba-upgrade-*-win64.exe (cpack in build-windows).
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

tools/wine-run.sh "$installer" /S
/usr/lib/wine/wineserver -w
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
