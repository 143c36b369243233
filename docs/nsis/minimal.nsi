; The smallest setup and uninstaller that call webpause.dll and tearhook.dll
; as they must be called. Build it with the folder that holds the six files:
;   makensis -DKX_FILES=C:\kestrix-2.0 -DKX_OUT=my-setup.exe minimal.nsi
; Unattended: my-setup.exe /S /LOG=C:\temp\kx.log /D=C:\Some Folder\Kestrix
; and, from a copy of the uninstaller:
;   uninstall-copy.exe /S /LOG=C:\temp\kx.log _?=C:\Some Folder\Kestrix
; (/D= and _?= last on the line and never in quotes, even with blanks).
; /STOPWEBSERVER=no: a silent run leaves a running web server alone and
; stops (status 2). /LOG= gets the texts the DLLs would have shown.
; From a Unix shell, quote what holds a backslash:
;   wine my-setup.exe /S '/LOG=C:\temp\kx.log' '/D=C:\Kestrix'

Unicode false                 ; ANSI text for the DLLs; runs on 95/98 too
RequestExecutionLevel admin   ; pathstamp writes under HKLM
Name "Kestrix 2.0"
OutFile "${KX_OUT}"
InstallDir "$PROGRAMFILES\Veltrana\Kestrix 2.0"
; One installation per machine: without /D=, the one the record names.
InstallDirRegKey HKLM "Software\Veltrana\Kestrix\2.0\Installation" "InstallPath"
!include LogicLib.nsh
!include FileFunc.nsh

!define KX_KEY "Software\Veltrana\Kestrix\2.0"
!define KX_ARP "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrix 2.0"
Var Dll       ; webpause.dll or tearhook.dll, loaded once
Var Start     ; ?StartServiceA@@YGHXZ
Var Stopped   ; WebServerStopped
Var UnInit    ; UninstUnInitialize

; Our own, not NSIS's: ends the run with exit status 2 (or STATUS).
!macro StopWith STATUS TEXT
  System::Call 'kernel32::FreeLibrary(p $Dll)'
  MessageBox MB_OK|MB_ICONSTOP "${TEXT}" /SD IDOK
  SetErrorLevel ${STATUS}
  Quit
!macroend
!define Stop "!insertmacro StopWith 2"

; An export by its exact name (System::Call can't name "?..." itself).
!macro Export VAR NAME
  System::Call 'kernel32::GetProcAddress(p $Dll, m "${NAME}") p .s'
  Pop ${VAR}
  ${If} ${VAR} == 0
    ${Stop} "No export ${NAME}: nothing was changed."
  ${EndIf}
!macroend

; The DLL from the plug-ins folder, where NSIS deletes it after the run.
; Under /S nobody answers its question: /STOPWEBSERVER= does (yes unless
; given), and its texts go to the /LOG= file.
!macro Load DLL
  InitPluginsDir
  File /oname=$PLUGINSDIR\${DLL} "${KX_FILES}\${DLL}"
  System::Call 'kernel32::LoadLibraryA(m "$PLUGINSDIR\${DLL}") p .s'
  Pop $Dll
  ${If} $Dll == 0
    ${Stop} "${DLL} can't be loaded: nothing was changed."
  ${EndIf}
  !insertmacro Export $Start "?StartServiceA@@YGHXZ"
  !insertmacro Export $Stopped "WebServerStopped"
  ${If} ${Silent}
    !insertmacro Export $0 "SetUnattended"
    ${GetParameters} $1
    ${GetOptions} $1 "/LOG=" $2
    StrCpy $3 1
    ${GetOptions} $1 "/STOPWEBSERVER=" $1
    ${IfNot} ${Errors}
    ${AndIf} $1 != "yes"
      StrCpy $3 0
      StrCmp $1 "no" +2
      StrCpy $3 2   ; neither: SetUnattended refuses it
    ${EndIf}
    System::Call '::$0(i r3, m r2) i .r0'
    ${If} $0 != 1
      ${Stop} "/STOPWEBSERVER= takes yes or no, /LOG= a path under 260 bytes."
    ${EndIf}
  ${EndIf}
!macroend

; Starts the web server again when this run stopped it, and only then.
!macro Restart
  System::Call '::$Stopped() i .r0'
  ${If} $0 == 1
    System::Call '::$Start() i .r0'
  ${EndIf}
!macroend

Page instfiles
UninstPage instfiles

; .onInit runs on the UI thread, with or without /S: the question box of
; ShutdownService must come from there.
Function .onInit
  ; An installation in another folder that still holds it: stop, status 4.
  ; A record whose folder is gone is stale: this setup takes it over.
  ReadRegStr $0 HKLM "${KX_KEY}\Installation" "InstallPath"
  ${If} $0 != ""
  ${AndIf} $0 != $INSTDIR
  ${AndIf} ${FileExists} "$0\pathstamp.exe"
    !insertmacro StopWith 4 "Kestrix 2.0 is installed in $0: nothing was changed."
  ${EndIf}
  !insertmacro Load webpause.dll
  !insertmacro Export $0 "ShutdownService"
  System::Call '::$0() i .r0'
  ${If} $0 != 1
    ${Stop} "The web server was not stopped: Kestrix was not installed."
  ${EndIf}
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  File "${KX_FILES}\pathstamp.exe"
  File "${KX_FILES}\kxlaunch.exe"
  File "${KX_FILES}\propexec.exe"
  File "${KX_FILES}\propexecw.exe"
  File "${KX_FILES}\tearhook.dll"
  ; An older version's record goes whole; pathstamp writes it anew and
  ; exits 1 when it is not whole.
  DeleteRegKey HKLM "${KX_KEY}"
  ExecWait '"$INSTDIR\pathstamp.exe"' $0
  ${If} $0 != 0
    !insertmacro Restart
    ${Stop} "pathstamp.exe could not write the record: run the setup again."
  ${EndIf}
  WriteRegStr HKLM "${KX_KEY}\Installation" "online" "true"
  WriteRegStr HKLM "${KX_KEY}\Installation" "offline" "false"
  WriteRegStr HKLM "${KX_KEY}\Installation" "zephyl4" "false"
  WriteRegStr HKLM "${KX_KEY}\Installation" "docs" "false"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; Programs and Features, in the 32-bit view as the record.
  WriteRegStr HKLM "${KX_ARP}" "DisplayName" "Kestrix 2.0"
  WriteRegStr HKLM "${KX_ARP}" "DisplayVersion" "2.0"
  WriteRegStr HKLM "${KX_ARP}" "Publisher" "Veltrana"
  WriteRegStr HKLM "${KX_ARP}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${KX_ARP}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${KX_ARP}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${KX_ARP}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${KX_ARP}" "NoModify" 1
  WriteRegDWORD HKLM "${KX_ARP}" "NoRepair" 1
  !insertmacro Restart
  System::Call 'kernel32::FreeLibrary(p $Dll)'
SectionEnd

; The uninstaller carries its own tearhook.dll: the installed one is about
; to go, or went with a folder deleted by hand.
Function un.onInit
  !insertmacro Load tearhook.dll
  !insertmacro Export $0 "UninstInitialize"
  !insertmacro Export $UnInit "UninstUnInitialize"
  ; The hook acts on the record's installation: not when that is another.
  ReadRegStr $1 HKLM "${KX_KEY}\Installation" "InstallPath"
  ${If} $1 != ""
  ${AndIf} $1 != $INSTDIR
    Return
  ${EndIf}
  System::Call '::$0(i 0, i 0, i 0) i .r0'
  ${If} $0 != 0
    MessageBox MB_YESNO "The web server still loads the servlet engine's filter. Remove Kestrix anyway?" /SD IDNO IDYES goOn
    !insertmacro Restart
    ${Stop} "Kestrix was not removed."
    goOn:
  ${EndIf}
FunctionEnd

; A file in use is marked to go when Windows starts next (status 3); one
; that can be neither removed nor marked keeps the record (status 4).
Section Uninstall
  ClearErrors
  Delete /REBOOTOK "$INSTDIR\pathstamp.exe"
  Delete /REBOOTOK "$INSTDIR\kxlaunch.exe"
  Delete /REBOOTOK "$INSTDIR\propexec.exe"
  Delete /REBOOTOK "$INSTDIR\propexecw.exe"
  Delete /REBOOTOK "$INSTDIR\tearhook.dll"
  Delete /REBOOTOK "$INSTDIR\uninstall.exe"
  ${If} ${Errors}
    !insertmacro Restart
    !insertmacro StopWith 4 "Some files of $INSTDIR can't be removed: close Kestrix and run this again."
  ${EndIf}
  ${If} ${RebootFlag}
    RMDir /REBOOTOK "$INSTDIR"
  ${Else}
    RMDir "$INSTDIR"
  ${EndIf}
  RMDir "$PROGRAMFILES\Veltrana"
  ; The record and the entry go when they name this folder.
  ReadRegStr $0 HKLM "${KX_KEY}\Installation" "InstallPath"
  ${If} $0 == ""
  ${OrIf} $0 == $INSTDIR
    DeleteRegKey HKLM "${KX_KEY}"
    DeleteRegKey /ifempty HKLM "Software\Veltrana\Kestrix"
    DeleteRegKey /ifempty HKLM "Software\Veltrana"
  ${EndIf}
  ReadRegStr $0 HKLM "${KX_ARP}" "InstallLocation"
  ${If} $0 == $INSTDIR
    DeleteRegKey HKLM "${KX_ARP}"
  ${EndIf}
  System::Call '::$UnInit(i 0, i 0, i 0) i .r0'
  !insertmacro Restart
  System::Call 'kernel32::FreeLibrary(p $Dll)'
  IfRebootFlag 0 +2
  SetErrorLevel 3
SectionEnd
