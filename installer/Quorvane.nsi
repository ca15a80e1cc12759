; Setup for Quorvane, built on Linux with Debian's makensis (see cmake/ship.cmake):
;   makensis -INPUTCHARSET UTF8 -DTARGET=x86-unicode -DVERSION=1.9.5.0 -DDISPLAY_VERSION=1.9.5
;            -DEXE=Quorvane.exe -DOUTFILE=QuorvaneSetup-1.9.5.exe -DICON=Quorvane.ico -DWIZARD=wizard.bmp
;            Quorvane.nsi
; Per machine, elevated; /S for both the setup and the uninstaller. The program itself does the
; rest: "/inst" starts it and registers its logon task, "/uninst" removes the task and ends it.

!macro Need define
  !ifndef ${define}
    !error "define ${define} on makensis's command line"
  !endif
!macroend
!insertmacro Need TARGET
!insertmacro Need VERSION
!insertmacro Need DISPLAY_VERSION
!insertmacro Need EXE
!insertmacro Need OUTFILE
!insertmacro Need ICON
!insertmacro Need WIZARD

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
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
; Signed when the build has a certificate: the uninstaller before it is packed, then the setup.
!ifdef SIGN
  !uninstfinalize '"${SIGN}" "${SIGN_PFX}" "%1" "${SIGN_TIMESTAMP}" "${SIGNED_UNINSTALLER}"' = 0
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

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

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
VIAddVersionKey /LANG=${LANG_ENGLISH} FileDescription "${PRODUCT} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} FileVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} ProductVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} OriginalFilename "QuorvaneSetup-${DISPLAY_VERSION}.exe"
VIAddVersionKey /LANG=${LANG_ENGLISH} LegalCopyright "© ${PUBLISHER}"

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

; Ends a running copy the program's own way and waits for its process to go: "/uninst" waits only
; about a second, and only for the window; the instance mutex lasts as long as the process.
; Sets $0 to 1 when no copy runs any more.
!macro StopProgram un
Function ${un}StopProgram
  ${If} ${FileExists} "$INSTDIR\${PRODUCT}.exe"
    ExecWait '"$INSTDIR\${PRODUCT}.exe" /uninst'
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
!insertmacro StopProgram ""
!insertmacro StopProgram "un."

Function .onInit
  !insertmacro PickLanguage
  SetShellVarContext all
  SetRegView 32
  ${If} $INSTDIR == "$PROGRAMFILES32\${PUBLISHER}\${PRODUCT}"
    ; In a 64-bit setup $PROGRAMFILES32 is the 64-bit folder; the shell knows the 32-bit one.
    System::Call 'shell32::SHGetFolderPathW(p 0, i 0x2A, p 0, i 0, w .r0) i.r1'  ; CSIDL_PROGRAM_FILESX86
    ${If} $1 = 0
      StrCpy $INSTDIR "$0\${PUBLISHER}\${PRODUCT}"
    ${EndIf}
    ; An upgrade goes where the last setup installed, unless /D= says otherwise.
    ReadRegStr $0 HKLM "${UNINST_KEY}" InstallLocation
    ${If} $0 != ""
      StrCpy $INSTDIR $0
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "${PRODUCT}" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  ${Do}
    Call StopProgram
    ${If} $0 == 1
      ClearErrors
      SetOverwrite try
      File "/oname=${PRODUCT}.exe" "${EXE}"
      ${IfNot} ${Errors}
        ${Break}
      ${EndIf}
    ${EndIf}
    ; Silent: no one to ask, so fail with an exit code a deployment tool sees.
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(CannotWrite)" /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Abort "$(CannotWrite)"
  retry:
  ${Loop}
  SetOverwrite on
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${PRODUCT}.exe"

  WriteRegStr HKLM "${UNINST_KEY}" DisplayName "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" DisplayVersion "${DISPLAY_VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" Publisher "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" DisplayIcon "$INSTDIR\${PRODUCT}.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" InstallLocation "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" UninstallString '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" QuietUninstallString '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" NoModify 1
  WriteRegDWORD HKLM "${UNINST_KEY}" NoRepair 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINST_KEY}" EstimatedSize $0
SectionEnd

Section /o "$(DesktopShortcut)" SecDesktop
  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\${PRODUCT}.exe"
SectionEnd

; Starts the program with its window and has it register its logon task.
Section "-Start"
  Exec '"$INSTDIR\${PRODUCT}.exe" /inst'
SectionEnd

Function un.onInit
  !insertmacro PickLanguage
  SetShellVarContext all
  SetRegView 32
FunctionEnd

Section Uninstall
  Call un.StopProgram
  ; Only a running copy removes the logon task on "/uninst"; when none ran, remove it here.
  nsExec::Exec 'schtasks.exe /Delete /TN QuorvaneTaskMachine /F'
  Pop $0
  SetOutPath "$TEMP"
  Delete "$INSTDIR\${PRODUCT}.exe"
  ${If} ${FileExists} "$INSTDIR\${PRODUCT}.exe"
    SetErrorLevel 2
    Abort "$(CannotRemove)"
  ${EndIf}
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  ${GetParent} "$INSTDIR" $0
  ${GetFileName} $0 $1
  ${If} $1 == "${PUBLISHER}"
    RMDir $0
  ${EndIf}
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${UNINST_KEY}"
  ; The user's settings (HKCU\Software\Vantorel\Quorvane) and the installation identifier stay.
SectionEnd
