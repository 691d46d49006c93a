; The Windows installer of ORN10-X-XX Util (makensis, Debian's nsis).
;   makensis -DVERSION=2.2.0 -DLISTS=<folder> -DOUTFILE=<setup.exe> orn10util.nsi
; (scripts/package-windows.sh writes LISTS/install.nsh and uninstall.nsh:
; the files of the deploy folder, and their removal).  Installs them into Program Files\ORN10Util for all users,
; adds Start-menu entries for the window and the readme, puts the folder on
; the PATH of the user who installs (so that orn10ctl runs from a console),
; and registers an uninstaller that removes exactly that again.  /S installs
; and uninstalls silently.
; A 64-bit installer: the programs are 64-bit, and so it runs where they do
; (also under a 64-bit-only Wine).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!ifndef VERSION
  !error "VERSION is not defined"
!endif
!define PRODUCT "ORN10-X-XX Util"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ORN10Util"
!define MENU "$SMPROGRAMS\ORN10-X-XX Util"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\ORN10Util"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "ORN10 Util developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

!include "WinMessages.nsh"

; ---------------------------------------------------------------- PATH
; The user's PATH (HKCU\Environment) with the install folder appended, and
; taken out again on uninstall.  Entries are compared whole, case-insensitive.

; Pushes 1 when $R1 (a ';' list) has the entry $R2, else 0.
Function HasEntry
  Push $R3
  Push $R4
  Push $R5
  StrCpy $R3 "$R1;"
  StrCpy $R5 0
  loop:
    StrCpy $R4 ""
    entry:
      StrCpy $0 $R3 1
      StrCpy $R3 $R3 "" 1
      StrCmp $0 ";" done_entry
      StrCmp $0 "" done_all
      StrCpy $R4 "$R4$0"
      Goto entry
    done_entry:
      StrCmp $R4 $R2 0 loop
      StrCpy $R5 1
  done_all:
  StrCpy $0 $R5
  Pop $R5
  Pop $R4
  Pop $R3
  Push $0
FunctionEnd

Function AddToPath
  ReadRegStr $R1 HKCU "Environment" "Path"
  StrCpy $R2 "$INSTDIR"
  Call HasEntry
  Pop $0
  StrCmp $0 1 done
  StrCmp $R1 "" 0 +3
    StrCpy $R1 "$INSTDIR"
    Goto write
  StrCpy $R1 "$R1;$INSTDIR"
  write:
  WriteRegExpandStr HKCU "Environment" "Path" $R1
  SendMessage ${HWND_BROADCAST} ${WM_WININICHANGE} 0 "STR:Environment" /TIMEOUT=5000
  done:
FunctionEnd

; Rebuilds the PATH without the entry $R2.
Function un.RemoveFromPath
  ReadRegStr $R1 HKCU "Environment" "Path"
  StrCmp $R1 "" done
  StrCpy $R3 "$R1;"
  StrCpy $R5 ""
  loop:
    StrCpy $R4 ""
    entry:
      StrCpy $0 $R3 1
      StrCpy $R3 $R3 "" 1
      StrCmp $0 ";" done_entry
      StrCmp $0 "" finish
      StrCpy $R4 "$R4$0"
      Goto entry
    done_entry:
      StrCmp $R4 $R2 loop
      StrCmp $R4 "" loop
      StrCmp $R5 "" 0 +3
        StrCpy $R5 $R4
        Goto loop
      StrCpy $R5 "$R5;$R4"
      Goto loop
  finish:
  StrCmp $R5 "" 0 +3
    DeleteRegValue HKCU "Environment" "Path"
    Goto notify
  WriteRegExpandStr HKCU "Environment" "Path" $R5
  notify:
  SendMessage ${HWND_BROADCAST} ${WM_WININICHANGE} 0 "STR:Environment" /TIMEOUT=5000
  done:
FunctionEnd

; ---------------------------------------------------------------- install
Section "Install"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  !include "${LISTS}/install.nsh"

  CreateDirectory "${MENU}"
  CreateShortCut "${MENU}\ORN10-X-XX Util.lnk" "$INSTDIR\orn10util.exe"
  CreateShortCut "${MENU}\README.lnk" "$INSTDIR\README.txt"

  Call AddToPath

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "ORN10 Util developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\orn10util.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; ---------------------------------------------------------------- uninstall
; Only what the installer put there goes; files the user added to the
; folder stay, and so does the folder then.
Section "Uninstall"
  SetShellVarContext all
  !include "${LISTS}/uninstall.nsh"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "${MENU}\ORN10-X-XX Util.lnk"
  Delete "${MENU}\README.lnk"
  RMDir "${MENU}"

  StrCpy $R2 "$INSTDIR"
  Call un.RemoveFromPath

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
