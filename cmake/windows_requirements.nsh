; The systems the programs run on: 64-bit Windows 7 SP1 and every later 64-bit Windows. Any other
; system is told so in Chinese, and nothing is installed (exit code 3).
; Defining ORBA_SEE_32BIT_WINDOWS before this file makes the check see a 32-bit system: a 64-bit
; installer never starts on one, so that is how a test sees what a 32-bit one would say.

!include "LogicLib.nsh"
!include "x64.nsh"
!include "WinVer.nsh"

!define ORBA_REFUSED_EXIT_CODE 3

!macro OrbaRefuseUnsupportedWindows
  !ifdef ORBA_SEE_32BIT_WINDOWS
    StrCpy $R9 "32"
  !else
    StrCpy $R9 "32"
    ${If} ${RunningX64}
      StrCpy $R9 "64"
    ${EndIf}
  !endif
  ${If} $R9 != "64"
    MessageBox MB_OK|MB_ICONSTOP "ORBA批量升级工具只能安装在 64 位的 Windows 上（Windows 7 SP1 或更新的版本）。$\n这台电脑的 Windows 是 32 位的，无法安装。" /SD IDOK
    SetErrorLevel ${ORBA_REFUSED_EXIT_CODE}
    Quit
  ${EndIf}
  ${If} ${AtLeastWin8}
  ${ElseIf} ${IsWin7}
  ${AndIf} ${AtLeastServicePack} 1
  ${Else}
    MessageBox MB_OK|MB_ICONSTOP "ORBA批量升级工具需要 Windows 7 SP1 或更新版本的 64 位 Windows。$\n这台电脑的 Windows 版本过旧，无法安装。请先升级 Windows（Windows 7 请先安装 Service Pack 1）。" /SD IDOK
    SetErrorLevel ${ORBA_REFUSED_EXIT_CODE}
    Quit
  ${EndIf}
!macroend
