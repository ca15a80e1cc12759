; Setup for Quorvane, built on Linux with Debian's makensis in two passes (see cmake/ship.cmake).
; The uninstaller first, so that it carries a version block of its own (NSIS gives an uninstaller
; its setup's):
;   makensis -INPUTCHARSET UTF8 -DTARGET=x86-unicode -DVERSION=1.9.5.0 -DDISPLAY_VERSION=1.9.5 -DYEAR=2026
;            -DICON=Quorvane.ico -DUNINSTALLER_OUT=Uninstall.exe -DOUTFILE=discarded.exe Quorvane.nsi
; then the setup, which packs that file:
;   makensis ... -DEXE=Quorvane.exe -DUNINSTALLER=Uninstall.exe -DOUTFILE=QuorvaneSetup-1.9.5.exe
;            -DWIZARD=wizard.bmp Quorvane.nsi
; TEST_SEAMS (the test build's setup only) lets the tests say whether the logon task exists.
; Per machine, elevated; /S for both the setup and the uninstaller. The program itself does the
; rest: "/inst" or "/inststart" registers its logon task, "/uninst" removes the task and ends it.
;
; Exit codes: 0 done, 1 cancelled, 2 failed, 3 another setup runs, 4 downgrade refused,
; 5 unusable /D= folder.

!macro Need define
  !ifndef ${define}
    !error "define ${define} on makensis's command line"
  !endif
!macroend
!insertmacro Need TARGET
!insertmacro Need VERSION
!insertmacro Need DISPLAY_VERSION
!insertmacro Need YEAR
!insertmacro Need OUTFILE
!insertmacro Need ICON
!ifndef UNINSTALLER_OUT
  !insertmacro Need EXE
  !insertmacro Need UNINSTALLER
  !insertmacro Need WIZARD
  !insertmacro Need HOMEPAGE
!endif

Target ${TARGET}
Unicode true
SetCompressor /SOLID lzma
ManifestDPIAware true
ManifestSupportedOS all
RequestExecutionLevel admin

!define PRODUCT Quorvane
!define PUBLISHER Vantorel
; The program's instance name: its window class and the mutex it holds while it runs.
!define INSTANCE TFrmQuorvane
!define TASK QuorvaneTaskMachine
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; Global: two administrators' setups in two sessions would fight over the same folder too.
!define SETUP_MUTEX "Global\QuorvaneSetup"
; Program Files' own protection, for a folder /D= chose (see SecureFolder). The logon task's folder
; check is tested on this very text.
!define FOLDER_SECURITY "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"
!define EXIT_FAILED 2
!define EXIT_ANOTHER_SETUP 3
!define EXIT_DOWNGRADE 4
!define EXIT_BAD_FOLDER 5

Name "${PRODUCT}"
OutFile "${OUTFILE}"
!ifdef UNINSTALLER_OUT
  ; The uninstaller is all this pass makes: kept (and signed, when the build has a certificate)
  ; before makensis packs it into a setup that nobody ships.
  !ifdef SIGN
    !uninstfinalize '"${SIGN}" "${SIGN_PFX}" "%1" "${SIGN_TIMESTAMP}" "${UNINSTALLER_OUT}"' = 0
  !else
    !uninstfinalize 'install -m 644 "%1" "${UNINSTALLER_OUT}"' = 0
  !endif
!else ifdef SIGN
  !finalize '"${SIGN}" "${SIGN_PFX}" "%1" "${SIGN_TIMESTAMP}"' = 0
!endif
; Always the 32-bit folder and registry view, whatever the setup's own architecture: the program is
; a 32-bit one, and an upgrade must find what the last setup left (see .onInit).
InstallDir "$PROGRAMFILES32\${PUBLISHER}\${PRODUCT}"
BrandingText "${PUBLISHER} ${PRODUCT} ${DISPLAY_VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion ${VERSION}
VIFileVersion ${VERSION}

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; What .onInit found wrong is said here, once the language it picked is in effect.
!ifdef UNINSTALLER_OUT
  !define MUI_CUSTOMFUNCTION_UNGUIINIT un.GuiInit
!else
  !define MUI_CUSTOMFUNCTION_GUIINIT GuiInit
!endif

!ifdef UNINSTALLER_OUT
  !insertmacro MUI_UNPAGE_CONFIRM
  !insertmacro MUI_UNPAGE_INSTFILES
!else
  !define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD}"
  !define MUI_COMPONENTSPAGE_NODESC
  !insertmacro MUI_PAGE_WELCOME
  !insertmacro MUI_PAGE_COMPONENTS
  !insertmacro MUI_PAGE_INSTFILES
  ; "Run Quorvane", ticked unless an upgrade found it not running; it starts after Finish.
  !define MUI_FINISHPAGE_RUN
  !define MUI_FINISHPAGE_RUN_FUNCTION StartProgram
  !define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishPageShow
  !insertmacro MUI_PAGE_FINISH
!endif

; English first: it is the language of every user whose language is not among these.
!insertmacro MUI_LANGUAGE English
!insertmacro MUI_LANGUAGE Korean
!insertmacro MUI_LANGUAGE Japanese
!insertmacro MUI_LANGUAGE SimpChinese
!insertmacro MUI_LANGUAGE Russian
!insertmacro MUI_LANGUAGE Italian
!insertmacro MUI_LANGUAGE French
!insertmacro MUI_LANGUAGE Arabic
!include "${__FILEDIR__}\strings.nsh"

VIAddVersionKey /LANG=${LANG_ENGLISH} ProductName "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} CompanyName "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} FileVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} ProductVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} LegalCopyright "© ${YEAR} ${PUBLISHER}"
!ifdef UNINSTALLER_OUT
  VIAddVersionKey /LANG=${LANG_ENGLISH} FileDescription "${PRODUCT} Uninstaller"
  VIAddVersionKey /LANG=${LANG_ENGLISH} OriginalFilename "Uninstall.exe"
!else
  VIAddVersionKey /LANG=${LANG_ENGLISH} FileDescription "${PRODUCT} Setup"
  VIAddVersionKey /LANG=${LANG_ENGLISH} OriginalFilename "QuorvaneSetup-${DISPLAY_VERSION}.exe"
!endif

; The program speaks the language of the user's regional format; the setup follows it, so both
; speak the same one (NSIS alone would go by the display language).
!macro PickLanguage
  System::Call 'kernel32::GetUserDefaultLCID() i.r0'
  IntOp $0 $0 & 0x3FF
  ${If} $0 = 0x12
    StrCpy $LANGUAGE ${LANG_KOREAN}
  ${ElseIf} $0 = 0x11
    StrCpy $LANGUAGE ${LANG_JAPANESE}
  ${ElseIf} $0 = 0x04
    StrCpy $LANGUAGE ${LANG_SIMPCHINESE}
  ${ElseIf} $0 = 0x19
    StrCpy $LANGUAGE ${LANG_RUSSIAN}
  ${ElseIf} $0 = 0x10
    StrCpy $LANGUAGE ${LANG_ITALIAN}
  ${ElseIf} $0 = 0x0C
    StrCpy $LANGUAGE ${LANG_FRENCH}
  ${ElseIf} $0 = 0x01
    StrCpy $LANGUAGE ${LANG_ARABIC}
  ${Else}
    StrCpy $LANGUAGE ${LANG_ENGLISH}
  ${EndIf}
!macroend

; One setup or uninstaller at a time: $0 is 1 when another one holds the lock. The handle stays
; open until this process ends. Only SYNCHRONIZE is asked for: a lock made by a setup running as
; SYSTEM grants administrators no more, and must not be taken for none.
!macro OneSetupAtATime
  System::Call 'kernel32::CreateMutexExW(p 0, w "${SETUP_MUTEX}", i 0, i 0x00100000) p.r0 ?e'
  Pop $1
  ${If} $1 = 183  ; ERROR_ALREADY_EXISTS
  ${OrIf} $1 = 5  ; ERROR_ACCESS_DENIED: someone else's
    StrCpy $0 1
  ${Else}
    StrCpy $0 0
  ${EndIf}
!macroend

; The long form of a folder that exists, so that an 8.3 alias of the install is the install.
!macro LongPath var
  StrCpy $7 ${var}  ; handed over in a register: a path's parentheses would end System's syntax
  System::Call 'kernel32::GetLongPathNameW(w r7, w .r9, i ${NSIS_MAX_STRLEN}) i.r8'
  ${If} $8 > 0
  ${AndIf} $8 < ${NSIS_MAX_STRLEN}
    StrCpy ${var} $9
  ${EndIf}
!macroend

; Ends a running copy the program's own way and waits for its process to go: "/uninst" waits only
; about a second, and only for the window; the instance mutex lasts as long as the process.
; $R0: the recorded install's folder, whose exe is asked first; "" for none (an exe that merely
; lies in a folder is never run: anyone may have put it there). Sets $0 to 1 when no copy runs.
!macro StopProgram un
Function ${un}StopProgram
  ${If} $R0 != ""
  ${AndIf} ${FileExists} "$R0\${PRODUCT}.exe"
    ExecWait '"$R0\${PRODUCT}.exe" /uninst'
  ${EndIf}
  ; A copy started from elsewhere, or one whose exe is gone: the same quit command, sent directly.
  System::Call 'user32::FindWindowW(w "${INSTANCE}", p 0) p.r0'
  ${If} $0 P<> 0
    System::Call 'user32::SendMessageTimeoutW(p r0, i 0x400, p 2, p 0, i 2, i 10000, *p .r1)'
  ${EndIf}
  ${For} $1 1 150
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${INSTANCE}") p.r0'
    ${If} $0 P= 0
      StrCpy $0 1
      Return
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r0)'
    Sleep 100
  ${Next}
  StrCpy $0 0
FunctionEnd
!macroend

; Strips one trailing backslash, so that folders compare equal however they were written.
!macro NoTrailingSlash var
  StrCpy $9 ${var} "" -1
  ${If} $9 == "\"
    StrCpy ${var} ${var} -1
  ${EndIf}
!macroend

!ifdef UNINSTALLER_OUT

Var OwnFilesOnly  ; 1: another folder is the recorded install; this uninstaller removes only itself and its exe
Var AnotherSetup

Section "-"
  WriteUninstaller "$TEMP\Uninstall.exe"  ; never runs: this pass keeps the uninstaller makensis builds
SectionEnd

!insertmacro StopProgram "un."

Function un.onInit
  !insertmacro PickLanguage
  SetShellVarContext all
  SetRegView 32
  !insertmacro OneSetupAtATime
  StrCpy $AnotherSetup $0
  ${If} $AnotherSetup = 1
    SetErrorLevel ${EXIT_ANOTHER_SETUP}
    ${If} ${Silent}
      Quit
    ${EndIf}
    Return
  ${EndIf}
  ; An uninstaller left in a folder the program has moved away from must not take the entry,
  ; shortcuts and logon task of the install that lives elsewhere now.
  StrCpy $OwnFilesOnly 0
  ReadRegStr $0 HKLM "${UNINST_KEY}" InstallLocation
  !insertmacro NoTrailingSlash $0
  StrCpy $2 $INSTDIR
  !insertmacro NoTrailingSlash $2
  !insertmacro LongPath $0
  !insertmacro LongPath $2
  ${If} $0 != ""
  ${AndIf} $0 != $2
    StrCpy $OwnFilesOnly 1
  ${EndIf}
FunctionEnd

Function un.GuiInit
  ${If} $AnotherSetup = 1
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(AnotherSetup)"
    Quit
  ${EndIf}
FunctionEnd

Section Uninstall
  ${If} $OwnFilesOnly = 0
    StrCpy $R0 $INSTDIR
    Call un.StopProgram
  ${EndIf}
  SetOutPath "$TEMP"
  Delete "$INSTDIR\${PRODUCT}.exe"
  ${If} ${FileExists} "$INSTDIR\${PRODUCT}.exe"
    SetErrorLevel ${EXIT_FAILED}
    Abort "$(CannotRemove)"
  ${EndIf}
  ${If} $OwnFilesOnly = 0
    ; Only a running copy removes the logon task on "/uninst"; when none ran, remove it here,
    ; now that the program is gone for certain.
    nsExec::Exec 'schtasks.exe /Delete /TN ${TASK} /F'
    Pop $0
  ${EndIf}
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  ${GetParent} "$INSTDIR" $0
  ${GetFileName} $0 $1
  ${If} $1 == "${PUBLISHER}"
    RMDir $0
  ${EndIf}
  ${If} $OwnFilesOnly = 0
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$DESKTOP\${PRODUCT}.lnk"
    DeleteRegKey HKLM "${UNINST_KEY}"
  ${EndIf}
  ; The user's settings (HKCU\Software\Vantorel\Quorvane) and the installation identifier stay.
SectionEnd

!else  ; the setup

Var OldDir        ; the recorded install's folder, "" when there is none
Var OldVersion    ; its version
Var CreatedTop    ; the outermost folder of $INSTDIR that this setup creates, "" when it existed
Var WasRunning    ; what the setup found before it ended the running copy
Var WasHidden
Var TaskExisted
Var StartIt       ; 1: start the program at the end, with $StartArgs
Var StartArgs
Var InitStop      ; why the wizard must end before its first page: another, downgrade or a folder's fault
Var BadFolder     ; the /D= folder that cannot be used
Var DefaultDir    ; where a first install goes without /D=

!insertmacro StopProgram ""

; The folder /D= gave, checked. NSIS quietly replaces a folder it cannot use with the default and
; removes /D= from $CMDLINE before .onInit, so the real command line is read here.
; Sets $R0 to the folder, made absolute ("" when there was no /D=), and $R1 to why it cannot be
; used ("" when it can; else NotFull, DriveRoot, NoDrive, Network or IsFile).
Function ReadGivenFolder
  StrCpy $R0 ""
  StrCpy $R1 ""
  System::Call 'kernel32::GetCommandLineW() w.R9'
  StrLen $R8 $R9
  StrCpy $R7 0
  ${Do}
    ${If} $R7 >= $R8
      Return  ; no /D=
    ${EndIf}
    ; NSIS knows only " /D=" (and then ignores a folder it finds unusable); "/d=" and a quoted
    ; "/D=..." (how PowerShell passes a folder with blanks) are meant the same way.
    StrCpy $R6 $R9 4 $R7
    ${If} $R6 == " /D="
      IntOp $R7 $R7 + 4
      ${Break}
    ${EndIf}
    StrCpy $R6 $R9 5 $R7
    ${If} $R6 == ' "/D='
      IntOp $R7 $R7 + 5
      ${Break}
    ${EndIf}
    IntOp $R7 $R7 + 1
  ${Loop}
  StrCpy $R0 $R9 "" $R7  ; the rest of the line, as NSIS takes it
  ; Blanks after it, and quotes around it or only at its end.
  ${Do}
    StrCpy $R6 $R0 "" -1
    ${If} $R6 == " "
    ${OrIf} $R6 == '"'
      StrCpy $R0 $R0 -1
    ${Else}
      ${Break}
    ${EndIf}
  ${Loop}
  StrCpy $R6 $R0 1
  ${If} $R6 == '"'
    StrCpy $R0 $R0 "" 1
  ${EndIf}
  StrCpy $R6 $R0 2
  ${If} $R6 == "\\"
  ${OrIf} $R6 == "//"
    StrCpy $R1 Network
    Return
  ${EndIf}
  ; A letter, a colon, a backslash; then no character Windows refuses in a name.
  StrCpy $R6 $R0 1
  StrCpy $R5 $R0 2 1
  ${If} $R5 != ":\"
  ${AndIf} $R5 != ":/"
    StrCpy $R1 NotFull
    Return
  ${EndIf}
  ${StrFilter} $R6 "2" "" "" $R5  ; only the English letters stay
  ${If} $R5 == ""
    StrCpy $R1 NotFull
    Return
  ${EndIf}
  StrLen $R8 $R0
  ${For} $R7 3 $R8
    StrCpy $R6 $R0 1 $R7
    ${If} $R6 == ":"
    ${OrIf} $R6 == "*"
    ${OrIf} $R6 == "?"
    ${OrIf} $R6 == '"'
    ${OrIf} $R6 == "<"
    ${OrIf} $R6 == ">"
    ${OrIf} $R6 == "|"
      StrCpy $R1 NotFull
      Return
    ${EndIf}
  ${Next}
  ; C:\a\..\b and forward slashes become the folder Windows would use.
  System::Call 'kernel32::GetFullPathNameW(w R0, i ${NSIS_MAX_STRLEN}, w .R5, p 0) i.R6'
  ${If} $R6 = 0
  ${OrIf} $R6 >= ${NSIS_MAX_STRLEN}
    StrCpy $R1 NotFull
    Return
  ${EndIf}
  StrCpy $R0 $R5
  !insertmacro NoTrailingSlash $R0
  StrLen $R6 $R0
  ${If} $R6 <= 2
    StrCpy $R1 DriveRoot
    Return
  ${EndIf}
  StrCpy $R5 $R0 3
  StrCpy $R5 "$R5\"
  StrCpy $R5 $R5 3
  System::Call 'kernel32::GetDriveTypeW(w R5) i.R6'
  ${If} $R6 <= 1  ; DRIVE_UNKNOWN, DRIVE_NO_ROOT_DIR
    StrCpy $R1 NoDrive
    Return
  ${ElseIf} $R6 = 4  ; DRIVE_REMOTE: a mapped network drive
    StrCpy $R1 Network
    Return
  ${EndIf}
  ; The folder itself, or the nearest part of it that exists, must be a folder, not a file.
  StrCpy $R5 $R0
  ${Do}
    System::Call 'kernel32::GetFileAttributesW(w R5) i.R6'
    ${If} $R6 <> -1
      IntOp $R6 $R6 & 0x10  ; FILE_ATTRIBUTE_DIRECTORY
      ${If} $R6 = 0
        StrCpy $R1 IsFile
      ${EndIf}
      Return
    ${EndIf}
    ${GetParent} $R5 $R5
  ${LoopUntil} $R5 == ""
FunctionEnd

; The outermost folder of $INSTDIR that does not exist yet, into $CreatedTop ("" when it exists).
Function FindFolderToCreate
  StrCpy $CreatedTop ""
  StrCpy $R5 $INSTDIR
  ${Do}
    StrLen $R6 $R5
    ${If} $R6 <= 3  ; a drive is never made, nor protected
    ${OrIf} ${FileExists} "$R5\*.*"
      Return
    ${EndIf}
    StrCpy $CreatedTop $R5
    ${GetParent} $R5 $R5
  ${LoopWhile} $R5 != ""
FunctionEnd

; Program Files' own protection for a folder /D= chose, so that only administrators can change
; what the elevated logon task starts: owner Administrators; SYSTEM and Administrators full
; control, Users read and run; nothing inherited from a parent anyone may write. $R0: the folder.
Function SecureFolder
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${FOLDER_SECURITY}", i 1, *p .r1, p 0) i.r0'
  ${If} $0 = 0
    DetailPrint "Security of $R0 not set: no descriptor"
    Return
  ${EndIf}
  System::Call 'advapi32::GetSecurityDescriptorDacl(p r1, *i .r2, *p .r3, *i .r4)'
  System::Call 'advapi32::GetSecurityDescriptorOwner(p r1, *p .r5, *i .r4)'
  ; OWNER | DACL | PROTECTED_DACL; the folder's files and folders take the inheritable entries.
  System::Call 'advapi32::SetNamedSecurityInfoW(w R0, i 1, i 0x80000005, p r5, p 0, p r3, p 0) i.r0'
  ${If} $0 <> 0
    System::Call 'advapi32::SetNamedSecurityInfoW(w R0, i 1, i 0x80000004, p 0, p 0, p r3, p 0) i.r0'
  ${EndIf}
  ${If} $0 <> 0
    DetailPrint "Security of $R0 not set: error $0"
  ${EndIf}
  System::Call 'kernel32::LocalFree(p r1)'
FunctionEnd

; 1 in $0 when $INSTDIR holds nothing but what a setup of ours puts there.
Function OnlyOurFilesInFolder
  StrCpy $0 1
  FindFirst $1 $2 "$INSTDIR\*.*"
  ${DoWhile} $2 != ""
    ${If} $2 != "."
    ${AndIf} $2 != ".."
    ${AndIf} $2 != "${PRODUCT}.exe"
    ${AndIf} $2 != "Uninstall.exe"
      StrCpy $0 0
      ${Break}
    ${EndIf}
    FindNext $1 $2
  ${Loop}
  FindClose $1
FunctionEnd

; What the running copy and the logon task look like before the setup changes anything.
Function NoteProgramState
  StrCpy $WasRunning 0
  StrCpy $WasHidden 0
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${INSTANCE}") p.r0'
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    StrCpy $WasRunning 1
    System::Call 'user32::FindWindowW(w "${INSTANCE}", p 0) p.r0'
    ${If} $0 P<> 0
      System::Call 'user32::IsWindowVisible(p r0) i.r1'
      ${If} $1 = 0
        StrCpy $WasHidden 1  ; in the tray only
      ${EndIf}
    ${EndIf}
  ${EndIf}
  ; Asked before "/uninst", which deletes the task: the user's "Run on system start".
  !ifdef TEST_SEAMS
    ReadEnvStr $0 QUORVANE_SETUP_TASK_EXISTS
    ${If} $0 != ""
      StrCpy $TaskExisted $0
      Return
    ${EndIf}
  !endif
  nsExec::Exec 'schtasks.exe /Query /TN ${TASK}'
  Pop $0
  ${If} $0 == 0
    StrCpy $TaskExisted 1
  ${Else}
    StrCpy $TaskExisted 0
  ${EndIf}
FunctionEnd

; The switch that brings the copy back as it was: in the tray or with its window, and with its
; logon task if it had one. Into $StartArgs.
Function ArgsAsItWas
  ${If} $WasHidden = 1
    ${If} $TaskExisted = 1
      StrCpy $StartArgs "/inststart"
    ${Else}
      StrCpy $StartArgs "/start"
    ${EndIf}
  ${ElseIf} $TaskExisted = 1
    StrCpy $StartArgs "/inst"
  ${Else}
    StrCpy $StartArgs ""
  ${EndIf}
FunctionEnd

; The copy that ran before a failed upgrade runs again, from the exe still in place.
Function RestoreProgram
  ${If} $WasRunning <> 1
    Return
  ${EndIf}
  ${If} $OldDir == ""
    Return  ; it did not run from an install of ours
  ${EndIf}
  Call ArgsAsItWas
  StrCpy $R0 "$OldDir\${PRODUCT}.exe"
  ${If} ${FileExists} $R0
  ${AndIfNot} ${FileExists} "$R0\*.*"  ; a folder of that name is no program
    Exec '"$R0" $StartArgs'
  ${EndIf}
FunctionEnd

; After a failure, the folders this setup made for $INSTDIR go again, if they are still empty.
Function RemoveCreatedFolders
  ${If} $CreatedTop == ""
    Return
  ${EndIf}
  StrLen $R6 $CreatedTop
  StrCpy $R5 $INSTDIR
  ${Do}
    RMDir $R5
    StrLen $R7 $R5
    ${If} $R7 <= $R6
      ${Break}
    ${EndIf}
    ${GetParent} $R5 $R5
  ${Loop}
FunctionEnd

; Why the exe could not be written, into $R1; $0 is StopProgram's answer.
Function ExplainWriteFailure
  ${If} $0 <> 1
    StrCpy $R1 "$(StillRunning)"
    Return
  ${EndIf}
  StrCpy $3 "$INSTDIR\${PRODUCT}.exe"
  System::Call 'kernel32::CreateFileW(w r3, i 0x40000000, i 0, p 0, i 3, i 0, p 0) p.r1 ?e'
  Pop $2
  ${If} $1 P<> -1
    System::Call 'kernel32::CloseHandle(p r1)'
  ${EndIf}
  ${If} $2 = 32  ; ERROR_SHARING_VIOLATION
  ${OrIf} $2 = 33  ; ERROR_LOCK_VIOLATION
    StrCpy $R1 "$(ExeInUse)"
  ${Else}
    StrCpy $R1 "$(FolderNotWritable)"
  ${EndIf}
FunctionEnd

Function .onInit
  !insertmacro PickLanguage
  SetShellVarContext all
  SetRegView 32
  ; Silent: ends here with its exit code. The wizard says why first, in GuiInit.
  StrCpy $InitStop ""
  !insertmacro OneSetupAtATime
  ${If} $0 = 1
    StrCpy $InitStop another
    ${If} ${Silent}
      SetErrorLevel ${EXIT_ANOTHER_SETUP}
      Quit
    ${EndIf}
    Return
  ${EndIf}

  Call ReadGivenFolder
  ${If} $R1 != ""
    StrCpy $InitStop $R1
    StrCpy $BadFolder $R0
    ${If} ${Silent}
      SetErrorLevel ${EXIT_BAD_FOLDER}
      Quit
    ${EndIf}
    Return
  ${EndIf}

  ; In a 64-bit setup $PROGRAMFILES32 is the 64-bit folder; the shell knows the 32-bit one.
  System::Call 'shell32::SHGetFolderPathW(p 0, i 0x2A, p 0, i 0, w .r0) i.r1'  ; CSIDL_PROGRAM_FILESX86
  ${If} $1 = 0
    StrCpy $INSTDIR "$0\${PUBLISHER}\${PRODUCT}"
  ${EndIf}
  StrCpy $DefaultDir $INSTDIR
  ReadRegStr $OldDir HKLM "${UNINST_KEY}" InstallLocation
  !insertmacro NoTrailingSlash $OldDir
  !insertmacro LongPath $OldDir
  ReadRegStr $OldVersion HKLM "${UNINST_KEY}" DisplayVersion
  ${If} $R0 != ""
    StrCpy $INSTDIR $R0
  ${ElseIf} $OldDir != ""
    StrCpy $INSTDIR $OldDir  ; an upgrade goes where the last setup installed
  ${EndIf}

  ${If} $OldVersion != ""
    ${VersionCompare} $OldVersion ${DISPLAY_VERSION} $0
    ${If} $0 = 1  ; the installed one is newer
      ${GetParameters} $1
      ClearErrors
      ${GetOptions} $1 "/ALLOWDOWNGRADE" $2
      ${If} ${Errors}
        StrCpy $InitStop downgrade
        ${If} ${Silent}
          SetErrorLevel ${EXIT_DOWNGRADE}
          Quit
        ${EndIf}
      ${EndIf}
    ${EndIf}
  ${EndIf}
FunctionEnd

Function GuiInit
  ${If} $InitStop == ""
    Return
  ${ElseIf} $InitStop == another
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(AnotherSetup)"
    SetErrorLevel ${EXIT_ANOTHER_SETUP}
    Quit
  ${ElseIf} $InitStop == downgrade
    MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "$(Downgrade)" IDYES downgrade
    SetErrorLevel ${EXIT_DOWNGRADE}
    Quit
  downgrade:
    Return
  ${EndIf}
  StrCpy $R0 $BadFolder  ; the texts name it
  ${If} $InitStop == Network
    StrCpy $R1 "$(FolderOnNetwork)"
  ${ElseIf} $InitStop == DriveRoot
    StrCpy $R1 "$(FolderIsDriveRoot)"
  ${ElseIf} $InitStop == NoDrive
    StrCpy $R1 "$(FolderNoDrive)"
  ${ElseIf} $InitStop == IsFile
    StrCpy $R1 "$(FolderIsFile)"
  ${Else}
    StrCpy $R1 "$(FolderNotFull)"
  ${EndIf}
  MessageBox MB_OK|MB_ICONSTOP $R1
  SetErrorLevel ${EXIT_BAD_FOLDER}
  Quit
FunctionEnd

Section "${PRODUCT}" SecProgram
  SectionIn RO
  Call NoteProgramState
  Call FindFolderToCreate
  SetOutPath "$INSTDIR"
  !insertmacro LongPath $INSTDIR

  ; Protected before any file of ours is in it. Below Program Files the folder inherits that.
  ${If} $INSTDIR != $DefaultDir
    ${If} $CreatedTop != ""
      StrCpy $R0 $CreatedTop
      Call SecureFolder
    ${Else}
      ; A folder that already held something else keeps its own protection: not ours to change.
      Call OnlyOurFilesInFolder
      ${If} $0 = 1
        StrCpy $R0 $INSTDIR
        Call SecureFolder
      ${EndIf}
    ${EndIf}
  ${EndIf}

  ${Do}
    StrCpy $R0 $OldDir
    Call StopProgram
    ${If} $0 = 1
      ; Windows lets go of an ended program's exe a moment after its last handle closes.
      StrCpy $R8 0  ; 1 once written (testing the error flag clears it)
      ${For} $R9 1 10
        ClearErrors
        SetOverwrite try
        File "/oname=${PRODUCT}.exe" "${EXE}"
        ${IfNot} ${Errors}
          StrCpy $R8 1
          ${ExitFor}
        ${EndIf}
        Sleep 200
      ${Next}
      ${If} $R8 = 1
        ${Break}
      ${EndIf}
    ${EndIf}
    Call ExplainWriteFailure
    ; Into the details only: the status line above the progress bar is one short line.
    SetDetailsPrint listonly
    DetailPrint $R1
    SetDetailsPrint both
    ; Silent: no one to ask, so fail with an exit code a deployment tool sees.
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION $R1 /SD IDCANCEL IDRETRY retry
    Call RestoreProgram
    SetOutPath "$TEMP"  ; lets go of the folder so that it can be removed
    Call RemoveCreatedFolders
    SetErrorLevel ${EXIT_FAILED}
    Abort "$(NotInstalled)"
  retry:
  ${Loop}
  SetOverwrite on
  File "/oname=Uninstall.exe" "${UNINSTALLER}"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${PRODUCT}.exe"
  WriteRegStr HKLM "${UNINST_KEY}" DisplayName "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" DisplayVersion "${DISPLAY_VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" Publisher "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" DisplayIcon "$INSTDIR\${PRODUCT}.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" InstallLocation "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" UninstallString '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" QuietUninstallString '"$INSTDIR\Uninstall.exe" /S'
  WriteRegStr HKLM "${UNINST_KEY}" HelpLink "${HOMEPAGE}"
  WriteRegStr HKLM "${UNINST_KEY}" URLInfoAbout "${HOMEPAGE}"
  WriteRegDWORD HKLM "${UNINST_KEY}" NoModify 1
  WriteRegDWORD HKLM "${UNINST_KEY}" NoRepair 1
  ; Only what this setup put there: a folder given with /D= may hold other programs' files.
  ${GetSize} "$INSTDIR" "/M=${PRODUCT}.exe /S=0B /G=0" $0 $1 $2
  ${GetSize} "$INSTDIR" "/M=Uninstall.exe /S=0B /G=0" $3 $1 $2
  IntOp $0 $0 + $3
  IntOp $0 $0 + 1023
  IntOp $0 $0 / 1024
  WriteRegDWORD HKLM "${UNINST_KEY}" EstimatedSize $0

  ; Moved to another folder: the earlier install goes, now that this one is in place. Only our
  ; files: the folder may hold others'.
  ${If} $OldDir != ""
  ${AndIf} $OldDir != $INSTDIR
    Delete "$OldDir\${PRODUCT}.exe"
    Delete "$OldDir\Uninstall.exe"
    RMDir "$OldDir"
    ${GetParent} "$OldDir" $0
    ${GetFileName} $0 $1
    ${If} $1 == "${PUBLISHER}"
      RMDir $0
    ${EndIf}
    ${If} ${FileExists} "$DESKTOP\${PRODUCT}.lnk"
      CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\${PRODUCT}.exe"
    ${EndIf}
  ${EndIf}

  ; How the program comes back. A first install: registered, in the tray when silent, with its
  ; window after the wizard. An upgrade: as it was; a copy that was not running stays so, unless
  ; its logon task would now start an exe that moved away.
  StrCpy $StartIt 1
  ${If} $OldDir == ""
    ${If} ${Silent}
      StrCpy $StartArgs "/inststart"
    ${Else}
      StrCpy $StartArgs "/inst"
    ${EndIf}
  ${ElseIf} $WasRunning = 1
    Call ArgsAsItWas
  ${ElseIf} $TaskExisted = 1
  ${AndIf} $OldDir != $INSTDIR
    StrCpy $StartArgs "/inststart"
  ${Else}
    StrCpy $StartIt 0
    Call ArgsAsItWas  ; should the user tick "Run Quorvane" anyway
  ${EndIf}
SectionEnd

Section /o "$(DesktopShortcut)" SecDesktop
  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\${PRODUCT}.exe"
SectionEnd

Function StartProgram
  Exec '"$INSTDIR\${PRODUCT}.exe" $StartArgs'
FunctionEnd

Function FinishPageShow
  ${If} $OldDir != ""
  ${AndIf} $StartIt = 1
    ; An upgrade brings back the copy it ended, as it was: not a choice to lose it by here.
    ShowWindow $mui.FinishPage.Run ${SW_HIDE}
  ${ElseIf} $StartIt <> 1
    SendMessage $mui.FinishPage.Run ${BM_SETCHECK} ${BST_UNCHECKED} 0
  ${EndIf}
FunctionEnd

; The wizard starts the program from its finish page, after Finish; a silent setup here.
Function .onInstSuccess
  ${If} ${Silent}
  ${AndIf} $StartIt = 1
    Call StartProgram
  ${EndIf}
FunctionEnd

!endif
