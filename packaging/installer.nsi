; The installer for Windows users, tokiren-<version>-win64-setup.exe, made by the `installer`
; target (cmake/packaging.cmake), which passes VERSION, TOKIREN_EXE, TOKIREN_CLI_EXE,
; TOKIREN_HELPER_EXE, README, ICON and OUTFILE as defines.
;
; It installs for the current user alone, without administrator rights, into
; %LOCALAPPDATA%\Programs\Tokiren: a folder the user may write, so both programs keep their log
; and settings in it, whoever runs them. Under C:\Program Files an administrator's run would log
; there while the same user's Reset without those rights would look in %LOCALAPPDATA%\Tokiren\,
; and the way back would be lost. For the same reason the uninstaller removes only what was
; installed: the log and the settings files stay, and so does the folder that holds them.
Unicode true
; The programs are 64-bit: so is the installer, which then runs where they do (and under Wine
; without its 32-bit half).
Target amd64-unicode

!ifndef VERSION | TOKIREN_EXE | TOKIREN_CLI_EXE | TOKIREN_HELPER_EXE | README | ICON | OUTFILE
  !error "Pass VERSION, TOKIREN_EXE, TOKIREN_CLI_EXE, TOKIREN_HELPER_EXE, README, ICON and OUTFILE with -D"
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tokiren"
!define UNINSTALLER "Uninstall.exe"
!define SHORTCUT "$SMPROGRAMS\Tokiren.lnk"
; Where a silent install that could not replace the programs says why.
!define SETUP_LOG "$TEMP\tokiren-setup.log"

Name "Tokiren ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "Tokiren ${VERSION}"
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true
InstallDir "$LOCALAPPDATA\Programs\Tokiren"
; An older version is replaced where it lies, beside its log and settings.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

!include MUI2.nsh
!include LogicLib.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

; Nothing is copied while a program of the folder chosen is running.
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\tokiren.exe"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "$(UninstalledTitle)"
!define MUI_FINISHPAGE_TEXT "$(UninstalledText)"
!insertmacro MUI_UNPAGE_FINISH

; The first language is the one shown where Windows speaks neither.
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "English"

LangString UninstalledTitle ${LANG_JAPANESE} "Tokiren をアンインストールしました"
LangString UninstalledTitle ${LANG_ENGLISH} "Tokiren has been uninstalled"
LangString UninstalledText ${LANG_JAPANESE} "プログラムを削除しました。$\r$\n$\r$\nログ (tokiren_log.txt) と設定ファイル (tokiren、tokirenfolder) があれば、$INSTDIR に残してあります。もう一度インストールすれば、最後の実行を Reset で元に戻せます。要らなくなったら、このフォルダーごと削除してください。"
LangString UninstalledText ${LANG_ENGLISH} "The programs have been removed.$\r$\n$\r$\nAny log (tokiren_log.txt) and settings files (tokiren, tokirenfolder) are kept in $INSTDIR: installed again, Tokiren can still undo the last run with Reset. Delete that folder when you no longer need them."

LangString ProgramInUse ${LANG_JAPANESE} "Tokiren が実行中のため、インストールできません ($R1 を使用中です)。$\r$\n$\r$\nTokiren をすべて閉じてから [再試行] を押してください。"
LangString ProgramInUse ${LANG_ENGLISH} "Tokiren cannot be installed while it is running ($R1 is in use).$\r$\n$\r$\nClose every Tokiren window and command, then choose Retry."
LangString ProgramInUseLog ${LANG_JAPANESE} "Tokiren をインストールできませんでした。$R1 を使用中です。Tokiren を閉じてから、もう一度インストールしてください。"
LangString ProgramInUseLog ${LANG_ENGLISH} "Tokiren was not installed: $R1 is in use. Close Tokiren, then install again."

; A copy over a program that is running (or held open) fails, so nothing is left half replaced
; behind a report of success: no "Ignore" when a file cannot be written.
AllowSkipFiles off

; $R1: the first installed program in $INSTDIR that cannot be replaced now, because it runs or
; another program holds it open; "" when every one can.
!macro FindInUse name
  ${If} $R1 == ""
  ${AndIf} ${FileExists} "$INSTDIR\${name}"
    ClearErrors
    FileOpen $R2 "$INSTDIR\${name}" a  ; for writing, as the copy opens it; nothing is written
    ${If} ${Errors}
      StrCpy $R1 "$INSTDIR\${name}"
    ${Else}
      FileClose $R2
    ${EndIf}
  ${EndIf}
!macroend
Function FindProgramInUse
  StrCpy $R1 ""
  !insertmacro FindInUse "tokiren.exe"
  !insertmacro FindInUse "tokiren-cli.exe"
  !insertmacro FindInUse "tokiren-media-helper.exe"
FunctionEnd

; Waits, asking the user, until no installed program is in use; sets $R1 to the one in use when
; the user gives up ("" otherwise). A silent install asks no one: it gives up at once, and says
; why on a line of ${SETUP_LOG}.
Function WaitForProgramsClosed
  ${Do}
    Call FindProgramInUse
    ${If} $R1 == ""
      Return
    ${EndIf}
    ${If} ${Silent}
      ClearErrors
      FileOpen $R2 "${SETUP_LOG}" a
      ${IfNot} ${Errors}
        FileSeek $R2 0 END $R3
        ${If} $R3 == 0
          FileWriteUTF16LE /BOM $R2 ""
        ${EndIf}
        FileWriteUTF16LE $R2 "$(ProgramInUseLog)$\r$\n"
        FileClose $R2
      ${EndIf}
      Return
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(ProgramInUse)" IDRETRY again
    Return
    again:
  ${Loop}
FunctionEnd

; Before the copy starts: the user stays on this page until Tokiren is closed.
Function DirectoryLeave
  Call WaitForProgramsClosed
  ${If} $R1 != ""
    Abort
  ${EndIf}
FunctionEnd

Section
  ; Again here, for a silent install, which shows no page, and for a program started meanwhile.
  Call WaitForProgramsClosed
  ${If} $R1 != ""
    DetailPrint "$(ProgramInUseLog)"
    SetErrorLevel 2
    Quit
  ${EndIf}
  SetOutPath "$INSTDIR"
  File "/oname=tokiren.exe" "${TOKIREN_EXE}"
  File "/oname=tokiren-cli.exe" "${TOKIREN_CLI_EXE}"
  File "/oname=tokiren-media-helper.exe" "${TOKIREN_HELPER_EXE}"
  File "/oname=README.txt" "${README}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateShortcut "${SHORTCUT}" "$INSTDIR\tokiren.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tokiren"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tokiren.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" "$\"$INSTDIR\${UNINSTALLER}$\""
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" "$\"$INSTDIR\${UNINSTALLER}$\" /S"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize 0 $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Only what the installer put there; RMDir without /r leaves a folder that still holds the log
; (tokiren_log.*) or the settings files (tokiren, tokirenfolder).
Section "Uninstall"
  Delete "$INSTDIR\tokiren.exe"
  Delete "$INSTDIR\tokiren-cli.exe"
  Delete "$INSTDIR\tokiren-media-helper.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"

  Delete "${SHORTCUT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
