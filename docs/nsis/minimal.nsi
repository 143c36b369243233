; The smallest setup and uninstaller that call webpause.dll and tearhook.dll
; as they must be called. Build it with the folder that holds the six files:
;   makensis -DKX_FILES=C:\kestrix-2.0 -DKX_OUT=my-setup.exe minimal.nsi
; Unattended: my-setup.exe /S /D=C:\Some Folder\Kestrix
; and, from a copy of the uninstaller:
;   uninstall-copy.exe /S _?=C:\Some Folder\Kestrix
; (/D= and _?= last on the line and never in quotes, even with blanks).

Unicode false                 ; ANSI text for the DLLs; runs on 95/98 too
RequestExecutionLevel admin   ; pathstamp writes under HKLM
Name "Kestrix 2.0"
OutFile "${KX_OUT}"
InstallDir "$PROGRAMFILES\Veltrana\Kestrix 2.0"
!include LogicLib.nsh

!define KX_KEY "Software\Veltrana\Kestrix\2.0"
Var Dll       ; webpause.dll or tearhook.dll, loaded once
Var Start     ; ?StartServiceA@@YGHXZ
Var UnInit    ; UninstUnInitialize

; Our own, not NSIS's: ends the run with exit status 2.
!macro Stop TEXT
  System::Call 'kernel32::FreeLibrary(p $Dll)'
  MessageBox MB_OK|MB_ICONSTOP "${TEXT}" /SD IDOK
  SetErrorLevel 2
  Quit
!macroend

; An export by its exact name (System::Call can't name "?..." itself).
!macro Export VAR NAME
  System::Call 'kernel32::GetProcAddress(p $Dll, m "${NAME}") p .s'
  Pop ${VAR}
  ${If} ${VAR} == 0
    !insertmacro Stop "No export ${NAME}: nothing was changed."
  ${EndIf}
!macroend

; The DLL from the plug-ins folder, where NSIS deletes it after the run.
!macro Load DLL
  System::Call 'kernel32::LoadLibraryA(m "$PLUGINSDIR\${DLL}") p .s'
  Pop $Dll
  ${If} $Dll == 0
    !insertmacro Stop "${DLL} can't be loaded: nothing was changed."
  ${EndIf}
!macroend

Page instfiles
UninstPage instfiles

; .onInit runs on the UI thread, with or without /S: the question box of
; ShutdownService must come from there.
Function .onInit
  InitPluginsDir
  File /oname=$PLUGINSDIR\webpause.dll "${KX_FILES}\webpause.dll"
  !insertmacro Load webpause.dll
  !insertmacro Export $0 "ShutdownService"
  !insertmacro Export $Start "?StartServiceA@@YGHXZ"
  System::Call '::$0() i .r0'
  ${If} $0 != 1
    !insertmacro Stop "The web server was not stopped: Kestrix was not installed."
  ${EndIf}
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  File "${KX_FILES}\pathstamp.exe"
  File "${KX_FILES}\kxlaunch.exe"
  File "${KX_FILES}\propexec.exe"
  File "${KX_FILES}\propexecw.exe"
  File "${KX_FILES}\tearhook.dll"
  ; pathstamp records the folder it lies in; 1: the record is not whole.
  ExecWait '"$INSTDIR\pathstamp.exe"' $0
  ${If} $0 != 0
    System::Call '::$Start() i .r0'
    !insertmacro Stop "pathstamp.exe could not write the record: run the setup again."
  ${EndIf}
  WriteRegStr HKLM "${KX_KEY}\Installation" "online" "true"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; ShutdownService said 1: restart what it may have stopped.
  System::Call '::$Start() i .r0'
  System::Call 'kernel32::FreeLibrary(p $Dll)'
SectionEnd

; The uninstaller calls a copy: the installed tearhook.dll is about to go.
Function un.onInit
  InitPluginsDir
  CopyFiles /SILENT "$INSTDIR\tearhook.dll" "$PLUGINSDIR"
  !insertmacro Load tearhook.dll
  !insertmacro Export $0 "UninstInitialize"
  !insertmacro Export $UnInit "UninstUnInitialize"
  System::Call '::$0(i 0, i 0, i 0) i .r0'
  ${If} $0 != 0
    MessageBox MB_YESNO "The web server still loads the servlet engine's filter. Remove Kestrix anyway?" /SD IDNO IDYES goOn
    !insertmacro Stop "Kestrix was not removed."
    goOn:
  ${EndIf}
FunctionEnd

Section Uninstall
  Delete "$INSTDIR\pathstamp.exe"
  Delete "$INSTDIR\kxlaunch.exe"
  Delete "$INSTDIR\propexec.exe"
  Delete "$INSTDIR\propexecw.exe"
  Delete "$INSTDIR\tearhook.dll"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${KX_KEY}"
  DeleteRegKey /ifempty HKLM "Software\Veltrana\Kestrix"
  DeleteRegKey /ifempty HKLM "Software\Veltrana"
  System::Call '::$UnInit(i 0, i 0, i 0) i .r0'
  System::Call 'kernel32::FreeLibrary(p $Dll)'
SectionEnd
