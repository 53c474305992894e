; Umbrata's Windows installer, for one user or for everyone.
;
; For me (the default, and what /S does): into %LOCALAPPDATA%\Programs\Umbrata, with the Start-menu
; entry and the uninstall entry under the user's own profile and HKCU, so that installing,
; upgrading and removing never ask for elevation.
; For everyone (/AllUsers, or the choice on the first page): into %ProgramFiles%\Umbrata, with the
; entries in the all-users Start menu and HKLM. That takes administrator rights: an installer or
; uninstaller without them starts itself again through Windows' elevation prompt, waits for that
; one and ends with its status. The two installs are independent of each other.
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
; Elevation is asked for only by the install for everyone, when it is chosen.
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true

!define PRODUCT "Umbrata"
!define PUBLISHER "Orvalin Direzoda"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; What an install put into the install folder, for the uninstaller and for the next upgrade.
!define FILE_LIST "installed-files.lst"
; Marks the installer or uninstaller that was started elevated for everyone: it must not ask again.
!define ELEVATED_OPTION "/Elevated"

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} Setup"
BrandingText "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; An upgrade goes where the earlier version went, unless /D or the directory page says otherwise.
; The install for everyone looks up its own in .onInit.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
; A file that can't be replaced must stop the install, not leave a mix of two versions behind.
AllowSkipFiles off

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh
!include nsDialogs.nsh

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT}"
!define MUI_FINISHPAGE_RUN_FUNCTION StartUmbrata

Page custom ScopePage ScopePageLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; 1 while installing (or removing) for everyone.
Var ForEveryone
; 1 when the command line chose for everyone: the choice is not offered again.
Var ScopeGiven
; 1 when the command line named the folder (/D=).
Var FolderGiven
; The folder chosen before any choice of users: /D's, the user's earlier install's, or the default.
Var StartFolder
; 1 once the choice of users has been shown.
Var ScopeShown
Var OnlyMeButton
Var EveryoneButton

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
  ; Sets $R0 to 1 when this process has administrator rights (an elevated token), else to 0.
  Function ${UN}RunningElevated
    Push $R1
    Push $R2
    StrCpy $R0 0
    System::Call 'kernel32::GetCurrentProcess() p .R1'
    ; TOKEN_QUERY
    System::Call 'advapi32::OpenProcessToken(p R1, i 8, *p .R1) i .R2'
    ${If} $R2 <> 0
      ; TokenElevation: one DWORD, TokenIsElevated.
      System::Call 'advapi32::GetTokenInformation(p R1, i 20, *i .R0, i 4, *i 0) i .R2'
      ${IfThen} $R2 = 0 ${|} StrCpy $R0 0 ${|}
      System::Call 'kernel32::CloseHandle(p R1) i'
    ${EndIf}
    ${If} $R0 <> 0
      StrCpy $R0 1
    ${EndIf}
    Pop $R2
    Pop $R1
  FunctionEnd

  ; Runs the program $R0 with the parameters $R1 as administrator, which Windows asks the user to
  ; consent to, and waits for it, this installer's window hidden meanwhile. Sets $R0 to its exit
  ; code, or to -1 when it did not start: the user declined.
  Function ${UN}RunElevated
    Push $R2
    Push $R3
    ; SHELLEXECUTEINFOW as a 64-bit program lays it out, padding included: SEE_MASK_NOCLOSEPROCESS,
    ; the verb, the program, the parameters, nShow, and the process handle in the last member.
    System::Call '*(i 112, i 0x40, p $HWNDPARENT, w "runas", w R0, w R1, p 0, i ${SW_SHOWNORMAL}, i 0, p 0, p 0, p 0, p 0, i 0, i 0, p 0, p 0) p .R2'
    StrCpy $R0 -1
    System::Call 'shell32::ShellExecuteExW(p R2) i .R3'
    ${If} $R3 <> 0
      StrCpy $R0 0
      System::Call '*$R2(i, i, p, p, p, p, p, i, i, p, p, p, p, i, i, p, p .R3)'
      ${If} $R3 P<> 0
        HideWindow
        System::Call 'kernel32::WaitForSingleObject(p R3, i -1) i'
        System::Call 'kernel32::GetExitCodeProcess(p R3, *i .R0) i'
        System::Call 'kernel32::CloseHandle(p R3) i'
      ${EndIf}
    ${EndIf}
    System::Free $R2
    Pop $R3
    Pop $R2
  FunctionEnd

  ; Sets $R0 to the next top-level window of a running Umbrata after the window $R0 (0: the first
  ; one), or to 0. Qt names its window classes after its version ("Qt5152QWindowIcon"), so only
  ; the "Qt" at their start is relied on; the class tells Umbrata from other windows with its
  ; title, such as a folder named Umbrata shown in Explorer. A window hidden in the tray counts.
  Function ${UN}FindUmbrataWindow
    Push $R1
    next:
      FindWindow $R0 "" "${PRODUCT}" 0 $R0
      ${If} $R0 <> 0
        System::Call 'user32::GetClassNameW(p R0, w .R1, i ${NSIS_MAX_STRLEN}) i'
        StrCpy $R1 $R1 2
        StrCmp $R1 "Qt" 0 next
      ${EndIf}
    Pop $R1
  FunctionEnd

  ; Ends the processes whose program is $INSTDIR\umbrata.exe. The versions before QuitOption only
  ; hide their window on WM_CLOSE while they keep running in the tray, and one started hidden has
  ; no window at all: the processes are looked for, not the windows. The program's path, not its
  ; name, decides: an Umbrata run from elsewhere (the zip) is not this install's to end. A process
  ; that this installer may not open, such as another user's, or an Umbrata run as administrator
  ; when this one is not, is left alone.
  Function ${UN}EndInstalledUmbrata
    Push $R0
    Push $R1
    Push $R2
    Push $R3
    Push $R4
    Push $R5
    Push $R6
    Push $R7
    System::Alloc 16384 ; room for 4096 process ids
    Pop $R5
    System::Call 'kernel32::K32EnumProcesses(p R5, i 16384, *i .R6) i .R0'
    ${If} $R0 <> 0
      IntOp $R6 $R6 / 4
      StrCpy $R7 0
      ${DoWhile} $R7 < $R6
        IntOp $R1 $R7 * 4
        IntPtrOp $R1 $R5 + $R1
        System::Call '*$R1(i .R1)'
        ; PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE
        System::Call 'kernel32::OpenProcess(i 0x101001, i 0, i R1) p .R2'
        ${If} $R2 P<> 0
          System::Call 'kernel32::QueryFullProcessImageNameW(p R2, i 0, w .R3, *i ${NSIS_MAX_STRLEN}) i .R4'
          ${If} $R4 <> 0
          ${AndIf} $R3 == "$INSTDIR\umbrata.exe"
            DetailPrint "Ending ${PRODUCT}"
            System::Call 'kernel32::TerminateProcess(p R2, i 1) i'
            System::Call 'kernel32::WaitForSingleObject(p R2, i 5000) i'
          ${EndIf}
          System::Call 'kernel32::CloseHandle(p R2) i'
        ${EndIf}
        IntOp $R7 $R7 + 1
      ${Loop}
    ${EndIf}
    System::Free $R5
    Pop $R7
    Pop $R6
    Pop $R5
    Pop $R4
    Pop $R3
    Pop $R2
    Pop $R1
    Pop $R0
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

  ; Makes sure no Umbrata runs from $INSTDIR, so that no file about to be replaced or removed is
  ; in use. The installed program, from this version on (QuitOption), asks a running Umbrata to
  ; quit, even one kept in the tray, and waits for it. Then, and for the versions before, each
  ; Umbrata window is asked to close as its close button would, and one still there after 5 s is
  ; ended when it runs this install's program. Stops the install (or removal) with status 2 when
  ; one stays, unless the user quits it and retries.
  Function ${UN}CloseUmbrata
    Push $R0
    Push $R1
    Push $R2
    Push $R3
    retry:
      ClearErrors
      ReadRegDWORD $R0 SHCTX "${UNINSTALL_KEY}" "QuitOption"
      ${If} $R0 = 1
      ${AndIf} ${FileExists} "$INSTDIR\umbrata.exe"
        DetailPrint "Closing ${PRODUCT}"
        nsExec::ExecToLog '"$INSTDIR\umbrata.exe" --quit'
        Pop $R0
      ${EndIf}
      StrCpy $R1 0 ; quarter-seconds waited
      StrCpy $R2 0 ; the window last asked to close
      StrCpy $R3 0 ; 1 once the installed program's processes were ended
      wait:
        StrCpy $R0 0
        Call ${UN}FindUmbrataWindow
        ${If} $R0 <> 0
        ${AndIf} $R0 <> $R2
          DetailPrint "Closing ${PRODUCT}"
          SendMessage $R0 ${WM_CLOSE} 0 0 /TIMEOUT=2000
          StrCpy $R2 $R0
        ${EndIf}
        ${If} $R0 = 0
          Call ${UN}UmbrataLocked
          StrCmp $R0 0 closed
        ${EndIf}
        ; A window that stays, or a program that runs on without one (started hidden, kept in the
        ; tray), is ended after 5 s when it runs this install's program.
        ${If} $R1 >= 20
        ${AndIf} $R3 = 0
          Call ${UN}EndInstalledUmbrata
          StrCpy $R3 1
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
    Pop $R3
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

Function ForMe
  StrCpy $ForEveryone 0
  SetShellVarContext current
  StrCpy $INSTDIR $StartFolder
FunctionEnd

; Where no /D= says otherwise, an upgrade for everyone goes where the earlier one went.
Function ForEveryone
  StrCpy $ForEveryone 1
  SetShellVarContext all
  StrCpy $INSTDIR $StartFolder
  ${If} $FolderGiven != 1
    ReadRegStr $INSTDIR HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $INSTDIR == ""
      StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${EndIf}
  ${EndIf}
FunctionEnd

; Starts the elevated installer for everyone with the parameters $R1 and ends with its status;
; returns when the user declined.
Function InstallElevated
  StrCpy $R0 "$EXEPATH"
  Call RunElevated
  ${If} $R0 <> -1
    SetErrorLevel $R0
    Quit
  ${EndIf}
  MessageBox MB_OK|MB_ICONEXCLAMATION "Installing ${PRODUCT} for everyone needs an administrator's consent." /SD IDOK
FunctionEnd

Function .onInit
  StrCpy $StartFolder $INSTDIR
  ; NSIS takes /D= off the command line: a folder other than the one it would choose tells it.
  ReadRegStr $R0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${IfThen} $R0 == "" ${|} StrCpy $R0 "$LOCALAPPDATA\Programs\${PRODUCT}" ${|}
  ${If} $INSTDIR != $R0
    StrCpy $FolderGiven 1
  ${EndIf}
  ${GetParameters} $R1
  ClearErrors
  ${GetOptions} $R1 "/AllUsers" $R0
  ${If} ${Errors}
    Call ForMe
    Return
  ${EndIf}
  StrCpy $ScopeGiven 1
  Call RunningElevated
  ${If} $R0 = 0
    ClearErrors
    ${GetOptions} $R1 "${ELEVATED_OPTION}" $R0
    ${If} ${Errors}
      StrCpy $R1 "${ELEVATED_OPTION} $R1"
      ; /D= comes last, as NSIS wants it.
      ${If} $FolderGiven == 1
        StrCpy $R1 "$R1 /D=$INSTDIR"
      ${EndIf}
      Call InstallElevated
      SetErrorLevel 1
    ${Else}
      MessageBox MB_OK|MB_ICONSTOP "Installing ${PRODUCT} for everyone needs administrator rights." /SD IDOK
      SetErrorLevel 2
    ${EndIf}
    Quit
  ${EndIf}
  Call ForEveryone
FunctionEnd

; Whom to install for: the user alone, or everyone, which takes an administrator's consent. An
; upgrade of an install for everyone offers that one first.
Function ScopePage
  ${IfThen} $ScopeGiven == 1 ${|} Abort ${|}
  !insertmacro MUI_HEADER_TEXT "Choose Users" "Choose for whom to install ${PRODUCT}."
  nsDialogs::Create 1018
  Pop $R0
  ${NSD_CreateFirstRadioButton} 0 0 100% 24u "Only for &me: no administrator rights are needed"
  Pop $OnlyMeButton
  ${NSD_CreateRadioButton} 0 30u 100% 24u "For &everyone who uses this computer: Windows asks for an administrator's consent"
  Pop $EveryoneButton
  StrCpy $R0 $ForEveryone
  ${If} $ScopeShown != 1
    ReadRegStr $R1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ReadRegStr $R2 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $R1 != ""
    ${AndIf} $R2 == ""
      StrCpy $R0 1
    ${EndIf}
    StrCpy $ScopeShown 1
  ${EndIf}
  ${If} $R0 == 1
    ${NSD_Check} $EveryoneButton
  ${Else}
    ${NSD_Check} $OnlyMeButton
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ScopePageLeave
  ${NSD_GetState} $OnlyMeButton $R0
  ${If} $R0 == ${BST_CHECKED}
    Call ForMe
    Return
  ${EndIf}
  Call RunningElevated
  ${If} $R0 = 0
    StrCpy $R1 "${ELEVATED_OPTION} /AllUsers"
    ${If} $FolderGiven == 1
      StrCpy $R1 "$R1 /D=$StartFolder"
    ${EndIf}
    Call InstallElevated
    Abort
  ${EndIf}
  Call ForEveryone
FunctionEnd

; Umbrata runs with the user's own rights: an installer for everyone, elevated, has Explorer start
; it, as the user would from the Start menu.
Function StartUmbrata
  ${If} $ForEveryone == 1
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\umbrata.exe"'
  ${Else}
    Exec '"$INSTDIR\umbrata.exe"'
  ${EndIf}
FunctionEnd

; An uninstaller belongs to the install for everyone when told so (its uninstall entry says
; /AllUsers) or when HKLM's entry names its folder; without administrator rights it starts the
; folder's uninstaller again, elevated, and ends.
Function un.onInit
  ${GetParameters} $R1
  ClearErrors
  ${GetOptions} $R1 "/AllUsers" $R0
  ${If} ${Errors}
    ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $R0 != $INSTDIR
      StrCpy $ForEveryone 0
      SetShellVarContext current
      Return
    ${EndIf}
  ${EndIf}
  StrCpy $ForEveryone 1
  Call un.RunningElevated
  ${If} $R0 = 0
    ClearErrors
    ${GetOptions} $R1 "${ELEVATED_OPTION}" $R0
    ${If} ${Errors}
      StrCpy $R0 "$INSTDIR\Uninstall.exe"
      StrCpy $R1 "${ELEVATED_OPTION} /AllUsers"
      ${If} ${Silent}
        StrCpy $R1 "$R1 /S"
      ${EndIf}
      Call un.RunElevated
      ${If} $R0 <> -1
        SetErrorLevel $R0
        Quit
      ${EndIf}
      MessageBox MB_OK|MB_ICONEXCLAMATION "Removing ${PRODUCT} for everyone needs an administrator's consent." /SD IDOK
      SetErrorLevel 1
    ${Else}
      MessageBox MB_OK|MB_ICONSTOP "Removing ${PRODUCT} for everyone needs administrator rights." /SD IDOK
      SetErrorLevel 2
    ${EndIf}
    Quit
  ${EndIf}
  SetShellVarContext all
FunctionEnd

Section
  ; Installed into another folder than last time, the earlier install goes from its own: its
  ; uninstaller left there would remove this install's shortcut and uninstall entry.
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
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

  ${If} $ForEveryone == 1
    StrCpy $0 '"$INSTDIR\Uninstall.exe" /AllUsers'
  ${Else}
    StrCpy $0 '"$INSTDIR\Uninstall.exe"'
  ${EndIf}
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" "$0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" "$0 /S"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\umbrata.exe,0"
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ; This version's umbrata.exe --quit ends a running Umbrata, even one kept in the tray: the next
  ; upgrade or removal asks it to.
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "QuitOption" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
  ${If} $ForEveryone != 1
    Call RetireElevatedTask
  ${EndIf}
SectionEnd

; The versions before made "Start at login" a task that ran this folder's umbrata.exe with the
; highest privileges, though any program the user runs may replace that file. A per-user upgrade
; retires the task (Windows asks for an administrator's consent) and starts Umbrata at login
; through the Run value instead, without those rights. Wine's schtasks answers a query for any
; name with success and no definition: a task is there when its definition comes back.
Function RetireElevatedTask
  nsExec::ExecToStack '"$SYSDIR\schtasks.exe" /Query /TN "${PRODUCT}" /XML'
  Pop $0
  Pop $1
  ${If} $0 == 0
  ${AndIf} $1 != ""
    DetailPrint "Retiring the logon task that ran ${PRODUCT} as administrator"
    ExecShellWait "runas" "$SYSDIR\schtasks.exe" '/Delete /TN "${PRODUCT}" /F' SW_HIDE
    nsExec::ExecToStack '"$SYSDIR\schtasks.exe" /Query /TN "${PRODUCT}" /XML'
    Pop $0
    Pop $1
    ${If} $0 == 0
    ${AndIf} $1 != ""
      MessageBox MB_OK|MB_ICONEXCLAMATION "The task of an earlier version that starts Umbrata at logon as administrator remains: delete it in Task Scheduler, then turn Start at login on again." /SD IDOK
    ${Else}
      WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\umbrata.exe" --hidden'
    ${EndIf}
  ${EndIf}
FunctionEnd

; Deletes the logon task named $R0 when it exists, which takes administrator rights (Windows
; asks). Sets $R1 to 1 when the task remains, the user having declined.
Function un.DeleteLogonTask
  nsExec::Exec '"$SYSDIR\schtasks.exe" /Query /TN "$R0"'
  Pop $R2
  ${If} $R2 == 0
    ExecShellWait "runas" "$SYSDIR\schtasks.exe" '/Delete /TN "$R0" /F' SW_HIDE
    nsExec::Exec '"$SYSDIR\schtasks.exe" /Query /TN "$R0"'
    Pop $R2
    ${IfThen} $R2 == 0 ${|} StrCpy $R1 1 ${|}
  ${EndIf}
FunctionEnd

; Leaves the user's own things alone: the log folder under %APPDATA% and the settings under
; HKCU\Software\Orvalin Direzoda\Umbrata survive a removal and a reinstall finds them again. What
; starts the program at login goes, since it would name a program that is no longer there: the
; user's logon task that the program's "Start at login" makes, which only an administrator may
; delete (Windows asks, and only when there is one), the task of the versions that named it
; after the program alone, and a Run value.
Section Uninstall
  Call un.CloseUmbrata
  Call un.RemoveInstalledFiles
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"

  StrCpy $R1 0
  System::Call 'advapi32::GetUserNameW(w .R0, *i ${NSIS_MAX_STRLEN}) i'
  StrCpy $R0 "${PRODUCT} at logon ($R0)"
  Call un.DeleteLogonTask
  StrCpy $R0 "${PRODUCT}"
  Call un.DeleteLogonTask
  ${If} $R1 == 1
    MessageBox MB_OK|MB_ICONEXCLAMATION "The task that starts Umbrata at logon remains: delete it in Task Scheduler." /SD IDOK
  ${EndIf}
  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd

!delfile "${FILE_LIST_TEMP}"
