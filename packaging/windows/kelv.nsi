; kelv's setup program for 64-bit Windows, in Chinese: welcome, for all
; users or for this user only, components, folder, install, finish. It
; installs the release folder's files, the Start-menu entries, an optional
; desktop shortcut and, when chosen, registers kelv.dll for automation; the
; uninstaller removes exactly that again. Workspaces and the form's own
; settings (HKCU\Software\kelv\kelv-form) are the user's and are never
; touched.
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.1.0 -DFILES=FOLDER -DICON=kelv.ico
;            [-DWELCOME=welcome.bmp] -DOUTFILE=kelv-setup-1.1.0.exe kelv.nsi
;
; Silent use (/S) takes the choices from the command line:
;   /AllUsers or /CurrentUser   where to install (default: all users when
;                               the account may, else this user)
;   /DESKTOP=0|1                the desktop shortcut (default 1)
;   /AUTOMATION=0|1             register kelv.dll (default 0)
;   /D=FOLDER                   the folder, last on the line
; An upgrade keeps the folder, the mode and the choices of the installed
; version unless the command line says otherwise.

!ifndef VERSION | FILES | ICON | OUTFILE
  !error "VERSION, FILES, ICON and OUTFILE must be defined"
!endif

Unicode true
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma

!define PRODUCT "kelv 考务"
!define MENU_FOLDER "kelv 考务"
!define SETUP_KEY "Software\kelv\Setup"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\kelv"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "kelv ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "FileDescription" "kelv 考务安装程序"
VIAddVersionKey /LANG=2052 "CompanyName" "kelv"
VIAddVersionKey /LANG=2052 "LegalCopyright" "kelv"

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "kelv"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${SETUP_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${SETUP_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
; Called whenever the mode is set (at the start, on the mode page).
!define MULTIUSER_INSTALLMODE_FUNCTION ModeChosen
!define MULTIUSER_INSTALLMODE_UNFUNCTION un.ModeChosen
!include MultiUser.nsh
!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!ifdef WELCOME
  !define MUI_WELCOMEFINISHPAGE_BITMAP "${WELCOME}"
!endif
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_SMALLDESC

!define MUI_WELCOMEPAGE_TITLE "欢迎安装 ${PRODUCT} ${VERSION}"
!define MUI_WELCOMEPAGE_TEXT "kelv 在电子表格工作簿里编排学校考试：分配考场、考号和座位，生成门贴、桌贴、签到表、准考证等表格，打印和导出 PDF。$\r$\n$\r$\n安装程序将安装考务窗体 kelv-form、命令行程序 kelv 和自动化组件 kelv.dll，并在“开始”菜单里建好快捷方式。$\r$\n$\r$\n已经装有旧版本时直接安装即可：旧版本的程序被替换，设置和工作区都保留。$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "现在启动 ${PRODUCT}"
!define MUI_FINISHPAGE_RUN_FUNCTION StartForm
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\help.doc"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "打开用户指南"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "SimpChinese"

; The files of the release folder, installed and removed by the same list.
!macro KELV_FILES DO
  !insertmacro ${DO} "kelv-form.exe"
  !insertmacro ${DO} "kelv.exe"
  !insertmacro ${DO} "kelv.dll"
  !insertmacro ${DO} "help.doc"
  !insertmacro ${DO} "kelv-dll.md"
  !insertmacro ${DO} "README.txt"
!macroend
!macro INSTALL_FILE NAME
  File "${FILES}/${NAME}"
!macroend
!macro REMOVE_FILE NAME
  Delete "$INSTDIR\${NAME}"
!macroend

Var Option     ; one command-line option's value
Var Previous   ; the folder of the version installed before, if any
Var RegisterAs ; "machine" or "user": where kelv.dll's classes go

; kelv.dll's classes, for the machine or for this user as the install mode
; says (DllInstall of kelv.dll; /n: nothing else is called).
!macro REGISTER_AUTOMATION VERB
  ExecWait '"$SYSDIR\regsvr32.exe" /s ${VERB} /n /i:$RegisterAs "$INSTDIR\kelv.dll"' $0
!macroend

; Waits until no kelv program runs from FOLDER (a file in use cannot be
; replaced or removed): asks to close it; cancelled, or silent, it stops
; with exit code 3 and changes nothing.
!macro WAIT_CLOSED FOLDER
  Push "${FOLDER}"
  !ifdef __UNINSTALL__
    Call un.WaitClosed
  !else
    Call WaitClosed
  !endif
!macroend
; $R3 becomes FILE when FILE is there and cannot be opened for writing.
!macro IN_USE FILE
  ${If} $R3 == ""
  ${AndIf} ${FileExists} "${FILE}"
    ClearErrors
    FileOpen $0 "${FILE}" a
    ${If} ${Errors}
      StrCpy $R3 "${FILE}"
    ${Else}
      FileClose $0
    ${EndIf}
  ${EndIf}
!macroend
!macro WAIT_CLOSED_FUNCTION PREFIX
Function ${PREFIX}WaitClosed
  Exch $R1
  Push $R3
  ${Do}
    StrCpy $R3 ""
    !insertmacro IN_USE "$R1\kelv-form.exe"
    !insertmacro IN_USE "$R1\kelv.exe"
    !insertmacro IN_USE "$R1\kelv.dll"
    ${IfThen} $R3 == "" ${|} ${ExitDo} ${|}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$R3 正在使用中：kelv 考务窗体、命令行程序，或调用 kelv.dll 的电子表格程序还开着。请先关闭它，再点“重试”。" /SD IDCANCEL IDRETRY retry
    SetErrorLevel 3
    Quit
    retry:
  ${Loop}
  Pop $R3
  Pop $R1
FunctionEnd
!macroend
!insertmacro WAIT_CLOSED_FUNCTION ""
!insertmacro WAIT_CLOSED_FUNCTION "un."

Section "kelv 考务（必需）" SecProgram
  SectionIn RO
  !insertmacro WAIT_CLOSED "$INSTDIR"
  ${If} $Previous != ""
    !insertmacro WAIT_CLOSED "$Previous"
  ${EndIf}
  ; An upgrade: the installed version's own uninstaller takes away its
  ; files, shortcuts and keys first (settings and workspaces are not its),
  ; so nothing of it is left behind whatever it shipped.
  ${If} $Previous != ""
  ${AndIf} ${FileExists} "$Previous\uninstall.exe"
    DetailPrint "卸载旧版本：$Previous"
    ExecWait '"$Previous\uninstall.exe" /S /$MultiUser.InstallMode _?=$Previous' $0
    Delete "$Previous\uninstall.exe"
    RMDir "$Previous"
  ${EndIf}

  SetOutPath "$INSTDIR"
  !insertmacro KELV_FILES INSTALL_FILE
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\${MENU_FOLDER}"
  CreateShortcut "$SMPROGRAMS\${MENU_FOLDER}\kelv 考务.lnk" "$INSTDIR\kelv-form.exe" "" \
    "$INSTDIR\kelv-form.exe" 0 SW_SHOWNORMAL "" "编排考号、生成表格、打印"
  CreateShortcut "$SMPROGRAMS\${MENU_FOLDER}\用户指南.lnk" "$INSTDIR\help.doc"
  CreateShortcut "$SMPROGRAMS\${MENU_FOLDER}\卸载 kelv.lnk" "$INSTDIR\uninstall.exe" \
    "/$MultiUser.InstallMode"

  WriteRegStr SHCTX "${SETUP_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${SETUP_KEY}" "Version" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "kelv"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kelv-form.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" \
    '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" \
    '"$INSTDIR\uninstall.exe" /S /$MultiUser.InstallMode'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "桌面快捷方式" SecDesktop
  CreateShortcut "$DESKTOP\kelv 考务.lnk" "$INSTDIR\kelv-form.exe" "" "$INSTDIR\kelv-form.exe" 0
  WriteRegDWORD SHCTX "${SETUP_KEY}" "Desktop" 1
SectionEnd

Section /o "自动化组件（注册 kelv.dll）" SecAutomation
  !insertmacro REGISTER_AUTOMATION ""
  ${If} $0 != 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "无法注册 kelv.dll（regsvr32 返回 $0）。宿主工作簿的宏和脚本暂时不能使用 kelv.torb；请以管理员身份重新安装，或按 kelv-dll.md 手工注册。" /SD IDOK
  ${Else}
    WriteRegDWORD SHCTX "${SETUP_KEY}" "Automation" 1
  ${EndIf}
SectionEnd

; Runs last: the size counts every file.
Section "-size"
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "考务窗体 kelv-form、命令行程序 kelv、自动化组件文件 kelv.dll、用户指南，以及“开始”菜单里的快捷方式。"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecDesktop} "在桌面放一个“kelv 考务”快捷方式。"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecAutomation} "注册 kelv.torb、kelv.Application 和 kelv.Form，让宿主工作簿里的宏和 VBScript 脚本能调用 kelv。只用考务窗体时不需要。"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; Sets a section on or off from a command-line option NAME=0|1, else from
; the installed version's choice VALUE in the setup key, else leaves it.
!macro CHOOSE SECTION NAME VALUE
  ClearErrors
  ${GetOptions} $R0 "/${NAME}=" $Option
  ${IfNot} ${Errors}
    ${If} $Option == "1"
      !insertmacro SelectSection ${SECTION}
    ${Else}
      !insertmacro UnselectSection ${SECTION}
    ${EndIf}
  ${ElseIf} $Previous != ""
    ReadRegDWORD $Option SHCTX "${SETUP_KEY}" "${VALUE}"
    ${If} $Option == 1
      !insertmacro SelectSection ${SECTION}
    ${Else}
      !insertmacro UnselectSection ${SECTION}
    ${EndIf}
  ${EndIf}
!macroend

Function .onInit
  ; A folder given with /D= (the only way $INSTDIR is set this early) wins
  ; over the mode's default, which MULTIUSER_INIT puts there.
  StrCpy $R9 $INSTDIR
  !insertmacro MULTIUSER_INIT
  ${If} $R9 != ""
    StrCpy $INSTDIR $R9
  ${EndIf}
  ${GetParameters} $R0
  !insertmacro CHOOSE ${SecDesktop} "DESKTOP" "Desktop"
  !insertmacro CHOOSE ${SecAutomation} "AUTOMATION" "Automation"
FunctionEnd

; The installed version is looked for where the chosen mode installs.
Function ModeChosen
  ReadRegStr $Previous SHCTX "${SETUP_KEY}" "InstallLocation"
  ${If} $MultiUser.InstallMode == "AllUsers"
    StrCpy $RegisterAs "machine"
  ${Else}
    StrCpy $RegisterAs "user"
  ${EndIf}
FunctionEnd

Function .onVerifyInstDir
  ; Never into a drive's root or the Windows folder: the uninstaller
  ; removes the folder it was installed in when it is empty.
  StrLen $0 "$INSTDIR"
  ${If} $0 <= 3
    Abort
  ${EndIf}
FunctionEnd

Function StartForm
  ; Through Explorer, so the form runs as the signed-in user and not with
  ; the setup program's administrator rights.
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\kelv-form.exe"'
FunctionEnd

Function un.onInit
  !insertmacro MULTIUSER_UNINIT
  ; The mode is the one this copy was installed in: the setup key whose
  ; folder is this one.
  ReadRegStr $0 HKLM "${SETUP_KEY}" "InstallLocation"
  ReadRegStr $1 HKCU "${SETUP_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
  ${AndIf} $MultiUser.InstallMode != "AllUsers"
    Call un.MultiUser.InstallMode.AllUsers
  ${ElseIf} $1 == $INSTDIR
  ${AndIf} $MultiUser.InstallMode != "CurrentUser"
    Call un.MultiUser.InstallMode.CurrentUser
  ${EndIf}
FunctionEnd

Function un.ModeChosen
  ${If} $MultiUser.InstallMode == "AllUsers"
    StrCpy $RegisterAs "machine"
  ${Else}
    StrCpy $RegisterAs "user"
  ${EndIf}
FunctionEnd

Section "Uninstall"
  !insertmacro WAIT_CLOSED "$INSTDIR"
  ; The classes first, while kelv.dll is there to remove them.
  ReadRegDWORD $0 SHCTX "${SETUP_KEY}" "Automation"
  ${If} $0 == 1
  ${AndIf} ${FileExists} "$INSTDIR\kelv.dll"
    !insertmacro REGISTER_AUTOMATION "/u"
  ${EndIf}

  !insertmacro KELV_FILES REMOVE_FILE
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: anything the user put there stays.
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${MENU_FOLDER}\kelv 考务.lnk"
  Delete "$SMPROGRAMS\${MENU_FOLDER}\用户指南.lnk"
  Delete "$SMPROGRAMS\${MENU_FOLDER}\卸载 kelv.lnk"
  RMDir "$SMPROGRAMS\${MENU_FOLDER}"
  Delete "$DESKTOP\kelv 考务.lnk"

  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  DeleteRegKey SHCTX "${SETUP_KEY}"
  ; The form's settings live beside the setup key and stay.
  DeleteRegKey /ifempty SHCTX "Software\kelv"
SectionEnd
