; The installer of Quendrix Ombrelo, made by tools/package.sh with NSIS:
;   makensis -DSTAGE=<folder with the program's files> -DICON=<app.ico> -DOUTFILE=<setup.exe>
;            -DTARGET=amd64-unicode -DBITS=64 installer.nsi     (the 64-bit program)
;            -DTARGET=x86-unicode -DBITS=32 installer.nsi       (the 32-bit program)
; The installer is a program of the same kind as the one it installs.
; It installs for the current user, without administrator rights, into the
; user's own programs folder. The program keeps "set.txt" and "done.txt"
; beside itself, so that folder must be one the user can write to.
; Both kinds install into the same folder under the same entry of the list
; of installed programs: installing one kind over the other replaces it, and
; either uninstaller removes whichever is there.

Target ${TARGET}
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Quendrix Ombrelo"
!define PUBLISHER "Quendrix Software"
!define VERSION "1.0.0.0"
!define EXE "QuendrixOmbrelo.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QuendrixOmbrelo"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"

Name "${PRODUCT} 1.0 (${BITS}-bit)"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} 1.0 Setup (${BITS}-bit)"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Install"
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    File "${STAGE}/${EXE}"
    File "${STAGE}/help.htm"
    File "${STAGE}/readme.txt"
    File "${STAGE}/converter-licence.txt"
    File "${STAGE}/lgpl-2.1.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortCut "${SHORTCUT}" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} 1.0 (${BITS}-bit)"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "http://www.quendrix.example/ombrelo/"
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; Removes, by name, what the installer put there and the program's own two
; files; nothing else. Other files in the folder (a user's own) stay, and
; then so does the folder. The converter under the Windows directory stays.
Section "Uninstall"
    SetShellVarContext current
    Delete "$INSTDIR\${EXE}"
    Delete "$INSTDIR\help.htm"
    Delete "$INSTDIR\readme.txt"
    Delete "$INSTDIR\converter-licence.txt"
    Delete "$INSTDIR\lgpl-2.1.txt"
    Delete "$INSTDIR\set.txt"
    Delete "$INSTDIR\done.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "${SHORTCUT}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
