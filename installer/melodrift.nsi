; Melodrift's installer: the program, its libraries, Modules\, Skins\,
; Language\ (language DLLs and the English presets files), appdatadefault.ini, a
; Start-menu shortcut and the uninstaller; the component "Make Melodrift the
; default player" runs "Melodrift.exe /reg /nostart" (the file types open in
; Melodrift, with "Play" and "Enqueue in Melodrift" in their context menu).
;
; A running Melodrift (from the program folder) is closed first, by the
; installer and by the uninstaller, the way its own Close does it, so that it
; saves its settings (CloseRunningProgram, common.nsh). When it does not close
; (one of its modules refuses, or it does not answer), nothing is changed: the
; user may retry or cancel; a silent run ends with exit code 2.
;
; Silent: MelodriftSetup-<version>.exe /S [/NOASSOC] [/D=<folder>]
;   The default-player component is on, in a silent installation too; /NOASSOC
;   turns it off (on the components page it then starts unticked).
;
; What the uninstaller keeps (the user's data): the data folder in the common
; application-data folder (Corvena\<product>: config.ini, Language.ini,
; playlists.xml, fileDB.dat, Rezodovave.xml). Before it deletes the program it
; gives the file types back to their earlier owners ("/unreg /nostart") and
; removes the class "Melodrift.Player" of this installation.

!define PRODUCT "Melodrift"
!define DISPLAY_NAME "Melodrift 4.0"
!define PUBLISHER "Corvena"
!define LIST "melodrift"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Melodrift"

!include "${SRC_DIR}/common.nsh"
!include "MUI2.nsh"
!include "Sections.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
; The finish page starts Melodrift as the signed-in user, not with the
; installer's administrator rights (its data folder would then be made by the
; administrator and a later normal start might not write to it): the desktop's
; shell, which runs as that user, is asked to start it (StartAsUser below).
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "&Run Melodrift"
!define MUI_FINISHPAGE_RUN_FUNCTION StartAsUser
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

!insertmacro CloseRunningProgramFunction ""
!insertmacro CloseRunningProgramFunction "un."

; Closes the running program, or stops here (exit code 2) with nothing changed.
!macro CloseMelodriftOrStop un
  Call ${un}CloseRunningProgram
  Pop $0
  ${If} $0 != "closed"
    SetErrorLevel 2
    Abort "Melodrift is still running: nothing was changed."
  ${EndIf}
!macroend

Section "Melodrift" SecProgram
  SectionIn RO
  SetShellVarContext all
  !insertmacro CloseMelodriftOrStop ""
  !insertmacro InstallProgramFiles
  CreateShortCut "$SMPROGRAMS\Melodrift.lnk" "$INSTDIR\Melodrift.exe" "" "$INSTDIR\Melodrift.exe" 0
  !insertmacro WriteUninstallEntry
SectionEnd

Section "Make Melodrift the default player" SecAssoc
  ExecWait '"$INSTDIR\Melodrift.exe" /reg /nostart' $0
  DetailPrint "Default player: Melodrift.exe /reg /nostart ended with $0"
SectionEnd

Function StartAsUser
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\Melodrift.exe"'
FunctionEnd

Function .onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/NOASSOC" $R1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecAssoc}
  ${EndIf}
FunctionEnd

; un.ForgetEarlierOwners: the program keeps each file type's earlier owner in the
; value "Tonvar_Back" of the type's key, and "/unreg" gives the type back but
; leaves that value. With the program gone it is taken away too; a type still
; naming the removed "Melodrift.Player" (the program made itself the default
; twice and so kept itself as the earlier owner) gets its earlier owner back or,
; when there is none, no owner rather than a dangling one.
Function un.ForgetEarlierOwners
  StrCpy $R0 0
  ${Do}
    EnumRegKey $R1 HKCR "" $R0
    ${If} $R1 == ""
      ${Break}
    ${EndIf}
    IntOp $R0 $R0 + 1
    StrCpy $R2 $R1 1
    ${If} $R2 != "."
      ${Continue}
    ${EndIf}
    ClearErrors
    ReadRegStr $R3 HKCR "$R1" "Tonvar_Back"
    ${If} ${Errors}
      ${Continue}
    ${EndIf}
    ReadRegStr $R4 HKCR "$R1" ""
    ${If} $R4 == "Melodrift.Player"
      ${If} $R3 != ""
      ${AndIf} $R3 != "Melodrift.Player"
        WriteRegStr HKCR "$R1" "" "$R3"
      ${Else}
        DeleteRegValue HKCR "$R1" ""
      ${EndIf}
    ${EndIf}
    DeleteRegValue HKCR "$R1" "Tonvar_Back"
  ${Loop}
  ClearErrors
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  !insertmacro CloseMelodriftOrStop "un."
  ; The file types go back to their earlier owners while the program is there.
  ${If} ${FileExists} "$INSTDIR\Melodrift.exe"
    ExecWait '"$INSTDIR\Melodrift.exe" /unreg /nostart' $0
    DetailPrint "Default player: Melodrift.exe /unreg /nostart ended with $0"
  ${EndIf}
  Call un.ForgetEarlierOwners
  ; "/unreg" removes the class only while the program is the default player
  ; (and not at all when it cannot run): the class of this installation goes
  ; here in any case. One that opens another installation's program stays.
  ClearErrors
  ReadRegStr $R0 HKCR "Melodrift.Player\shell\open\command" ""
  ${If} ${Errors}
  ${OrIf} $R0 == '"$INSTDIR\Melodrift.exe" "%1"'
    DeleteRegKey HKCR "Melodrift.Player"
  ${EndIf}
  ClearErrors
  !insertmacro RemoveProgramFiles
  ; What the program writes beside itself: the bus log and the debug log.
  Delete "$INSTDIR\Melodrift.log"
  Delete "$INSTDIR\Melodrift_debug.log"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Melodrift.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  !insertmacro RemoveUninstallerWhenDone
SectionEnd
