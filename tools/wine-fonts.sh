#!/usr/bin/env bash
# Gives the project's Wine prefix Chinese fonts: 宋体 (SimSun), which Wine lacks, is drawn in AR PL
# UMing CN, a Song face with its metrics; and Wine's own dialogs (message boxes, the folder picker)
# fall back to it for Chinese characters their fonts lack.
set -euo pipefail
cd "$(dirname "$0")/.."

substitutes='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
for face in '宋体' 'SimSun' 'NSimSun'; do
    tools/wine-run.sh reg add "$substitutes" /v "$face" /t REG_SZ /d 'AR PL UMing CN' /f >/dev/null
done
links='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
for face in 'Tahoma' 'MS Shell Dlg' 'MS Shell Dlg 2' 'Microsoft Sans Serif' 'Segoe UI'; do
    tools/wine-run.sh reg add "$links" /v "$face" /t REG_MULTI_SZ \
        /d 'uming.ttc,AR PL UMing CN' /f >/dev/null
done
