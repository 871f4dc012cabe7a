; The Windows installer of a Hallvoxen release, made by scripts/release.sh with makensis:
;   makensis -DVERSION=1.1.0 -DINPUT=STAGE_FOLDER -DOUTFILE=SETUP.exe installer/Hallvoxen.nsi
; STAGE_FOLDER holds the files of the release zip (Hallvoxen.dll, Pelkorin.exe, the sample
; Hallvoxen.ini, LICENSE.txt, CHANGELOG.txt, docs\).
;
; Where things go:
;   FS2002\Modules\Hallvoxen.dll     the module; FS2002 is the folder the pilot confirms,
;                                     found where the module finds it (the simulator's
;                                     "EXE Path" registry value)
;   FS2002\Modules\Hallvoxen.ini     the sample, only when there is none: a pilot's
;                                     settings are never overwritten, nor removed
;   Program Files\Hallvoxen\         Pelkorin (optional), the guide, licence, change log
;                                     and the uninstaller
;
; Silent use (tests, administrators):
;   setup.exe /S [/PELKORIN] [/AUTOSTART] [/D=FS2002_FOLDER]
; /PELKORIN adds Pelkorin, /AUTOSTART also starts it with Windows; /D= must come last.
; Without /D= and without the simulator's registry value a silent install stops with
; exit code 2.

Unicode true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh

!ifndef VERSION | INPUT | OUTFILE
  !error "define VERSION, INPUT and OUTFILE"
!endif

!define SIM_KEY "Software\Microsoft\Microsoft Games\Flight Simulator\8.0"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Hallvoxen"
!define APP_DIR "$PROGRAMFILES\Hallvoxen"
!define MENU_DIR "$SMPROGRAMS\Hallvoxen"

Name "Hallvoxen ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "Hallvoxen ${VERSION}"
InstallDir ""
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Hallvoxen"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Hallvoxen ${VERSION} setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 the Hallvoxen developers. MIT licence."
VIAddVersionKey /LANG=1033 "CompanyName" "the Hallvoxen developers"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${INPUT}\LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_HEADER_TEXT "FS2002 folder"
!define MUI_PAGE_HEADER_SUBTEXT "Where is Flight Simulator 2002 installed?"
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup puts Hallvoxen.dll into the Modules folder of FS2002. This is the folder that holds FS2002.EXE, as found on this computer; choose another one if FS2002 is somewhere else. An existing Hallvoxen.ini in Modules is kept as it is."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "FS2002 folder"
!define MUI_PAGE_CUSTOMFUNCTION_PRE SimFolderPage
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckSimFolder
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "Hallvoxen is installed. Start FS2002: its menu has an entry $\"Hallvoxen...$\"; tick ACTIVE there to switch control on.$\r$\n$\r$\nThe pilot's guide is in ${APP_DIR}\docs."
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; What every installation gets: the guide, licence, change log and the uninstaller.
Section "-common"
  SetShellVarContext all
  SetOutPath "${APP_DIR}"
  File "${INPUT}\LICENSE.txt"
  File "${INPUT}\CHANGELOG.txt"
  File "/oname=Hallvoxen.sample.ini" "${INPUT}\Hallvoxen.ini"
  SetOutPath "${APP_DIR}\docs"
  File "${INPUT}\docs\*.*"

  WriteUninstaller "${APP_DIR}\Uninstall.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Hallvoxen ${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "the Hallvoxen developers"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "${APP_DIR}"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"${APP_DIR}\Uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"${APP_DIR}\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  CreateDirectory "${MENU_DIR}"
  CreateShortcut "${MENU_DIR}\Uninstall Hallvoxen.lnk" "${APP_DIR}\Uninstall.exe"
SectionEnd

; Unticked on a second computer that only runs Pelkorin: the folder page is then skipped.
Section "Hallvoxen module (FS2002 computer)" SecModule
  SetOutPath "$INSTDIR\Modules"
  File "${INPUT}\Hallvoxen.dll"
  ${IfNot} ${FileExists} "$INSTDIR\Modules\Hallvoxen.ini"
    File "${INPUT}\Hallvoxen.ini"
  ${Else}
    DetailPrint "Keeping your Hallvoxen.ini"
  ${EndIf}
  ; The uninstaller removes the module from this folder.
  WriteRegStr HKLM "${UNINST_KEY}" "FS2002Folder" "$INSTDIR"
SectionEnd

Section /o "Pelkorin (RogerWilco on this computer, FS2002 on another)" SecPelkorin
  SetShellVarContext all
  SetOutPath "${APP_DIR}"
  File "${INPUT}\Pelkorin.exe"
  CreateDirectory "${MENU_DIR}"
  CreateShortcut "${MENU_DIR}\Pelkorin.lnk" "${APP_DIR}\Pelkorin.exe"
SectionEnd

Section /o "Start Pelkorin with Windows" SecAutostart
  SetShellVarContext all
  CreateShortcut "$SMSTARTUP\Pelkorin.lnk" "${APP_DIR}\Pelkorin.exe"
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecModule} "Hallvoxen.dll into the Modules folder of FS2002. Untick it on a computer that only runs Pelkorin."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecPelkorin} "The tray program for a second computer: it starts RogerWilco there for Hallvoxen. Only needed when RogerWilco runs on another computer than FS2002."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecAutostart} "Start Pelkorin whenever Windows starts."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; The simulator folder from its "EXE Path" value, the way the module reads it: a value
; ending in EXE names the program file, so it is cut at its last backslash; a trailing
; backslash goes. In and out: $0.
Function SimFolderFromExePath
  StrCpy $1 $0 3 -3
  ${If} $1 == "EXE"          ; NSIS compares without regard to case
    ${GetParent} $0 $1
    ${If} $1 != ""
      StrCpy $0 $1
    ${EndIf}
  ${EndIf}
  StrCpy $1 $0 1 -1
  ${If} $1 == "\"
    StrCpy $0 $0 -1
  ${EndIf}
FunctionEnd

Function .onInit
  SetRegView 32
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/PELKORIN" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecPelkorin}
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/AUTOSTART" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecPelkorin}
    !insertmacro SelectSection ${SecAutostart}
  ${EndIf}

  ${If} $INSTDIR != ""       ; given with /D=
    Return
  ${EndIf}
  ReadRegStr $0 HKLM "${SIM_KEY}" "EXE Path"
  ${If} $0 != ""
    Call SimFolderFromExePath
    StrCpy $INSTDIR $0
    Return
  ${EndIf}
  ${If} ${Silent}
  ${AndIf} ${SectionIsSelected} ${SecModule}
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

; Starting Pelkorin with Windows needs Pelkorin.
Function .onSelChange
  ${If} ${SectionIsSelected} ${SecAutostart}
  ${AndIfNot} ${SectionIsSelected} ${SecPelkorin}
    ${If} $0 == ${SecPelkorin}
      !insertmacro UnselectSection ${SecAutostart}
    ${Else}
      !insertmacro SelectSection ${SecPelkorin}
    ${EndIf}
  ${EndIf}
FunctionEnd

; Entering the folder page: skipped without the module; a plain word when FS2002 was not
; found, after which the pilot can still choose its folder.
Function SimFolderPage
  ${IfNot} ${SectionIsSelected} ${SecModule}
    Abort
  ${EndIf}
  ${If} $INSTDIR == ""
    MessageBox MB_OK|MB_ICONEXCLAMATION "FS2002 was not found on this computer: its registry entry is missing.$\r$\n$\r$\nIf FS2002 is installed, choose its folder (the one that holds FS2002.EXE) on the next page. Without that entry Hallvoxen reads its settings from \Hallvoxen.ini at the root of the drive; reinstalling FS2002 writes it again."
  ${EndIf}
FunctionEnd

; Leaving the folder page: a folder without FS2002.EXE is most likely the wrong one.
Function CheckSimFolder
  ${IfNot} ${FileExists} "$INSTDIR\FS2002.EXE"
    MessageBox MB_YESNO|MB_ICONQUESTION "There is no FS2002.EXE in$\r$\n$INSTDIR.$\r$\n$\r$\nHallvoxen works only in the Modules folder of FS2002. Install into this folder anyway?" /SD IDYES IDYES +2
    Abort
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 32
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  ReadRegStr $0 HKLM "${UNINST_KEY}" "FS2002Folder"
  ${If} $0 != ""
    Delete "$0\Modules\Hallvoxen.dll"
    Delete "$0\Modules\Hallvoxen.log"
    Delete "$0\Modules\Hallvoxen.log.1"
    ; Hallvoxen.ini stays: it holds the pilot's settings.
  ${EndIf}
  Delete "$SMSTARTUP\Pelkorin.lnk"
  Delete "${MENU_DIR}\Pelkorin.lnk"
  Delete "${MENU_DIR}\Uninstall Hallvoxen.lnk"
  RMDir "${MENU_DIR}"
  Delete "$INSTDIR\Pelkorin.exe"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\CHANGELOG.txt"
  Delete "$INSTDIR\Hallvoxen.sample.ini"
  RMDir /r "$INSTDIR\docs"
  DeleteRegKey HKLM "${UNINST_KEY}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
