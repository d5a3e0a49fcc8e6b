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
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
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
