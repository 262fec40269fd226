; The Windows installer: the module into the common plug-in folder of every
; host version the registry names (once a folder), the tool, its notices and
; an uninstaller into Program Files, and an entry in Apps & Features.
;
; Built by the Windows build's `package` target (packaging/MakeInstaller.cmake)
; from the files of the zip, with
;   makensis -DVERSION=1.0.0 -DSOURCE=<the zip's files> -DOUTFILE=<.exe>
;            [-DSIGN=<a command that signs the file named after it>] Installer.nsi
;
; A silent install (/S) or uninstall exits 0 only when every file is in
; place, or gone; otherwise with one of the codes below, leaving what was
; installed before as it was: the new files are written beside the old
; ones first, and the old ones are replaced only once all are written.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all

!ifndef VERSION
  !error "VERSION must be defined (-DVERSION=1.0.0)"
!endif
!ifndef SOURCE
  !error "SOURCE must be defined: the folder of the zip's files"
!endif
!ifndef OUTFILE
  !error "OUTFILE must be defined: the installer to write"
!endif

!define PRODUCT "Quorvel"
!ifndef PUBLISHER
  !define PUBLISHER "Veltrane"
!endif
!define MODULE "VT_Quorvel.aex"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel"
!define HOSTS_KEY "SOFTWARE\Adobe\After Effects"
!define HOST_NAMES "After Effects, Premiere Pro and Media Encoder"

; Exit codes, besides NSIS's own 1 (cancelled) and 2 (failed).
!define EXIT_FAILED 2
!define EXIT_NEWER_INSTALLED 3
!define EXIT_IN_USE 4

!ifdef SIGN
  !finalize '${SIGN} "%1"' = 0
  !uninstfinalize '${SIGN} "%1"' = 0
!endif

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show
; A file that cannot be written fails the install: never skipped silently.
AllowSkipFiles off

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} installer"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "WordFunc.nsh"
!include "nsDialogs.nsh"

; The module's folders ("<host folder>\Quorvel"), each ended by "|"; the
; host versions found, for the page and the log; the folders an install
; made that were not there before, deepest first, removed when they empty.
Var Folders
Var OldFolders
Var Hosts
Var Created
Var Swapped
Var ToolPlaced
Var Log

!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This installs the ${PRODUCT} ${VERSION} effect module for After Effects and Premiere Pro, and its headless host, quorvel-host.$\r$\n$\r$\nClose ${HOST_NAMES} before you go on."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${SOURCE}/LICENSE"
Page custom FoldersPage
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "${PRODUCT} ${VERSION} is installed. Start the host: the effect is VT Quorvel, in the Veltrane category."
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; --- Lists of folders, each item ended by "|" -----------------------------

; Takes the first item of the list in $R0 into $R1 (empty at the end).
!macro LIST_FUNCTIONS UN
Function ${UN}ListPop
  Push $R2
  Push $R3
  StrCpy $R1 ""
  StrCpy $R2 0
  ${Do}
    StrCpy $R3 $R0 1 $R2
    ${If} $R3 == ""
      StrCpy $R1 $R0
      StrCpy $R0 ""
      ${Break}
    ${ElseIf} $R3 == "|"
      StrCpy $R1 $R0 $R2
      IntOp $R2 $R2 + 1
      StrCpy $R0 $R0 "" $R2
      ${Break}
    ${EndIf}
    IntOp $R2 $R2 + 1
  ${Loop}
  Pop $R3
  Pop $R2
FunctionEnd

; Removes the folders of $Created that are empty now (a folder before the
; one that held it, whatever the order), keeping the others listed.
Function ${UN}PruneCreated
  Push $R0
  Push $R1
  Push $R7
  Push $R8
  ${Do}
    StrCpy $R8 0
    StrCpy $R7 ""
    StrCpy $R0 $Created
    ${Do}
      Call ${UN}ListPop
      ${If} $R1 == ""
        ${Break}
      ${EndIf}
      RMDir "$R1"
      ${If} ${FileExists} "$R1\*.*"
        StrCpy $R7 "$R7$R1|"
      ${Else}
        StrCpy $R8 1
      ${EndIf}
    ${Loop}
    StrCpy $Created $R7
  ${LoopUntil} $R8 == 0
  Pop $R8
  Pop $R7
  Pop $R1
  Pop $R0
FunctionEnd

; $R4 = 1 when the file $R6 can be opened for writing, or does not exist;
; 0 when a program holds it (a host that has loaded the module).
Function ${UN}CanReplace
  Push $R0
  StrCpy $R4 1
  ${If} ${FileExists} "$R6"
    ClearErrors
    FileOpen $R0 "$R6" a
    ${If} ${Errors}
      StrCpy $R4 0
    ${Else}
      FileClose $R0
    ${EndIf}
  ${EndIf}
  Pop $R0
FunctionEnd
!macroend
!insertmacro LIST_FUNCTIONS ""
!insertmacro LIST_FUNCTIONS "un."

; $R4 = 1 when the list in $R5 holds $R6 (paths compare without case), else 0.
Function ListHas
  Push $R0
  Push $R1
  StrCpy $R4 0
  StrCpy $R0 $R5
  ${Do}
    Call ListPop
    ${If} $R1 == ""
      ${Break}
    ${EndIf}
    ${If} $R1 == $R6
      StrCpy $R4 1
      ${Break}
    ${EndIf}
  ${Loop}
  Pop $R1
  Pop $R0
FunctionEnd

; Stops with `code` and `text`, after `cleanup` (a function) has put back
; what was there before; the text is the last line of the details, and a
; message box unless silent.
!macro FAIL CODE TEXT
  DetailPrint "${TEXT}"
  MessageBox MB_ICONSTOP "${TEXT}" /SD IDOK
  SetErrorLevel ${CODE}
  Abort "${TEXT}"
!macroend

; --- Where the module goes ------------------------------------------------

; $Folders from every host version's CommonPluginInstallPath, once a
; folder; the common plug-in folder where no host is registered.
Function FindHosts
  StrCpy $Folders ""
  StrCpy $Hosts ""
  StrCpy $0 0
  ${Do}
    ClearErrors
    EnumRegKey $1 HKLM "${HOSTS_KEY}" $0
    ${If} ${Errors}
    ${OrIf} $1 == ""
      ${Break}
    ${EndIf}
    IntOp $0 $0 + 1
    ClearErrors
    ReadRegStr $2 HKLM "${HOSTS_KEY}\$1" "CommonPluginInstallPath"
    ${If} ${Errors}
    ${OrIf} $2 == ""
      ${Continue}
    ${EndIf}
    ExpandEnvStrings $2 $2
    ; One spelling a folder: without a trailing backslash.
    ${Do}
      StrCpy $3 $2 1 -1
      ${If} $3 != "\"
        ${Break}
      ${EndIf}
      StrCpy $2 $2 -1
    ${Loop}
    StrCpy $Hosts "$Hosts  After Effects $1: $2$\r$\n"
    StrCpy $R5 $Folders
    StrCpy $R6 "$2\${PRODUCT}"
    Call ListHas
    ${If} $R4 == 0
      StrCpy $Folders "$Folders$2\${PRODUCT}|"
    ${EndIf}
  ${Loop}
  ${If} $Folders == ""
    StrCpy $Folders "$PROGRAMFILES64\Adobe\Common\Plug-ins\7.0\MediaCore\${PRODUCT}|"
    StrCpy $Hosts "  no host version registered: the common plug-in folder$\r$\n"
  ${EndIf}
FunctionEnd

; Adds to $Created the folders from $R1 up that do not exist yet.
Function RecordCreated
  Push $R1
  ${Do}
    ${If} ${FileExists} "$R1\*.*"
    ${OrIf} $R1 == ""
      ${Break}
    ${EndIf}
    StrCpy $R5 $Created
    StrCpy $R6 $R1
    Call ListHas
    ${If} $R4 == 0
      StrCpy $Created "$Created$R1|"
    ${EndIf}
    ${GetParent} "$R1" $R1
  ${Loop}
  Pop $R1
FunctionEnd

Function .onInit
  SetRegView 64
  SetShellVarContext all
  ; Never an older version over a newer one.
  ReadRegStr $0 HKLM "${UNINST_KEY}" "DisplayVersion"
  ${If} $0 != ""
    ${VersionCompare} "${VERSION}" "$0" $1
    ${If} $1 == 2
      MessageBox MB_ICONSTOP "${PRODUCT} $0 is installed, which is newer than this installer's ${VERSION}. Uninstall it first to go back to ${VERSION}." /SD IDOK
      SetErrorLevel ${EXIT_NEWER_INSTALLED}
      Quit
    ${EndIf}
    ReadRegStr $1 HKLM "${UNINST_KEY}" "InstallLocation"
    ${If} $1 != ""
      StrCpy $INSTDIR $1
    ${EndIf}
  ${EndIf}
  ReadRegStr $OldFolders HKLM "${UNINST_KEY}" "ModuleFolders"
  ReadRegStr $Created HKLM "${UNINST_KEY}" "CreatedFolders"
  Call FindHosts
FunctionEnd

Function FoldersPage
  !insertmacro MUI_HEADER_TEXT "Where the module goes" "The host versions found, and the folders the module is copied to."
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  StrCpy $1 ""
  StrCpy $R0 $Folders
  ${Do}
    Call ListPop
    ${If} $R1 == ""
      ${Break}
    ${EndIf}
    StrCpy $1 "$1  $R1\${MODULE}$\r$\n"
  ${Loop}
  ${NSD_CreateLabel} 0 0 100% 100% "Host versions:$\r$\n$Hosts$\r$\nThe module goes to:$\r$\n$1$\r$\nThe tool, the licence and the uninstaller go to:$\r$\n  $INSTDIR"
  Pop $0
  nsDialogs::Show
FunctionEnd

; --- The install ----------------------------------------------------------

; Takes away what the install wrote and puts back what it moved aside:
; the modules of $Swapped, the tool's folder, then every new file.
Function Rollback
  StrCpy $R0 $Swapped
  ${Do}
    Call ListPop
    ${If} $R1 == ""
      ${Break}
    ${EndIf}
    ${If} ${FileExists} "$R1\${MODULE}.quorvel-old"
      Delete "$R1\${MODULE}"
      Rename "$R1\${MODULE}.quorvel-old" "$R1\${MODULE}"
    ${EndIf}
  ${Loop}
  StrCpy $Swapped ""
  ${If} $ToolPlaced == 1
    RMDir /r "$INSTDIR"
    StrCpy $ToolPlaced 0
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR.quorvel-old\*.*"
    Rename "$INSTDIR.quorvel-old" "$INSTDIR"
  ${EndIf}
  StrCpy $R0 $Folders
  ${Do}
    Call ListPop
    ${If} $R1 == ""
      ${Break}
    ${EndIf}
    Delete "$R1\${MODULE}.quorvel-new"
  ${Loop}
  RMDir /r "$INSTDIR.quorvel-new"
  Call PruneCreated
FunctionEnd

!macro FAIL_BACK CODE TEXT
  SetOutPath "$TEMP"
  Call Rollback
  !insertmacro FAIL ${CODE} "${TEXT}"
!macroend

; Writes a line of the install log (open in $Log).
!macro LOG TEXT
  FileWrite $Log "${TEXT}$\r$\n"
!macroend

; ${Locate}'s callback: a line of the log for every file of the tool's
; staged folder, named where it will stand.
Function LogStaged
  ${If} $R7 != "install.log"
    StrLen $0 "$INSTDIR.quorvel-new"
    StrCpy $1 $R9 "" $0
    !insertmacro LOG "wrote $INSTDIR$1"
  ${EndIf}
  Push $0
FunctionEnd

Section "-Quorvel"
  SetRegView 64
  SetShellVarContext all
  SetOverwrite try

  ; Nothing changes while a host holds a module of ours.
  StrCpy $R0 "$Folders$OldFolders"
  ${Do}
    Call ListPop
    ${If} $R1 == ""
      ${Break}
    ${EndIf}
    StrCpy $R6 "$R1\${MODULE}"
    Call CanReplace
    ${If} $R4 == 0
      !insertmacro FAIL ${EXIT_IN_USE} "$R1\${MODULE} is in use: close ${HOST_NAMES}, then run the installer again."
    ${EndIf}
  ${Loop}
  StrCpy $R6 "$INSTDIR\quorvel-host.exe"
  Call CanReplace
  ${If} $R4 == 0
    !insertmacro FAIL ${EXIT_IN_USE} "$INSTDIR\quorvel-host.exe is running: let it finish, then run the installer again."
  ${EndIf}

  ; The new files beside the old ones.
  DetailPrint "Writing the new files"
  RMDir /r "$INSTDIR.quorvel-new"
  RMDir /r "$INSTDIR.quorvel-old"
  StrCpy $R0 $Folders
  ${Do}
    Call ListPop
    ${If} $R1 == ""
      ${Break}
    ${EndIf}
    Call RecordCreated
    ClearErrors
    CreateDirectory "$R1"
    SetOutPath "$R1"
    File "/oname=${MODULE}.quorvel-new" "${SOURCE}/${MODULE}"
    ${If} ${Errors}
      !insertmacro FAIL_BACK ${EXIT_FAILED} "Could not write $R1\${MODULE}: the folder cannot be written to, or the disk is full."
    ${EndIf}
  ${Loop}
  ClearErrors
  CreateDirectory "$INSTDIR.quorvel-new"
  SetOutPath "$INSTDIR.quorvel-new"
  File /r /x ${MODULE} /x SHA256SUMS "${SOURCE}/*.*"
  ${If} ${Errors}
    !insertmacro FAIL_BACK ${EXIT_FAILED} "Could not write the files of $INSTDIR: the folder cannot be written to, or the disk is full."
  ${EndIf}
  WriteUninstaller "$INSTDIR.quorvel-new\uninstall.exe"
  ${If} ${Errors}
    !insertmacro FAIL_BACK ${EXIT_FAILED} "Could not write $INSTDIR\uninstall.exe."
  ${EndIf}
  FileOpen $Log "$INSTDIR.quorvel-new\install.log" w
  ${If} ${Errors}
    !insertmacro FAIL_BACK ${EXIT_FAILED} "Could not write $INSTDIR\install.log."
  ${EndIf}
  !insertmacro LOG "${PRODUCT} ${VERSION}"
  !insertmacro LOG "host versions found:"
  FileWrite $Log "$Hosts"
  StrCpy $R0 $Folders
  ${Do}
    Call ListPop
    ${If} $R1 == ""
      ${Break}
    ${EndIf}
    !insertmacro LOG "wrote $R1\${MODULE}"
  ${Loop}
  ${Locate} "$INSTDIR.quorvel-new" "/L=F" "LogStaged"
  !insertmacro LOG "wrote $INSTDIR\install.log"
  ClearErrors
  FileClose $Log
  ${If} ${Errors}
    !insertmacro FAIL_BACK ${EXIT_FAILED} "Could not write $INSTDIR\install.log."
  ${EndIf}

  ; The old files aside, the new ones in their place.
  DetailPrint "Replacing the installed files"
  SetOutPath "$TEMP"
  ${If} ${FileExists} "$INSTDIR\*.*"
    ClearErrors
    Rename "$INSTDIR" "$INSTDIR.quorvel-old"
    ${If} ${Errors}
      !insertmacro FAIL_BACK ${EXIT_IN_USE} "$INSTDIR is in use: close the programs that hold its files, then run the installer again."
    ${EndIf}
  ${EndIf}
  ClearErrors
  Rename "$INSTDIR.quorvel-new" "$INSTDIR"
  ${If} ${Errors}
    !insertmacro FAIL_BACK ${EXIT_FAILED} "Could not put the new files in $INSTDIR."
  ${EndIf}
  StrCpy $ToolPlaced 1
  StrCpy $Swapped ""
  StrCpy $R0 $Folders
  ${Do}
    Call ListPop
    ${If} $R1 == ""
      ${Break}
    ${EndIf}
    StrCpy $Swapped "$Swapped$R1|"
    ${If} ${FileExists} "$R1\${MODULE}"
      Delete "$R1\${MODULE}.quorvel-old"
      ClearErrors
      Rename "$R1\${MODULE}" "$R1\${MODULE}.quorvel-old"
      ${If} ${Errors}
        !insertmacro FAIL_BACK ${EXIT_IN_USE} "$R1\${MODULE} is in use: close ${HOST_NAMES}, then run the installer again."
      ${EndIf}
    ${EndIf}
    ClearErrors
    Rename "$R1\${MODULE}.quorvel-new" "$R1\${MODULE}"
    ${If} ${Errors}
      !insertmacro FAIL_BACK ${EXIT_FAILED} "Could not put the new module in $R1."
    ${EndIf}
  ${Loop}

  ; Done: the old files go, and the modules of folders no longer used.
  StrCpy $R0 $Folders
  ${Do}
    Call ListPop
    ${If} $R1 == ""
      ${Break}
    ${EndIf}
    Delete "$R1\${MODULE}.quorvel-old"
  ${Loop}
  RMDir /r "$INSTDIR.quorvel-old"
  StrCpy $R0 $OldFolders
  ${Do}
    Call ListPop
    ${If} $R1 == ""
      ${Break}
    ${EndIf}
    StrCpy $R5 $Folders
    StrCpy $R6 $R1
    Call ListHas
    ${If} $R4 == 0
      DetailPrint "Removing the module of an earlier install: $R1\${MODULE}"
      Delete "$R1\${MODULE}"
      RMDir "$R1"
    ${EndIf}
  ${Loop}
  Call PruneCreated

  ; Apps & Features.
  ${GetSize} "$INSTDIR" "/S=0K" $5 $1 $2
  ClearErrors
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\uninstall.exe"
  ; A program's own file cannot be deleted while it runs, so an uninstaller
  ; started from the folder hands over to a copy of itself and returns at
  ; once. The command lines here run a copy themselves, wait for it and
  ; remove it, and return its exit code: when they return, all is gone.
  StrCpy $0 '"$SYSDIR\cmd.exe" /d /v:on /c "copy /y "$INSTDIR\uninstall.exe" "%TEMP%\quorvel-uninstall.exe" >nul && start "" /wait "%TEMP%\quorvel-uninstall.exe"'
  StrCpy $1 '_?=$INSTDIR& set rc=!errorlevel!& del "%TEMP%\quorvel-uninstall.exe" 2>nul& exit !rc!"'
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '$0 $1'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '$0 /S $1'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  WriteRegStr HKLM "${UNINST_KEY}" "ModuleFolders" "$Folders"
  WriteRegStr HKLM "${UNINST_KEY}" "CreatedFolders" "$Created"
  StrCpy $R0 $Folders
  ${Do}
    Call ListPop
    ${If} $R1 == ""
      ${Break}
    ${EndIf}
    ${GetSize} "$R1" "/M=${MODULE} /S=0K /G=0" $3 $1 $2
    IntOp $5 $5 + $3
  ${Loop}
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $5
  ${If} ${Errors}
    !insertmacro FAIL ${EXIT_FAILED} "Could not register ${PRODUCT} in Apps & Features (${UNINST_KEY})."
  ${EndIf}
SectionEnd

; --- The uninstall --------------------------------------------------------

Function un.onInit
  SetRegView 64
  SetShellVarContext all
  ReadRegStr $Folders HKLM "${UNINST_KEY}" "ModuleFolders"
  ReadRegStr $Created HKLM "${UNINST_KEY}" "CreatedFolders"
FunctionEnd

Section "Uninstall"
  SetRegView 64
  SetOutPath "$TEMP"
  StrCpy $R0 $Folders
  ${Do}
    Call un.ListPop
    ${If} $R1 == ""
      ${Break}
    ${EndIf}
    StrCpy $R6 "$R1\${MODULE}"
    Call un.CanReplace
    ${If} $R4 == 0
      !insertmacro FAIL ${EXIT_IN_USE} "$R1\${MODULE} is in use: close ${HOST_NAMES}, then uninstall again."
    ${EndIf}
  ${Loop}
  StrCpy $R6 "$INSTDIR\quorvel-host.exe"
  Call un.CanReplace
  ${If} $R4 == 0
    !insertmacro FAIL ${EXIT_IN_USE} "$INSTDIR\quorvel-host.exe is running: let it finish, then uninstall again."
  ${EndIf}
  StrCpy $R0 $Folders
  ${Do}
    Call un.ListPop
    ${If} $R1 == ""
      ${Break}
    ${EndIf}
    ClearErrors
    Delete "$R1\${MODULE}"
    ${If} ${Errors}
      !insertmacro FAIL ${EXIT_FAILED} "Could not remove $R1\${MODULE}."
    ${EndIf}
    RMDir "$R1"
  ${Loop}
  Call un.PruneCreated

  ClearErrors
  Delete "$INSTDIR\quorvel-host.exe"
  ${If} ${Errors}
    !insertmacro FAIL ${EXIT_IN_USE} "$INSTDIR\quorvel-host.exe is running: let it finish, then uninstall again."
  ${EndIf}
  Delete "$INSTDIR\INSTALL.txt"
  Delete "$INSTDIR\LICENSE"
  Delete "$INSTDIR\install.log"
  RMDir /r "$INSTDIR\licenses"
  DeleteRegKey HKLM "${UNINST_KEY}"

  ; Run as the registry says, this is a copy in the temporary folder and
  ; the folder's uninstaller is not running: both go now.
  Delete /REBOOTOK "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
SectionEnd
