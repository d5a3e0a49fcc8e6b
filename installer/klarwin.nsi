; Klarwin's installer: the program with Loading.gif and rebooter.exe, the
; "backup" folder beside it, the reports folder "Klarwin" in the common
; application-data folder, a Start-menu shortcut and the uninstaller.
;
; Silent: KlarwinSetup-<version>.exe /S [/D=<folder>]
;
; What the uninstaller keeps (the user's data): the settings under
; HKLM\Software\Klarwin, the ignore list and unresolved errors in the user's
; application-data folder "Klarwin", the registry backups in "backup" and the
; scan reports in the common application-data folder "Klarwin" (each of these
; two folders goes only when it is empty). What it takes away besides the
; program files: the start-with-Windows entry and the scheduled scan, which
; would start a program that is no longer there.

!define PRODUCT "Klarwin"
!define DISPLAY_NAME "Klarwin 2011"
!define PUBLISHER "Klarwin"
!define LIST "klarwin"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Klarwin"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

!include "${SRC_DIR}/common.nsh"
!include "MUI2.nsh"
!include "WinMessages.nsh"

; CloseKlarwin: a running Klarwin (shown or in the tray) is asked to end through
; its own Exit command, so that its files can be replaced or removed. It
; refuses while a scan runs; then the files it holds stay as they are.
!define MAIN_WINDOW_TITLE "Klarwin 2011 | Registry Cleaner"
!define EXIT_COMMAND 32773
!macro CloseKlarwinFunction un
Function ${un}CloseKlarwin
  FindWindow $0 "" "${MAIN_WINDOW_TITLE}"
  ${If} $0 <> 0
    DetailPrint "Closing the running Klarwin"
    SendMessage $0 ${WM_COMMAND} ${EXIT_COMMAND} 0 /TIMEOUT=3000
    StrCpy $1 0
    ${Do}
      FindWindow $0 "" "${MAIN_WINDOW_TITLE}"
      ${If} $0 = 0
      ${OrIf} $1 >= 50
        ${Break}
      ${EndIf}
      Sleep 200
      IntOp $1 $1 + 1
    ${Loop}
    ; The process ends right after its window.
    Sleep 500
  ${EndIf}
FunctionEnd
!macroend
!insertmacro CloseKlarwinFunction ""
!insertmacro CloseKlarwinFunction "un."

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Klarwin.exe"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Klarwin" SecProgram
  SectionIn RO
  SetShellVarContext all
  Call CloseKlarwin
  !insertmacro InstallProgramFiles
  ; Where every repair leaves its backup (the program creates it too, but an
  ; installed program has it from the start).
  CreateDirectory "$INSTDIR\backup"
  ; The scan reports' folder: the program writes into it and does not create it.
  CreateDirectory "$APPDATA\Klarwin"
  CreateShortCut "$SMPROGRAMS\Klarwin.lnk" "$INSTDIR\Klarwin.exe" "" "$INSTDIR\Klarwin.exe" 0
  !insertmacro WriteUninstallEntry
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Call un.CloseKlarwin
  ; Start with Windows and the scheduled scan: only when they start this copy.
  ReadRegStr $0 HKLM "${RUN_KEY}" "Klarwin"
  ${If} $0 == "$INSTDIR\Klarwin.exe"
  ${OrIf} $0 == '"$INSTDIR\Klarwin.exe"'
    DeleteRegValue HKLM "${RUN_KEY}" "Klarwin"
  ${EndIf}
  nsExec::Exec '"$SYSDIR\schtasks.exe" /Delete /TN Klarwin /F'
  Pop $0
  Delete "$WINDIR\Tasks\Klarwin.job"

  !insertmacro RemoveProgramFiles
  ; The program file an update set aside.
  Delete "$INSTDIR\Klarwin.exe.bak"
  RMDir "$INSTDIR\backup"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Klarwin.lnk"
  RMDir "$APPDATA\Klarwin"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
