; What both installers share: compression, rights, version information, the
; Uninstall entry, and the removal of the files a previous version installed.
;
; Defined by the build (installer/CMakeLists.txt) on the makensis command line:
;   VERSION       the program's version, e.g. 1.0.0
;   VERSION4      the same with four parts, for the version information
;   OUTFILE       the installer's path
;   GEN_DIR       the folder of the generated file lists (manifest.cmake)
;   SRC_DIR       this folder
;   ICON          the program icon (drawn at build time)
; Defined by the including script before !include:
;   PRODUCT       the program's name (Klarwin, Melodrift): folder, exe and key name
;   DISPLAY_NAME  the name shown in Programs and Features
;   PUBLISHER     its maker
;   LIST          the generated file lists' prefix (klarwin, melodrift)

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true
ShowInstDetails show
ShowUninstDetails show

OutFile "${OUTFILE}"
Name "${DISPLAY_NAME}"
InstallDir "$PROGRAMFILES\${PRODUCT}"
; An upgrade goes where the earlier version is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=1033 "ProductName" "${DISPLAY_NAME}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${DISPLAY_NAME} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) ${PUBLISHER}"
VIAddVersionKey /LANG=1033 "OriginalFilename" "${PRODUCT}Setup-${VERSION}.exe"

!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "WordFunc.nsh"
!include "TextFunc.nsh"
!include "WinMessages.nsh"

; The list of the installed files, kept in the program folder, so that the next
; version can take away what it no longer ships (the uninstaller knows its own
; version's files by heart).
!define FILE_LIST "uninstall.lst"

; RemovePreviousFiles: deletes every file named in $INSTDIR\${FILE_LIST} (written
; by an earlier installation), and its folders once they are empty. Only plain
; relative names are followed: a line that could leave the program folder (..,
; a drive, a leading backslash) is
; passed over. User data is never in the list.
Function RemovePreviousFiles
  Push $0
  Push $1
  Push $2
  ${If} ${FileExists} "$INSTDIR\${FILE_LIST}"
    ClearErrors
    FileOpen $0 "$INSTDIR\${FILE_LIST}" r
    ${IfNot} ${Errors}
      ${Do}
        ClearErrors
        FileRead $0 $1
        ${If} ${Errors}
          ${Break}
        ${EndIf}
        ${TrimNewLines} "$1" $1
        ${If} $1 == ""
          ${Continue}
        ${EndIf}
        StrCpy $2 $1 1
        ${If} $2 == "\"
        ${OrIf} $2 == "/"
          ${Continue}
        ${EndIf}
        ClearErrors
        ${WordFind} "$1" ".." "E*" $2
        ${IfNot} ${Errors}
          ${Continue}
        ${EndIf}
        ClearErrors
        ${WordFind} "$1" ":" "E*" $2
        ${IfNot} ${Errors}
          ${Continue}
        ${EndIf}
        Delete "$INSTDIR\$1"
        ; Its folders, when nothing else is left in them (this version puts
        ; back those it uses).
        ${GetParent} "$INSTDIR\$1" $2
        ${DoWhile} $2 != $INSTDIR
          ClearErrors
          RMDir $2
          ${If} ${Errors}
            ${Break}
          ${EndIf}
          ${GetParent} $2 $2
        ${Loop}
      ${Loop}
      FileClose $0
    ${EndIf}
  ${EndIf}
  ClearErrors
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; WriteUninstallEntry: the uninstaller and its entry in Programs and Features.
!macro WriteUninstallEntry
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${DISPLAY_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PRODUCT}.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  ; In place (_?=): whoever runs the quiet command waits for the real work and
  ; gets its real exit code (2: the program would not close, nothing changed),
  ; not the 0 of a copy that goes on alone (see RemoveUninstallerWhenDone).
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; Size of the program folder in KB (the user's files in it count too: they
  ; are what the folder takes on the disk).
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
!macroend

; InstallProgramFiles: the previous version's files out, this version's in,
; with the list of them for the next one.
!macro InstallProgramFiles
  SetOutPath "$INSTDIR"
  Call RemovePreviousFiles
  !include "${GEN_DIR}/${LIST}_install.nsh"
  SetOutPath "$INSTDIR"
  File "/oname=${FILE_LIST}" "${GEN_DIR}/${LIST}_files.txt"
!macroend

; RemoveProgramFiles (uninstaller): this version's files and the folders they
; leave empty; the list and the uninstaller itself.
!macro RemoveProgramFiles
  !include "${GEN_DIR}/${LIST}_uninstall.nsh"
  Delete "$INSTDIR\${FILE_LIST}"
  Delete "$INSTDIR\uninstall.exe"
!macroend

; RemoveUninstallerWhenDone (uninstaller, last): an uninstaller run in place
; (the quiet command) cannot delete its own file. A copy of it in the
; temporary folder waits for it to end, then deletes it and the program folder
; if that is left empty; the copy itself goes at the next restart, as the
; copies the uninstaller makes of itself when run from Programs and Features.
!macro RemoveUninstallerWhenDone
  ${If} ${FileExists} "$INSTDIR\uninstall.exe"
    System::Call 'kernel32::GetCurrentProcessId() i .r0'
    GetTempFileName $1
    Delete "$1"
    CopyFiles /SILENT "$EXEPATH" "$1.exe"
    Exec '"$1.exe" /S /REMOVEUNINSTALLER=$0 _?=$INSTDIR'
  ${EndIf}
!macroend

; The copy's part: it waits (at most 30 s) for the uninstaller to end.
Function un.onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVEUNINSTALLER=" $R1
  ${IfNot} ${Errors}
    ; SYNCHRONIZE
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i R1) p .R2'
    ${If} $R2 <> 0
      System::Call 'kernel32::WaitForSingleObject(p R2, i 30000) i'
      System::Call 'kernel32::CloseHandle(p R2)'
    ${EndIf}
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete /REBOOTOK "$EXEPATH"
    SetErrorLevel 0
    Quit
  ${EndIf}
FunctionEnd

; CloseRunningProgram: a copy of the program running from $INSTDIR is asked to
; end the way its own Close command ends it: WM_CLOSE to its main window (a
; top-level window of that process that no other window owns, whose title
; begins with the program's name, not a dialog box), so that it saves its
; settings and asks its parts whether they may close. A program whose main
; window is a dialog defines MAIN_WINDOW_TITLE (its exact title) and, when its
; own end is a menu command rather than Close, CLOSE_COMMAND (the command id
; sent with WM_COMMAND) before inserting the functions. Its process then has
; CLOSE_WAIT_MS to end. While a copy still runs after that (a part refused, or
; it does not answer), the user may close it and retry, or cancel; a silent run
; does not ask. Leaves "closed" or "running" on the stack.
; Made by !insertmacro CloseRunningProgramFunction "" (installer) or "un."
; (uninstaller).
!define CLOSE_WAIT_MS 20000

!macro CloseRunningProgramFunction un
; The main window of the copy running from $INSTDIR in $R0, its process id in
; $R1; $R0 is 0 when none runs.
Function ${un}FindRunningProgram
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  StrCpy $R0 0
  StrCpy $R1 0
  StrLen $5 "${PRODUCT}"
  StrCpy $0 0
  ${Do}
    System::Call 'user32::FindWindowExW(p 0, p r0, p 0, p 0) p .r0'
    ${If} $0 = 0
      ${Break}
    ${EndIf}
    System::Call 'user32::GetWindow(p r0, i 4) p .r1'
    ${If} $1 <> 0
      ${Continue}
    ${EndIf}
    System::Call 'user32::GetWindowTextW(p r0, w .r1, i ${NSIS_MAX_STRLEN}) i'
!ifdef MAIN_WINDOW_TITLE
    ${If} $1 != "${MAIN_WINDOW_TITLE}"
      ${Continue}
    ${EndIf}
!else
    StrCpy $1 $1 $5
    ${If} $1 != "${PRODUCT}"
      ${Continue}
    ${EndIf}
    System::Call 'user32::GetClassNameW(p r0, w .r1, i 256) i'
    ${If} $1 == "#32770"
      ${Continue}
    ${EndIf}
!endif
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r2) i'
    ; PROCESS_QUERY_LIMITED_INFORMATION
    System::Call 'kernel32::OpenProcess(i 0x1000, i 0, i r2) p .r3'
    ${If} $3 = 0
      ${Continue}
    ${EndIf}
    System::Call 'kernel32::QueryFullProcessImageNameW(p r3, i 0, w .r1, *i ${NSIS_MAX_STRLEN}) i .r4'
    System::Call 'kernel32::CloseHandle(p r3)'
    ${If} $4 <> 0
    ${AndIf} $1 == "$INSTDIR\${PRODUCT}.exe"
      StrCpy $R0 $0
      StrCpy $R1 $2
      ${Break}
    ${EndIf}
  ${Loop}
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

Function ${un}CloseRunningProgram
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  StrCpy $R3 "closed"
  ${Do}
    Call ${un}FindRunningProgram
    ${If} $R0 = 0
      ${Break}
    ${EndIf}
    DetailPrint "Closing the running ${PRODUCT}"
    ; SYNCHRONIZE
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i R1) p .R2'
!ifdef CLOSE_COMMAND
    System::Call 'user32::PostMessageW(p R0, i ${WM_COMMAND}, p ${CLOSE_COMMAND}, p 0) i'
!else
    System::Call 'user32::PostMessageW(p R0, i ${WM_CLOSE}, p 0, p 0) i'
!endif
    ${If} $R2 <> 0
      System::Call 'kernel32::WaitForSingleObject(p R2, i ${CLOSE_WAIT_MS}) i .R1'
      System::Call 'kernel32::CloseHandle(p R2)'
      ${If} $R1 = 0
        ${Continue}
      ${EndIf}
    ${Else}
      ; Not to be waited for: the window's end has to do.
      StrCpy $R1 0
      ${DoWhile} $R1 < ${CLOSE_WAIT_MS}
        System::Call 'user32::IsWindow(p R0) i .R2'
        ${If} $R2 = 0
          ${Break}
        ${EndIf}
        Sleep 250
        IntOp $R1 $R1 + 250
      ${Loop}
      ${If} $R2 = 0
        ${Continue}
      ${EndIf}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "${PRODUCT} is still running and cannot be closed.$\r$\n$\r$\nClose ${PRODUCT} (answer its questions, if it asks any), then click Retry. Cancel stops without changing anything." \
      /SD IDCANCEL IDRETRY retry
    StrCpy $R3 "running"
    ${Break}
    retry:
  ${Loop}
  Exch $R3
  Exch
  Pop $R2
  Exch
  Pop $R1
  Exch
  Pop $R0
FunctionEnd
!macroend
