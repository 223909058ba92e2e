; Lumistamp's installer: one user, no administrator rights.
;
;   makensis -DPROGRAM=<Lumistamp.exe> [-DOUTDIR=<folder> | -DOUTFILE=<setup.exe>] lumistamp.nsi
;
; makensis works in this script's folder: give the paths in full.
; Installs the program to %LOCALAPPDATA%\Programs\Lumistamp, a Start menu
; shortcut for the current user and an uninstall entry under HKCU. Installing
; over a running Lumistamp ends it as its tray menu's Exit does, replaces it and
; starts it again. The uninstaller ends it the same way and removes the
; program, the shortcut, the uninstall entry and the autostart Run value; the
; settings key and the log file stay for a later install. "/S" runs either
; without a window. The version comes from the program's own version block:
; without OUTFILE the installer is <OUTDIR>/Lumistamp-<major.minor.patch>-setup.exe.

Unicode true
; 64-bit like the program, so a 64-bit-only Wine runs it as well.
Target amd64-unicode
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!ifndef PROGRAM
  !error "Give the program to pack: makensis -DPROGRAM=<path of Lumistamp.exe> lumistamp.nsi"
!endif
!getdllversion "${PROGRAM}" PROGRAM_VERSION_
!define VERSION "${PROGRAM_VERSION_1}.${PROGRAM_VERSION_2}.${PROGRAM_VERSION_3}"
!define FULL_VERSION "${VERSION}.${PROGRAM_VERSION_4}"
!ifndef OUTFILE
  !ifndef OUTDIR
    !define OUTDIR "."
  !endif
  !define OUTFILE "${OUTDIR}/Lumistamp-${VERSION}-setup.exe"
!endif

!define PUBLISHER "the Lumistamp developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumistamp"
; The program's autostart entry: a value of this name under the Run key.
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define AUTOSTART_VALUE "KX_Lumistamp"
; The program's hidden main window (string 109) and its tray menu's Exit.
!define WINDOW_CLASS "LUMISTAMP"
!define IDM_EXIT 1002
!define SYNCHRONIZE 0x00100000
!define WAIT_OBJECT_0 0
; Exit stops the folder monitors, which takes the program at most a few seconds.
!define EXIT_LIMIT_MS 15000

Name "Lumistamp"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Lumistamp"
; An upgrade goes where the last install went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Lumistamp ${VERSION}"

!define MUI_ICON "../resources/lumistamp.ico"
!define MUI_UNICON "../resources/lumistamp.ico"
!define MUI_ABORTWARNING

; The interactive installer: where, then go; the last page offers to start it.
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Lumistamp"
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgramUnlessRunning
!define MUI_PAGE_CUSTOMFUNCTION_SHOW ShowFinishPage
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${FULL_VERSION}"
VIFileVersion "${FULL_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Lumistamp"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${FULL_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${FULL_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Lumistamp ${VERSION} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

; 1 when the install found Lumistamp running and ended it.
Var ProgramWasRunning

; Ends a running Lumistamp as its tray menu's Exit does: the Exit command sent
; to its hidden window, then a bounded wait for its process to end, since its
; file can be replaced or deleted only then. Sets $ProgramWasRunning. A copy
; that does not end leaves the choice to the user (Retry, or Cancel, which
; aborts with nothing changed); a silent run aborts, with exit code 2.
!macro DEFINE_END_RUNNING_PROGRAM PREFIX
Function ${PREFIX}EndRunningProgram
  StrCpy $ProgramWasRunning 0
  ${Do}
    FindWindow $0 "${WINDOW_CLASS}"
    ${If} $0 P= 0
      Return
    ${EndIf}
    StrCpy $ProgramWasRunning 1
    DetailPrint "Ending the running Lumistamp..."
    System::Call "user32::GetWindowThreadProcessId(p r0, *i .r1) i"
    System::Call "kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p .r2"
    SendMessage $0 ${WM_COMMAND} ${IDM_EXIT} 0 /TIMEOUT=${EXIT_LIMIT_MS}
    ${If} $2 P<> 0
      System::Call "kernel32::WaitForSingleObject(p r2, i ${EXIT_LIMIT_MS}) i .r3"
      System::Call "kernel32::CloseHandle(p r2)"
      ${If} $3 = ${WAIT_OBJECT_0}
        Return
      ${EndIf}
    ${Else}
      ; No handle to wait on: its window goes when the process ends.
      StrCpy $3 0
      ${Do}
        Sleep 100
        IntOp $3 $3 + 100
        FindWindow $0 "${WINDOW_CLASS}"
        ${If} $0 P= 0
          Return
        ${EndIf}
      ${LoopUntil} $3 >= ${EXIT_LIMIT_MS}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "Lumistamp is still running. Choose Exit in its tray icon's menu, then Retry." \
      /SD IDCANCEL IDRETRY retry
    DetailPrint "Lumistamp did not end: nothing was changed."
    Abort
    retry:
  ${Loop}
FunctionEnd
!macroend
!insertmacro DEFINE_END_RUNNING_PROGRAM ""
!insertmacro DEFINE_END_RUNNING_PROGRAM "un."

Function .onInit
  SetShellVarContext current
FunctionEnd

Section "Lumistamp"
  SectionIn RO
  Call EndRunningProgram

  SetOutPath "$INSTDIR"
  File "/oname=Lumistamp.exe" "${PROGRAM}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Lumistamp.lnk" "$INSTDIR\Lumistamp.exe" "" \
    "$INSTDIR\Lumistamp.exe" 0 SW_SHOWNORMAL "" "Names pictures after the moment they were taken"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Lumistamp"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Lumistamp.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  ${GetSize} "$INSTDIR" "/S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1

  ; The settings key, the folders, the autostart value and the log are the
  ; user's and stay as they are; only a copy that was running comes back.
  ${If} $ProgramWasRunning = 1
    DetailPrint "Starting Lumistamp again..."
    Exec '"$INSTDIR\Lumistamp.exe"'
  ${EndIf}
SectionEnd

; A copy started again after an upgrade runs already: the finish page then
; offers nothing to start.
Function ShowFinishPage
  ${If} $ProgramWasRunning = 1
    SendMessage $mui.FinishPage.Run ${BM_SETCHECK} ${BST_UNCHECKED} 0
    ShowWindow $mui.FinishPage.Run ${SW_HIDE}
  ${EndIf}
FunctionEnd

; A second copy would only show its "already running" box.
Function StartProgramUnlessRunning
  FindWindow $0 "${WINDOW_CLASS}"
  ${If} $0 P= 0
    Exec '"$INSTDIR\Lumistamp.exe"'
  ${EndIf}
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "Uninstall"
  Call un.EndRunningProgram

  Delete "$INSTDIR\Lumistamp.exe"
  Delete "$INSTDIR\Uninstall.exe"
  ; Left in place when it holds files of the user's.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Lumistamp.lnk"
  ; It would name a program that is gone, tried at every logon.
  DeleteRegValue HKCU "${RUN_KEY}" "${AUTOSTART_VALUE}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; The settings key (HKCU\SOFTWARE\KX-Lumistamp) and the log file
  ; (%LOCALAPPDATA%\Lumistamp\Lumistamp.Log) stay: a later install finds them.
SectionEnd
