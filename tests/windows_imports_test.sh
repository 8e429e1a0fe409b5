#!/usr/bin/env bash
# The Windows programs start on every 64-bit Windows from 7 SP1 on: the loader refuses a program
# that imports a DLL or a function the system lacks, before any of its code runs. Reads each
# program's import table and fails on a DLL that Windows 7 SP1 does not have or a function of
# later Windows.
# Usage: windows_imports_test.sh OBJDUMP PROGRAM...
set -euo pipefail
objdump=$1
shift

# DLLs that arrived after Windows 7 SP1 (API sets, the shell's scaling library, and others).
later_dlls='^(api-ms-win-.*|ext-ms-.*|shcore|dcomp|d3d12|dxgidebug|windows\.storage|cfgmgr32_win8|mrmcorer|coremessaging|wintypes|bcp47mrm|onecoreuap.*)\.dll$'
# Functions of Windows 8 and later that the programs could be tempted to call directly.
later_functions='^(GetDpiForWindow|GetDpiForSystem|GetDpiForMonitor|GetDpiFromDpiAwarenessContext|AdjustWindowRectExForDpi|GetSystemMetricsForDpi|SystemParametersInfoForDpi|SetThreadDpiAwarenessContext|GetThreadDpiAwarenessContext|GetWindowDpiAwarenessContext|SetProcessDpiAwarenessContext|SetProcessDpiAwareness|GetProcessDpiAwareness|EnableNonClientDpiScaling|AreDpiAwarenessContextsEqual|GetSystemTimePreciseAsFileTime|CreateFile2|CopyFile2|GetOverlappedResultEx|WaitOnAddress|WakeByAddressSingle|WakeByAddressAll|SetThreadDescription|GetThreadDescription|VirtualAlloc2|MapViewOfFile3|PrefetchVirtualMemory|SetDefaultDllDirectories|AddDllDirectory|GetCurrentPackageId|DiscardVirtualMemory|GetFileInformationByName|GetTickCount2)$'

failed=0
for program in "$@"; do
    imports=$("$objdump" -p "$program" | awk '
        /DLL Name:/ { dll = tolower($3); print "dll " dll; next }
        dll != "" && /^\t[0-9a-f]+\t/ { print "function " dll " " $3 }
        /^$/ && seen { dll = "" }
        /vma:  Hint/ { seen = 1 }')
    if [ -z "$imports" ]; then
        echo "$program: no import table read"
        failed=1
        continue
    fi
    while read -r kind dll name; do
        if [ "$kind" = dll ] && [[ $dll =~ $later_dlls ]]; then
            echo "$program imports $dll, which Windows 7 SP1 does not have"
            failed=1
        elif [ "$kind" = function ] && [[ $name =~ $later_functions ]]; then
            echo "$program imports $name from $dll, which Windows 7 SP1 does not have"
            failed=1
        fi
    done <<<"$imports"
    # The system version the program asks for: 6.1 (Windows 7) or older.
    major=$("$objdump" -p "$program" | awk '/MajorSubsystemVersion/ { print $2 }')
    minor=$("$objdump" -p "$program" | awk '/MinorSubsystemVersion/ { print $2 }')
    if [ "$major" -gt 6 ] || { [ "$major" -eq 6 ] && [ "$minor" -gt 1 ]; }; then
        echo "$program asks for Windows $major.$minor"
        failed=1
    fi
    echo "$program: $(grep -c '^dll ' <<<"$imports") DLLs, $(grep -c '^function ' <<<"$imports") functions, subsystem $major.$minor"
done
exit $failed
