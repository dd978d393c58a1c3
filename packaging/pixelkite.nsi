; The Windows installer: one script for the shipped 32-bit program and the
; 64-bit build the tests run. packaging/make-installer.sh drives it:
;
;   makensis -DARCH=x86|amd64 -DVERSION=5.4.0.0 -DOUTFILE=setup.exe
;            -DPROGRAM=Pixelkite.exe -DUPDATER=NubUpdater.dll -DCLI=pixelkite-cli.exe
;            -DPUBLISHER=... -DWEB_SITE=https://... -DICON=pixelkite.ico
;            [-DSIGN=<command that signs the file named by its last argument>]
;
; Per machine, into Program Files\Pixelkite; /S silent, /D=folder. Exit code 0
; only when every file is in place; otherwise the files of the version already
; there stay as they were.
Unicode true
!if "${ARCH}" == "amd64"
  Target amd64-unicode
!else if "${ARCH}" == "x86"
  Target x86-unicode
!else
  !error "ARCH must be x86 or amd64"
!endif

!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "MUI2.nsh"

!define PRODUCT "Pixelkite"
; The key the program reads and the settings dialog writes (in the program's
; own registry view: the 32-bit one for the 32-bit program).
!define SETTINGS_KEY "SOFTWARE\Pixelkite"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pixelkite"
; "Open with": the program offers itself for its types and takes no default.
!define APPLICATION_KEY "Software\Classes\Applications\Pixelkite.exe"
; The program holds a mutex named after its executable's base name while it runs.
!define PROGRAM_MUTEX "Pixelkite"
; How long to wait for a running (or still closing) program: 60 x 500 ms.
!define WAIT_ROUNDS 60
; How often a file that cannot be moved yet is tried again: 10 x 300 ms.
!define MOVE_ROUNDS 10

Name "${PRODUCT}"
OutFile "${OUTFILE}"
!if "${ARCH}" == "amd64"
  InstallDir "$PROGRAMFILES64\${PRODUCT}"
!else
  InstallDir "$PROGRAMFILES\${PRODUCT}"
!endif
; An upgrade goes where the version before it went (the installer's own view
; is the program's: a 32-bit installer reads the 32-bit one).
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
ManifestSupportedOS all
ManifestDPIAware true
SetCompressor /SOLID lzma
; Never offer to skip a file: a half-copied program is worse than none.
AllowSkipFiles off
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

!ifdef SIGN
  !finalize '${SIGN} "%1"' = 0
  !uninstfinalize '${SIGN} "%1"' = 0
!endif

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION RunProgram
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "${PUBLISHER}"

Var failed

; The files this version puts in $INSTDIR, the uninstaller last.
!macro ForEachFile what
  !insertmacro ${what} "Pixelkite.exe"
  !insertmacro ${what} "NubUpdater.dll"
  !insertmacro ${what} "pixelkite-cli.exe"
  !insertmacro ${what} "uninstall.exe"
!macroend

!macro UseProgramView
  SetShellVarContext all
  !if "${ARCH}" == "amd64"
    SetRegView 64
  !else
    SetRegView 32
  !endif
!macroend

; Waits until no copy of the program runs (its mutex is gone); $0 is 1 when
; it went in time, 0 when one still runs and the user gave up (or the install
; is silent).
!macro WaitForProgram un
Function ${un}WaitForProgram
  StrCpy $1 0
  ${Do}
    ; SYNCHRONIZE access; a mutex that exists but refuses it (error 5) runs too.
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${PROGRAM_MUTEX}") p .r2 ?e'
    Pop $3
    ${If} $2 == 0
    ${AndIf} $3 != 5
      StrCpy $0 1
      Return
    ${EndIf}
    ${If} $2 != 0
      System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
    IntOp $1 $1 + 1
    ${If} $1 >= ${WAIT_ROUNDS}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "请先退出 ${PRODUCT}，再继续。" /SD IDCANCEL IDRETRY again
      StrCpy $0 0
      Return
      again:
      StrCpy $1 0
    ${EndIf}
    Sleep 500
  ${Loop}
FunctionEnd
!macroend
!insertmacro WaitForProgram ""
!insertmacro WaitForProgram "un."

; Moves $R0 to $R1 (which must not exist), trying again for a while when the
; file is held; the error flag is set when it never moves.
Function MoveHeldFile
  StrCpy $R2 0
  ${Do}
    ClearErrors
    Rename "$R0" "$R1"
    ${IfNot} ${Errors}
      Return
    ${EndIf}
    IntOp $R2 $R2 + 1
    ${If} $R2 >= ${MOVE_ROUNDS}
      SetErrors
      Return
    ${EndIf}
    Sleep 300
  ${Loop}
FunctionEnd

; Copies left by an install that stopped half-way: NAME.new goes, and a NAME
; missing beside its NAME.old is that copy put back; then no NAME.old is left.
!macro TidyFile name
  Delete "$INSTDIR\${name}.new"
  ${If} ${FileExists} "$INSTDIR\${name}.old"
  ${AndIfNot} ${FileExists} "$INSTDIR\${name}"
    Rename "$INSTDIR\${name}.old" "$INSTDIR\${name}"
  ${EndIf}
  Delete "$INSTDIR\${name}.old"
!macroend

; NAME becomes NAME.old and NAME.new becomes NAME; $failed is set when either
; move fails, and then nothing more is moved.
!macro SwapFile name
  ${If} $failed == 0
    ${If} ${FileExists} "$INSTDIR\${name}"
      StrCpy $R0 "$INSTDIR\${name}"
      StrCpy $R1 "$INSTDIR\${name}.old"
      Call MoveHeldFile
      ${If} ${Errors}
        DetailPrint "无法替换 $INSTDIR\${name}"
        StrCpy $failed 1
      ${EndIf}
    ${EndIf}
  ${EndIf}
  ${If} $failed == 0
    StrCpy $R0 "$INSTDIR\${name}.new"
    StrCpy $R1 "$INSTDIR\${name}"
    Call MoveHeldFile
    ${If} ${Errors}
      DetailPrint "无法写入 $INSTDIR\${name}"
      StrCpy $failed 1
    ${EndIf}
  ${EndIf}
!macroend

; Undoes the swap of one file: a file whose NAME.new is gone was swapped in
; and goes; then NAME.old, if any, becomes NAME again.
!macro RestoreFile name
  ${IfNot} ${FileExists} "$INSTDIR\${name}.new"
    Delete "$INSTDIR\${name}"
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\${name}.old"
  ${AndIfNot} ${FileExists} "$INSTDIR\${name}"
    Rename "$INSTDIR\${name}.old" "$INSTDIR\${name}"
  ${EndIf}
  Delete "$INSTDIR\${name}.new"
!macroend

; After a complete swap: the old files go (one still mapped by a process
; that is ending goes at the next restart).
!macro DeleteOldFile name
  Delete /REBOOTOK "$INSTDIR\${name}.old"
!macroend

!macro DeleteNewFile name
  Delete "$INSTDIR\${name}.new"
!macroend

; Shows $0 (not when silent) and ends the install with exit code 2.
Function Fail
  DetailPrint "$0"
  MessageBox MB_OK|MB_ICONSTOP "$0" /SD IDOK
  SetErrorLevel 2
  Abort "$0"
FunctionEnd

; The finish page's "Run Pixelkite": started by the shell, the program runs
; with the user's rights rather than the installer's (an elevated program
; takes no files dropped from the desktop).
Function RunProgram
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\Pixelkite.exe"'
FunctionEnd

Function .onInit
  !insertmacro UseProgramView
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "安装 ${PRODUCT} 需要管理员权限。" /SD IDOK
    SetErrorLevel 740  ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
FunctionEnd

Section "Pixelkite"
  !insertmacro UseProgramView
  Call WaitForProgram
  ${If} $0 != 1
    StrCpy $0 "${PRODUCT} 仍在运行，没有安装。"
    Call Fail
  ${EndIf}
  !insertmacro ForEachFile TidyFile

  ; The new files go in under other names first: a write that fails leaves
  ; the old program untouched.
  ClearErrors
  CreateDirectory "$INSTDIR"
  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "/oname=$INSTDIR\Pixelkite.exe.new" "${PROGRAM}"
  File "/oname=$INSTDIR\NubUpdater.dll.new" "${UPDATER}"
  File "/oname=$INSTDIR\pixelkite-cli.exe.new" "${CLI}"
  WriteUninstaller "$INSTDIR\uninstall.exe.new"
  ${If} ${Errors}
    !insertmacro ForEachFile DeleteNewFile
    StrCpy $0 "无法写入 $INSTDIR，没有安装。"
    Call Fail
  ${EndIf}
  StrCpy $failed 0
  !insertmacro ForEachFile SwapFile
  ${If} $failed == 1
    !insertmacro ForEachFile RestoreFile
    StrCpy $0 "${PRODUCT} 的文件正被使用，无法替换；原来的版本保持不变。"
    Call Fail
  ${EndIf}
  !insertmacro ForEachFile DeleteOldFile

  ; The setting: created as "ask first" only when missing, so an upgrade
  ; keeps the user's choice.
  ClearErrors
  Call SettingIsStored
  ClearErrors
  ${If} $0 != 1
    WriteRegDWORD HKLM "${SETTINGS_KEY}" "AutoUpdate" 0
  ${EndIf}
  Call LetUsersStoreTheSetting

  WriteRegStr HKLM "${APPLICATION_KEY}" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr HKLM "${APPLICATION_KEY}\DefaultIcon" "" "$INSTDIR\Pixelkite.exe,0"
  WriteRegStr HKLM "${APPLICATION_KEY}\shell\open\command" "" '"$INSTDIR\Pixelkite.exe" "%1"'
  WriteRegStr HKLM "${APPLICATION_KEY}\SupportedTypes" ".ico" ""
  WriteRegStr HKLM "${APPLICATION_KEY}\SupportedTypes" ".icl" ""
  WriteRegStr HKLM "${APPLICATION_KEY}\SupportedTypes" ".exe" ""
  WriteRegStr HKLM "${APPLICATION_KEY}\SupportedTypes" ".dll" ""
  WriteRegStr HKLM "${APPLICATION_KEY}\SupportedTypes" ".bmp" ""

  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Pixelkite.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Pixelkite.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${WEB_SITE}"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${If} ${Errors}
    ; The files are in place, but not everything that names them.
    StrCpy $0 "${PRODUCT} 已安装，但写入注册表或快捷方式时出错。"
    Call Fail
  ${EndIf}
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; The shell re-reads the registered programs.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

; $0 = 1 when the key holds a value named AutoUpdate, whatever its type.
Function SettingIsStored
  StrCpy $0 0
  StrCpy $1 0
  ${Do}
    ClearErrors
    EnumRegValue $2 HKLM "${SETTINGS_KEY}" $1
    ${If} ${Errors}
    ${OrIf} $2 == ""
      ${Break}
    ${EndIf}
    ${If} $2 == "AutoUpdate"  ; compared as the registry compares names: ignoring case
      StrCpy $0 1
      ${Break}
    ${EndIf}
    IntOp $1 $1 + 1
  ${Loop}
FunctionEnd

; The settings dialog of every user of the machine opens this key with the
; right to set values (it never creates it). The key gets a DACL of its own:
; what keys under SOFTWARE have (SYSTEM and Administrators all, Users read)
; and, for Users, the right to query and set values of this one key. It is
; complete and protected rather than merged with what the key inherits, so
; it is the same whatever the system makes of inheritance. The error flag
; is set when it cannot be given.
!define SETTINGS_DACL "D:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)(A;CI;KR;;;BU)(A;;CCDC;;;BU)"
Function LetUsersStoreTheSetting
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${SETTINGS_DACL}", i 1, *p .r1, p 0) i .r0'
  ${If} $0 = 0
    DetailPrint "无法设置 ${SETTINGS_KEY} 的权限"
    SetErrors
    Return
  ${EndIf}
  System::Call 'advapi32::GetSecurityDescriptorDacl(p r1, *i .r2, *p .r3, *i .r4) i .r0'
  ; SE_REGISTRY_KEY (4), in this process's view; DACL_SECURITY_INFORMATION (4)
  ; | PROTECTED_DACL_SECURITY_INFORMATION (0x80000000).
  System::Call 'advapi32::SetNamedSecurityInfoW(w "MACHINE\${SETTINGS_KEY}", i 4, i 0x80000004, p 0, p 0, p r3, p 0) i .r0'
  ${If} $0 <> 0
    DetailPrint "无法设置 ${SETTINGS_KEY} 的权限 ($0)"
    SetErrors
  ${EndIf}
  System::Call 'kernel32::LocalFree(p r1)'
FunctionEnd

!macro UninstallFile name
  Delete "$INSTDIR\${name}"
  Delete "$INSTDIR\${name}.new"
  Delete "$INSTDIR\${name}.old"
!macroend

Function un.onInit
  !insertmacro UseProgramView
FunctionEnd

Section "Uninstall"
  !insertmacro UseProgramView
  Call un.WaitForProgram
  ${If} $0 != 1
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} 仍在运行，没有卸载。" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  !insertmacro ForEachFile UninstallFile
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${APPLICATION_KEY}"
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
