; Setup of the RAR4120E evaluation kit's Windows program, built by
; scripts/package-windows.sh from the files it stages for the zip:
;   makensis -DVERSION=x.y.z -DFILES=install.nsh -DUNFILES=uninstall.nsh
;            -DICON=rar4120e.ico -DWIZARD=side-picture.bmp -DOUTFILE=setup.exe
;            rar4120e-evkit.nsi
; FILES and UNFILES are the explicit lists of what is installed, so that the
; uninstaller removes exactly those files and nothing else the user keeps in
; the folder.

Unicode true
ManifestDPIAware true
SetCompressor /SOLID lzma

!define PRODUCT "RAR4120E EV Kit"
!define PUBLISHER "Corvelle"
!define EXE "rar4120e-evkit.exe"
!define UNINSTALLER "uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvelle RAR4120E EV Kit"
!define FOLDER "Corvelle\RAR4120E"
; The program keeps RAR4120E.ini in the folder it starts in, and Program Files
; is not writable: the shortcut starts it in this per-user folder, which the
; program expands for whoever runs it.
!define START_IN "Corvelle\RAR4120E"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "${PUBLISHER} ${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey FileDescription "${PRODUCT} Setup"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey LegalCopyright "${PUBLISHER}"

; Per machine into Program Files (the 32-bit one: the program is 32-bit) for
; an administrator, per user without administrator rights; /AllUsers and
; /CurrentUser choose on the command line. An earlier installation's mode and
; folder are kept, so that a newer version replaces it in place.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_INSTDIR "${FOLDER}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD}"
!define MUI_ABORTWARNING

Var FinishText

!define MUI_WELCOMEPAGE_TEXT "Setup will install ${PRODUCT} ${VERSION}, the control program of the RAR4120E evaluation kit, with a Start-menu entry and an uninstaller.$\r$\n$\r$\nA USB board needs FTDI's D2XX driver; Setup checks for it at the end. RS-232 boards need no driver.$\r$\n$\r$\nClick Next to continue."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_PAGE_CUSTOMFUNCTION_PRE FinishPre
!define MUI_FINISHPAGE_TITLE_3LINES
!define MUI_FINISHPAGE_TEXT "$FinishText"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; The mode's default folder (or the earlier installation's) replaces $INSTDIR,
; unless /D= named one.
Function .onInit
    StrCpy $0 $INSTDIR
    !insertmacro MULTIUSER_INIT
    ${If} $0 != ""
        StrCpy $INSTDIR $0
    ${EndIf}
FunctionEnd

; The uninstaller removes the files of the folder it was installed in.
Function un.onInit
    StrCpy $0 $INSTDIR
    !insertmacro MULTIUSER_UNINIT
    StrCpy $INSTDIR $0
FunctionEnd

Section "Program" SecProgram
    SectionIn RO
    !include "${FILES}"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"

    ; The shortcut's own "Start in" is the installing user's folder; others
    ; get theirs from the program's --start-in, which expands %LOCALAPPDATA%.
    SetShellVarContext current
    StrCpy $0 "$LOCALAPPDATA\${START_IN}"
    ${If} $MultiUser.InstallMode == AllUsers
        SetShellVarContext all
    ${EndIf}
    CreateDirectory "$0"
    SetOutPath "$0"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EXE}" \
        '--start-in "%LOCALAPPDATA%\${START_IN}"' "$INSTDIR\${EXE}" 0
    SetOutPath "$INSTDIR"

    ${If} $MultiUser.InstallMode == AllUsers
        StrCpy $1 "/AllUsers"
    ${Else}
        StrCpy $1 "/CurrentUser"
    ${EndIf}
    ; SHCTX is HKLM per machine and HKCU per user.
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}" $1'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" $1 /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $2 $3 $4
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $2
SectionEnd

; USB boards are reached through FTDI's D2XX driver, which Setup does not
; bring. A 32-bit Setup loads the 32-bit FTD2XX.dll, the one the program needs.
Function FinishPre
    StrCpy $FinishText "${PRODUCT} is installed. Start it with $\"${PRODUCT}$\" in the Start menu.$\r$\n$\r$\n"
    System::Call 'kernel32::LoadLibrary(t "FTD2XX.dll") p.r0'
    ${If} $0 P<> 0
        System::Call 'kernel32::FreeLibrary(p r0)'
    ${Else}
        StrCpy $1 "FTDI's D2XX driver (FTD2XX.dll) is not installed on this computer. USB boards need it: download the D2XX driver from FTDI's web site (ftdichip.com) and install it before connecting a USB board. RS-232 boards do not need it.$\r$\n$\r$\n"
        StrCpy $FinishText "$FinishText$1"
    ${EndIf}
    StrCpy $1 "Click Finish to close Setup."
    StrCpy $FinishText "$FinishText$1"
FunctionEnd

Section "Uninstall"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    !include "${UNFILES}"
    Delete "$INSTDIR\${UNINSTALLER}"
    ; Only when empty: the user's own files in the folder stay, and so does
    ; the folder.
    RMDir "$INSTDIR"
    ${GetParent} "$INSTDIR" $0
    ${GetFileName} "$0" $1
    ${If} $1 == "${PUBLISHER}"
        RMDir "$0"
    ${EndIf}
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
