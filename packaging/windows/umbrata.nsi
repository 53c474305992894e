; Umbrata's Windows installer: per user, without administrator rights. Everything goes under the
; user's own profile and HKCU, so that installing, upgrading and removing never ask for elevation.
;
;   makensis -V2 -DVERSION=0.1.0 -DSOURCE=/abs/deploy/Umbrata -DOUTFILE=/abs/umbrata-0.1.0-setup.exe \
;            [-DICON=/abs/umbrata.ico] packaging/windows/umbrata.nsi
;
; SOURCE is the deploy folder (umbrata.exe and all it needs); all of it is installed. The list of
; installed files is made from it with find, sort, awk and iconv: makensis runs on a POSIX host.

!ifndef VERSION | SOURCE | OUTFILE
  !error "Define VERSION, SOURCE and OUTFILE: makensis -DVERSION=... -DSOURCE=... -DOUTFILE=..."
!endif
!if ! /FileExists "${SOURCE}/umbrata.exe"
  !error "${SOURCE} holds no umbrata.exe"
!endif

Unicode true
; The program is 64-bit only; a 64-bit installer also sees the same registry view as the program.
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true

!define PRODUCT "Umbrata"
!define PUBLISHER "Orvalin Direzoda"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; What an install put into the install folder, for the uninstaller and for the next upgrade.
!define FILE_LIST "installed-files.lst"

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} Setup"
BrandingText "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; An upgrade goes where the earlier version went, unless /D or the directory page says otherwise.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
; A file that can't be replaced must stop the install, not leave a mix of two versions behind.
AllowSkipFiles off

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\umbrata.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT}"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The file list, in the folder's own terms ("qml\QtQuick\qmldir"): files first, then folders with
; each one before the folder that holds it, so that removing them in order empties each folder
; before it is removed. UTF-16 keeps any file name intact. awk makes the backslashes and line
; ends from character codes: makensis turns each backslash of a !system command into a slash on
; a POSIX host.
!tempfile FILE_LIST_TEMP
!system `cd "${SOURCE}" && { find . -type f; find . -mindepth 1 -type d | LC_ALL=C sort -r; } | LC_ALL=C awk '{ n = split(substr($0, 3), p, "/"); s = p[1]; for (i = 2; i <= n; i++) s = s sprintf("%c", 92) p[i]; printf "%s%c%c", s, 13, 10 }' | iconv -f UTF-8 -t UTF-16LE >"${FILE_LIST_TEMP}"` = 0
; sh has no pipefail: a broken pipeline shows in what it wrote.
!system `iconv -f UTF-16LE -t UTF-8 "${FILE_LIST_TEMP}" | grep -q "^umbrata.exe"` = 0

; Sets $R0 to 1 when $INSTDIR\FILE exists but can't be opened for writing (uses $R1).
!macro UMBRATA_CHECK_WRITABLE FILE
  ${If} ${FileExists} "$INSTDIR\${FILE}"
    ClearErrors
    FileOpen $R1 "$INSTDIR\${FILE}" a
    ${If} ${Errors}
      StrCpy $R0 1
    ${Else}
      FileClose $R1
    ${EndIf}
  ${EndIf}
!macroend

!macro UMBRATA_FUNCTIONS UN
  ; Sets $R0 to a top-level window of a running Umbrata, or to 0. Qt names its window classes
  ; after its version ("Qt5152QWindowIcon"), so only the "Qt" at their start is relied on; the
  ; class tells Umbrata from other windows with its title, such as a folder named Umbrata shown
  ; in Explorer.
  Function ${UN}FindUmbrataWindow
    Push $R1
    StrCpy $R0 0
    next:
      FindWindow $R0 "" "${PRODUCT}" 0 $R0
      ${If} $R0 <> 0
        System::Call 'user32::GetClassNameW(p R0, w .R1, i ${NSIS_MAX_STRLEN}) i'
        StrCpy $R1 $R1 2
        StrCmp $R1 "Qt" 0 next
      ${EndIf}
    Pop $R1
  FunctionEnd

  ; Sets $R0 to 1 when one of the installed programs can't be opened for writing: it is still
  ; running (Windows locks a running program's file), even though it may show no window, as
  ; while it quits or when a command-line run of umbrata-cli is waiting for the key. Qt's core,
  ; which every program of the folder loads, is locked as long as any of them runs.
  Function ${UN}UmbrataLocked
    Push $R1
    StrCpy $R0 0
    !insertmacro UMBRATA_CHECK_WRITABLE "umbrata.exe"
    !insertmacro UMBRATA_CHECK_WRITABLE "umbrata-cli.exe"
    !insertmacro UMBRATA_CHECK_WRITABLE "Qt5Core.dll"
    Pop $R1
  FunctionEnd

  ; Asks a running Umbrata to quit, as its own window's close button would, and waits for it to
  ; be gone, so that no file about to be replaced or removed is in use. Stops the install (or
  ; removal) with status 2 when it stays, unless the user quits it and retries.
  Function ${UN}CloseUmbrata
    Push $R0
    Push $R1
    Push $R2
    retry:
      StrCpy $R1 0 ; quarter-seconds waited
      StrCpy $R2 0 ; the window last asked to close
      wait:
        Call ${UN}FindUmbrataWindow
        ${If} $R0 <> 0
          ${If} $R0 <> $R2
            DetailPrint "Closing ${PRODUCT}"
            SendMessage $R0 ${WM_CLOSE} 0 0 /TIMEOUT=2000
            StrCpy $R2 $R0
          ${EndIf}
        ${Else}
          Call ${UN}UmbrataLocked
          StrCmp $R0 0 closed
        ${EndIf}
        ${If} $R1 < 40
          IntOp $R1 $R1 + 1
          Sleep 250
          Goto wait
        ${EndIf}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "${PRODUCT} is still running.$\r$\n$\r$\nQuit ${PRODUCT}, then choose Retry." /SD IDCANCEL IDRETRY retry
      SetErrorLevel 2
      Abort "${PRODUCT} is still running"
    closed:
    Pop $R2
    Pop $R1
    Pop $R0
  FunctionEnd

  ; Removes a file list's trailing line break.
  Function ${UN}TrimLineBreak
    Exch $R0
    Push $R1
    next:
      StrCpy $R1 $R0 1 -1
      ${If} $R1 == "$\r"
      ${OrIf} $R1 == "$\n"
        StrCpy $R0 $R0 -1
        Goto next
      ${EndIf}
    Pop $R1
    Exch $R0
  FunctionEnd

  ; Removes what the install in $INSTDIR put there, by its file list. A folder goes only once it is
  ; empty, and nothing is removed by wildcard: the user may have chosen a folder that already
  ; held other things, and those must stay.
  Function ${UN}RemoveInstalledFiles
    Push $R0
    Push $R1
    ClearErrors
    FileOpen $R0 "$INSTDIR\${FILE_LIST}" r
    ${IfNot} ${Errors}
      ${Do}
        ClearErrors
        FileReadUTF16LE $R0 $R1
        ${IfThen} ${Errors} ${|} ${ExitDo} ${|}
        Push $R1
        Call ${UN}TrimLineBreak
        Pop $R1
        ${If} $R1 != ""
          Delete "$INSTDIR\$R1"
          RMDir "$INSTDIR\$R1"
        ${EndIf}
      ${Loop}
      FileClose $R0
      Delete "$INSTDIR\${FILE_LIST}"
    ${EndIf}
    Pop $R1
    Pop $R0
  FunctionEnd
!macroend
!insertmacro UMBRATA_FUNCTIONS ""
!insertmacro UMBRATA_FUNCTIONS "un."

Function .onInit
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section
  ; Installed into another folder than last time, the earlier install goes from its own: its
  ; uninstaller left there would remove this install's shortcut and uninstall entry.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $0 != $INSTDIR
  ${AndIf} ${FileExists} "$0\${FILE_LIST}"
    StrCpy $1 $INSTDIR
    StrCpy $INSTDIR $0
    Call CloseUmbrata
    Call RemoveInstalledFiles
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    StrCpy $INSTDIR $1
  ${EndIf}

  Call CloseUmbrata
  ; The earlier version's files go first: one that this version no longer ships would otherwise
  ; stay, and later keep the uninstaller from removing the folder.
  Call RemoveInstalledFiles

  SetOutPath "$INSTDIR"
  File /r "${SOURCE}/*"
  File "/oname=${FILE_LIST}" "${FILE_LIST_TEMP}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\umbrata.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\umbrata.exe,0"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Leaves the user's own things alone: the log folder under %APPDATA% and the settings under
; HKCU\Software\Orvalin Direzoda\Umbrata survive a removal and a reinstall finds them again. What
; starts the program at login goes, since it would name a program that is no longer there: the
; logon task that the program's "Start at login" makes, which only an administrator may delete
; (Windows asks, and only when there is one), and a Run value.
Section Uninstall
  Call un.CloseUmbrata
  Call un.RemoveInstalledFiles
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  nsExec::Exec '"$SYSDIR\schtasks.exe" /Query /TN "${PRODUCT}"'
  Pop $0
  ${If} $0 == 0
    ExecShellWait "runas" "$SYSDIR\schtasks.exe" '/Delete /F /TN "${PRODUCT}"' SW_HIDE
  ${EndIf}
  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

!delfile "${FILE_LIST_TEMP}"
