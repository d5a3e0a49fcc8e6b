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
; program files: the start-with-Windows entry and the scheduled scan, each only
; when it starts this copy (it would start a program that is no longer there).
;
; A running Klarwin (from the program folder) is asked to end first, by the
; installer and by the uninstaller, through its own Exit command
; (CloseRunningProgram, common.nsh). It refuses while a scan runs; then nothing
; is changed: the user may retry or cancel; a silent run ends with exit code 2.

!define PRODUCT "Klarwin"
!define DISPLAY_NAME "Klarwin 2011"
!define PUBLISHER "Klarwin"
!define LIST "klarwin"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Klarwin"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

!include "${SRC_DIR}/common.nsh"
!include "MUI2.nsh"
!include "WinMessages.nsh"

; Klarwin's main window is a dialog; its Exit command (the tray menu's) ends it.
!define MAIN_WINDOW_TITLE "Klarwin 2011 | Registry Cleaner"
!define CLOSE_COMMAND 32773
!insertmacro CloseRunningProgramFunction ""
!insertmacro CloseRunningProgramFunction "un."

; Closes the running program, or stops here (exit code 2) with nothing changed.
!macro CloseKlarwinOrStop un
  Call ${un}CloseRunningProgram
  Pop $0
  ${If} $0 != "closed"
    SetErrorLevel 2
    Abort "Klarwin is still running: nothing was changed."
  ${EndIf}
!macroend

; un.ScheduledScanProgram: the program the scheduled scan "Klarwin" starts (its
; Task Scheduler work item, read as the program writes it), on the stack; empty
; when there is no such item or it cannot be read.
!define CLSID_TASK_SCHEDULER "{148BD52A-A2AB-11CE-B11F-00AA00530503}"
!define IID_TASK_SCHEDULER "{148BD527-A2AB-11CE-B11F-00AA00530503}"
!define IID_TASK "{148BD524-A2AB-11CE-B11F-00AA00530503}"
Function un.ScheduledScanProgram
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $4 ""
  System::Call 'ole32::CoInitialize(p 0) i'
  ; CLSCTX_INPROC_SERVER
  System::Call 'ole32::CoCreateInstance(g "${CLSID_TASK_SCHEDULER}", p 0, i 1, g "${IID_TASK_SCHEDULER}", *p .r1) i .r0'
  ${If} $0 = 0
    ; ITaskScheduler::Activate
    System::Call '$1->6(w "Klarwin", g "${IID_TASK}", *p .r2) i .r0'
    ${If} $0 = 0
      ; ITask::GetApplicationName
      System::Call '$2->33(*p .r3) i .r0'
      ${If} $0 = 0
        System::Call 'kernel32::lstrcpynW(w .r4, p r3, i ${NSIS_MAX_STRLEN}) p'
        System::Call 'ole32::CoTaskMemFree(p r3)'
      ${EndIf}
      System::Call '$2->2() i'
    ${EndIf}
    System::Call '$1->2() i'
  ${EndIf}
  System::Call 'ole32::CoUninitialize()'
  Exch $4
  Exch
  Pop $3
  Exch
  Pop $2
  Exch
  Pop $1
  Exch
  Pop $0
FunctionEnd

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
  !insertmacro CloseKlarwinOrStop ""
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
  !insertmacro CloseKlarwinOrStop "un."
  ; Start with Windows and the scheduled scan: only when they start this copy.
  ReadRegStr $0 HKLM "${RUN_KEY}" "Klarwin"
  ${If} $0 == "$INSTDIR\Klarwin.exe"
  ${OrIf} $0 == '"$INSTDIR\Klarwin.exe"'
    DeleteRegValue HKLM "${RUN_KEY}" "Klarwin"
  ${EndIf}
  Call un.ScheduledScanProgram
  Pop $0
  ${If} $0 == "$INSTDIR\Klarwin.exe"
  ${OrIf} $0 == '"$INSTDIR\Klarwin.exe"'
    nsExec::Exec '"$SYSDIR\schtasks.exe" /Delete /TN Klarwin /F'
    Pop $0
    Delete "$WINDIR\Tasks\Klarwin.job"
  ${Else}
    DetailPrint "The scheduled scan starts another copy ($0): kept"
  ${EndIf}

  !insertmacro RemoveProgramFiles
  ; The program file an update set aside.
  Delete "$INSTDIR\Klarwin.exe.bak"
  RMDir "$INSTDIR\backup"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Klarwin.lnk"
  RMDir "$APPDATA\Klarwin"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  !insertmacro RemoveUninstallerWhenDone
SectionEnd
