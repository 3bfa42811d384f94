; The SK720 Control Program's installer: a per-user installation without administrator rights.
; scripts/package defines VERSION, PROGRAM, CLI, GUIDE, ICON and OUTFILE on makensis's command line.

Unicode true
Target amd64-unicode
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define PRODUCT "SK720 Control Program"
!define COMPANY "Quorvia Ultrasonics"
!define EXE "SK720Control.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\SK720ControlProgram"
!define PROGID "QuorviaUltrasonics.SK720Recording"
!define OPEN_WITH_KEY "Software\Classes\.bin\OpenWithProgids"
!define APPLICATION_KEY "Software\Classes\Applications\${EXE}"
!define SETTINGS_KEY "Software\Quorvia Ultrasonics\SK720ControlProgram"
!define COMPANY_KEY "Software\Quorvia Ultrasonics"
!define MENU_FOLDER "$SMPROGRAMS\${PRODUCT}"
!define SHCNE_ASSOCCHANGED 0x08000000

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COMPANY}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\user-guide.html"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Read the user guide"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Install"
  SetOutPath "$INSTDIR"
  File "/oname=${EXE}" "${PROGRAM}"
  File "/oname=sk720.exe" "${CLI}"
  File "/oname=user-guide.html" "${GUIDE}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The shortcuts start in the installation folder (SetOutPath above).
  CreateDirectory "${MENU_FOLDER}"
  CreateShortcut "${MENU_FOLDER}\${PRODUCT}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0
  CreateShortcut "${MENU_FOLDER}\${PRODUCT} User Guide.lnk" "$INSTDIR\user-guide.html"

  ; "Open with" for recordings: a ProgID of our own listed beside whatever owns .bin, whose
  ; default stays as it was.
  WriteRegStr HKCU "Software\Classes\${PROGID}" "" "SK720 sonar recording"
  WriteRegStr HKCU "Software\Classes\${PROGID}\DefaultIcon" "" '"$INSTDIR\${EXE}",0'
  WriteRegStr HKCU "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\${EXE}" "%1"'
  WriteRegStr HKCU "${OPEN_WITH_KEY}" "${PROGID}" ""
  WriteRegStr HKCU "${APPLICATION_KEY}" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr HKCU "${APPLICATION_KEY}\SupportedTypes" ".bin" ""
  WriteRegStr HKCU "${APPLICATION_KEY}\shell\open\command" "" '"$INSTDIR\${EXE}" "%1"'

  ; The entry of the user's list of installed programs.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\${EXE}",0'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0

  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
SectionEnd

; Deletes HKCU\KEY when it holds neither values nor subkeys: a key another program also uses
; stays.
!macro DeleteKeyIfBare KEY
  ClearErrors
  EnumRegKey $0 HKCU "${KEY}" 0
  ${If} $0 == ""
    ClearErrors
    EnumRegValue $0 HKCU "${KEY}" 0
    ${If} ${Errors}
    ${OrIf} $0 == ""
      ; An empty name is either the end of the list or the default value.
      ClearErrors
      ReadRegStr $1 HKCU "${KEY}" ""
      ${If} ${Errors}
        DeleteRegKey HKCU "${KEY}"
      ${EndIf}
    ${EndIf}
  ${EndIf}
!macroend

Section "Uninstall"
  Delete "$INSTDIR\${EXE}"
  Delete "$INSTDIR\sk720.exe"
  Delete "$INSTDIR\user-guide.html"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: files a user put there stay.
  RMDir "$INSTDIR"

  Delete "${MENU_FOLDER}\${PRODUCT}.lnk"
  Delete "${MENU_FOLDER}\${PRODUCT} User Guide.lnk"
  RMDir "${MENU_FOLDER}"

  DeleteRegKey HKCU "Software\Classes\${PROGID}"
  DeleteRegValue HKCU "${OPEN_WITH_KEY}" "${PROGID}"
  !insertmacro DeleteKeyIfBare "${OPEN_WITH_KEY}"
  !insertmacro DeleteKeyIfBare "Software\Classes\.bin"
  DeleteRegKey HKCU "${APPLICATION_KEY}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  ; The settings outlive the program unless the user asks otherwise; recordings are never touched.
  MessageBox MB_YESNO|MB_ICONQUESTION "Also remove your SK720 Control Program settings (ports, \
      window position, sonar and view settings)?$\r$\n$\r$\nYour recordings and screenshots are \
      kept either way." /SD IDNO IDNO keep_settings
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "${COMPANY_KEY}"
keep_settings:

  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
SectionEnd
