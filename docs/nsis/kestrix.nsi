; Kestrix 2.0 setup and uninstaller, as an installer author would write them
; with NSIS: the setup lays out the installation and calls webpause.dll, the
; uninstaller calls tearhook.dll. The demo and the installer test build it:
;   makensis -DKX_FILES=DIR -DKX_OUT=FILE [-DKX_STANDINS=DIR] kestrix.nsi
;     KX_FILES    folder with the six shipped files
;     KX_OUT      the setup program to write (never "setup.exe": Windows
;                 applies compatibility shims to that name)
;     KX_STANDINS demo only: folder with the stand-in jvm.dll and the
;                 recording java stand-in, installed as the private runtime
; Command line of both programs: /S runs silently, /LOG=FILE appends every
; step to FILE (and, under /S, every text the DLLs would have shown), and
; /STOPWEBSERVER=yes|no answers, under /S, whether a running web server may
; be stopped (yes unless given). From a Unix shell, quote what holds a
; backslash:  wine kestrix-2.0-installer.exe /S '/LOG=C:\temp\setup.log'
; docs/installer-guide.md quotes the DLL calls of this script; the
; installer_guide_lines test keeps the two identical.

!ifndef KX_FILES | KX_OUT
  !error "define KX_FILES and KX_OUT (see the head of this file)"
!endif

; ANSI, so the setup runs on Windows 95/98 too; the DLLs take ANSI text.
Unicode false
Name "Kestrix 2.0"
OutFile "${KX_OUT}"
InstallDir "$PROGRAMFILES\Veltrana\Kestrix 2.0"
; One installation per machine: without /D= a setup repairs or upgrades the
; one the record names, where it is.
InstallDirRegKey HKLM "Software\Veltrana\Kestrix\2.0\Installation" "InstallPath"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include TextFunc.nsh

!define KX_KEY "Software\Veltrana\Kestrix\2.0"
!define KX_JRE_KEY "${KX_KEY}\Java Runtime Environment"
!define KX_ARP_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrix 2.0"
!define KX_NOTE "install-note.txt"
!define KX_VERSION "2.0"

Var LogFile
Var WebPause        ; module handle of webpause.dll, loaded once
Var ShutdownFn      ; export addresses, looked up before anything is changed
Var StartFn
Var AddTokenFn
Var WriteTokensFn
Var TearHook        ; module handle of tearhook.dll (uninstaller)
Var InitFn
Var UnInitFn
Var Stopped         ; 1 once the first DLL call let the run go on
Var OldInstallPath  ; the record as this run found it, see KxReadValue
Var OldCurrentVersion
Var OldJavaHome
Var OldMicroVersion
Var OldRuntimeLib
Var HadFolder       ; 1 when the installation folder was there before this run
Var HadPathstamp    ; 1 when pathstamp.exe was
Var StopAnswer      ; /STOPWEBSERVER=: 1 yes, 0 no
Var StoppedFn       ; WebServerStopped
Var Left            ; files the uninstaller could neither remove nor mark

; A step for the details list and, with /LOG=FILE, for that file: a silent
; run shows no details.
!macro KxLog TEXT
  DetailPrint "${TEXT}"
  ${If} $LogFile != ""
    FileOpen $9 $LogFile a
    FileSeek $9 0 END
    FileWrite $9 "${TEXT}$\r$\n"
    FileClose $9
  ${EndIf}
!macroend

; Ends the run with a message (shown unless silent) and exit status 2, before
; or instead of the step that could not be done.
!macro KxStop TEXT
  !insertmacro KxStopWith 2 "${TEXT}"
!macroend

!macro KxStopWith STATUS TEXT
  !insertmacro KxLog "${TEXT}"
  ; Unloaded first, so that NSIS can delete its plug-ins folder on the way out.
  System::Call 'kernel32::FreeLibrary(p $WebPause)'
  System::Call 'kernel32::FreeLibrary(p $TearHook)'
  MessageBox MB_OK|MB_ICONSTOP "${TEXT}" /SD IDOK
  SetErrorLevel ${STATUS}
  Quit
!macroend

; Once files are laid out, a failed step is reported and the run goes on to
; write the uninstaller, so that nothing is left that can't be removed; the
; exit status is then 3.
!macro KxWarn TEXT
  !insertmacro KxLog "${TEXT}"
  MessageBox MB_OK|MB_ICONEXCLAMATION "${TEXT}" /SD IDOK
  SetErrorLevel 3
!macroend

; A file of the installation goes, or, while a program holds it, is marked
; to go at the next start of Windows (the reboot flag says so); what can be
; neither is noted in $Left.
!macro KxDelete FILE
  ClearErrors
  Delete /REBOOTOK "${FILE}"
  ${If} ${Errors}
    StrCpy $Left "$Left ${FILE}"
  ${ElseIf} ${FileExists} "${FILE}"
    !insertmacro KxLog "in use, removed at the next start of Windows: ${FILE}"
  ${EndIf}
!macroend

; The installation's files and registry record, taken away by the
; uninstaller. The record and the Programs and Features entry go only with
; the files (gone or marked to go), and only when they name this folder.
!macro KxRemoveInstallation
  StrCpy $Left ""
  !insertmacro KxDelete "$INSTDIR\pathstamp.exe"
  !insertmacro KxDelete "$INSTDIR\kxlaunch.exe"
  !insertmacro KxDelete "$INSTDIR\propexec.exe"
  !insertmacro KxDelete "$INSTDIR\propexecw.exe"
  !insertmacro KxDelete "$INSTDIR\webpause.dll"
  !insertmacro KxDelete "$INSTDIR\tearhook.dll"
  !insertmacro KxDelete "$INSTDIR\${KX_NOTE}"
  !insertmacro KxDelete "$INSTDIR\smon.properties"
!ifdef KX_STANDINS
  !insertmacro KxDelete "$INSTDIR\jre\bin\classic\jvm.dll"
  !insertmacro KxDelete "$INSTDIR\jre\bin\java.exe"
  RMDir "$INSTDIR\jre\bin\classic"
  RMDir "$INSTDIR\jre\bin"
  RMDir "$INSTDIR\jre"
!endif
  !insertmacro KxDelete "$INSTDIR\uninstall.exe"
  ${If} $Left != ""
    !insertmacro KxLog "could not be removed:$Left"
  ${Else}
    ; Not recursive: what others put into the folder stays.
    ${If} ${RebootFlag}
      RMDir /REBOOTOK "$INSTDIR"
    ${Else}
      RMDir "$INSTDIR"
    ${EndIf}
    RMDir "$PROGRAMFILES\Veltrana"
    ReadRegStr $0 HKLM "${KX_KEY}\Installation" "InstallPath"
    ${If} $0 == ""
    ${OrIf} $0 == $INSTDIR
      DeleteRegKey HKLM "${KX_KEY}"
      DeleteRegKey /ifempty HKLM "Software\Veltrana\Kestrix"
      DeleteRegKey /ifempty HKLM "Software\Veltrana"
    ${Else}
      !insertmacro KxLog "the record names $0, not this folder: it stays"
    ${EndIf}
    ReadRegStr $0 HKLM "${KX_ARP_KEY}" "InstallLocation"
    ${If} $0 == ""
    ${OrIf} $0 == $INSTDIR
      DeleteRegKey HKLM "${KX_ARP_KEY}"
    ${EndIf}
  ${EndIf}
!macroend

; A value of the record into VAR as "=" and its text, or "" when it is
; absent: so that an empty value and a missing one differ.
!macro KxReadValue VAR KEY NAME
  ClearErrors
  ReadRegStr ${VAR} HKLM "${KEY}" "${NAME}"
  ${If} ${Errors}
    StrCpy ${VAR} ""
  ${Else}
    StrCpy ${VAR} "=${VAR}"
  ${EndIf}
!macroend

; Puts a value back as KxReadValue found it in OLD, when pathstamp changed it.
; Unchanged values are not written: the key may refuse writing.
!macro KxRestoreValue OLD KEY NAME
  !insertmacro KxReadValue $1 "${KEY}" "${NAME}"
  ${If} $1 S!= ${OLD}
    ${If} ${OLD} == ""
      DeleteRegValue HKLM "${KEY}" "${NAME}"
    ${Else}
      StrCpy $1 ${OLD} "" 1
      WriteRegStr HKLM "${KEY}" "${NAME}" $1
    ${EndIf}
  ${EndIf}
!macroend

; When pathstamp.exe fails, this run takes back what it did and nothing
; more: the record's values as they were (an earlier installation's record
; stays whole), the keys that are left empty, and pathstamp.exe and the
; folder when this run put them there. The rest is not laid out yet.
!macro KxTakeBack
  !insertmacro KxRestoreValue $OldInstallPath "${KX_KEY}\Installation" "InstallPath"
  !insertmacro KxRestoreValue $OldCurrentVersion "${KX_JRE_KEY}" "CurrentVersion"
  !insertmacro KxRestoreValue $OldJavaHome "${KX_JRE_KEY}\1.2.1" "JavaHome"
  !insertmacro KxRestoreValue $OldMicroVersion "${KX_JRE_KEY}\1.2.1" "MicroVersion"
  !insertmacro KxRestoreValue $OldRuntimeLib "${KX_JRE_KEY}\1.2.1" "RuntimeLib"
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "${KX_JRE_KEY}\1.2.1"
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "${KX_JRE_KEY}"
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "${KX_KEY}\Installation"
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "${KX_KEY}"
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "Software\Veltrana\Kestrix"
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "Software\Veltrana"
  ${If} $HadPathstamp != 1
    Delete "$INSTDIR\pathstamp.exe"
  ${EndIf}
  ${If} $HadFolder != 1
    SetOutPath "$TEMP"  ; the current folder can't be removed
    RMDir "$INSTDIR"
  ${EndIf}
!macroend

; Looks an export up by its exact name. System::Call can't name a decorated
; export itself ("?" starts its options), so every export goes through
; GetProcAddress; a missing one stops the run before anything was changed.
!macro KxExport VAR MODULE DLL NAME
  System::Call 'kernel32::GetProcAddress(p ${MODULE}, m "${NAME}") p .s'
  Pop ${VAR}
  ${If} ${VAR} == 0
    !insertmacro KxStop "${DLL} has no export ${NAME}: nothing was changed."
  ${EndIf}
!macroend

!macro KxReadLogOption
  ${GetParameters} $0
  ${GetOptions} $0 "/LOG=" $LogFile
  ${If} ${Errors}
    StrCpy $LogFile ""
  ${EndIf}
  ; Under /S nobody answers the DLLs' question: the command line does.
  StrCpy $StopAnswer 1
  ${GetOptions} $0 "/STOPWEBSERVER=" $1
  ${IfNot} ${Errors}
    ${If} $1 == "no"
      StrCpy $StopAnswer 0
    ${ElseIf} $1 != "yes"
      !insertmacro KxStop "/STOPWEBSERVER= takes yes or no, not $\"$1$\": nothing was changed."
    ${EndIf}
  ${EndIf}
!macroend

; Under /S, before any other call: no box, the answer from the command line,
; and each text that would have been shown goes to the log.
!macro KxUnattended MODULE DLL
  ${If} ${Silent}
    !insertmacro KxExport $0 ${MODULE} ${DLL} "SetUnattended"
    System::Call '::$0(i $StopAnswer, m "$LogFile") i .r0'
    ${If} $0 != 1
      !insertmacro KxStop "${DLL} did not take the unattended answer (a log path of 260 bytes or more?): nothing was changed."
    ${EndIf}
  ${EndIf}
!macroend

; Only a web server that this run stopped is started again: one stopped on
; purpose before the run stays stopped.
!macro KxRestartWebServer
  System::Call '::$StoppedFn() i .r0'
  !insertmacro KxLog "WebServerStopped: $0"
  ${If} $0 == 1
    System::Call '::$StartFn() i .r0'
    !insertmacro KxLog "StartServiceA: $0"
    ${If} $0 != 1
      !insertmacro KxLog "the web server was not restarted: restart it by hand"
    ${EndIf}
  ${EndIf}
!macroend

; One installation per machine, the one the record names. A setup into
; another folder that still holds it stops; a record whose folder is gone
; is stale, and this setup takes it over.
!macro KxCheckRecord
  ReadRegStr $0 HKLM "${KX_KEY}\Installation" "InstallPath"
  ${If} $0 != ""
  ${AndIf} $0 != $INSTDIR
  ${AndIf} ${FileExists} "$0\pathstamp.exe"
    !insertmacro KxStopWith 4 "Kestrix 2.0 is installed in $0: repair it there (the setup without /D=), or uninstall it first. Nothing was changed."
  ${EndIf}
!macroend

; The folder $3 (as smon.properties writes it) becomes $1 in the value of
; KEY, and the rest of the value stays.
!macro KxMovePath KEY
  ${ConfigRead} "$INSTDIR\smon.properties" "${KEY}=" $R2
  ${WordReplace} $R2 $3 $1 "+" $R2
  ${ConfigWrite} "$INSTDIR\smon.properties" "${KEY}=" $R2 $R3
!macroend

; Deletes each sub-key (TYPE Key) or value (TYPE Value) of KEY whose name is
; not in KEEP ("|name|name|").
!macro KxDropOthers TYPE KEY KEEP
  StrCpy $R1 0
  ${Do}
    EnumReg${TYPE} $R2 HKLM "${KEY}" $R1
    ${If} $R2 == ""
      ${ExitDo}
    ${EndIf}
    ClearErrors
    ${WordFind} "${KEEP}" "|$R2|" "E*" $R3
    ${If} ${Errors}
      !if ${TYPE} == Key
        DeleteRegKey HKLM "${KEY}\$R2"
      !else
        DeleteRegValue HKLM "${KEY}" $R2
      !endif
    ${Else}
      IntOp $R1 $R1 + 1
    ${EndIf}
  ${Loop}
!macroend

Page directory "" "" StopWebServer
Page instfiles
UninstPage uninstConfirm "" "" un.RemoveWebServerParts
UninstPage instfiles

Function .onInit
  !insertmacro KxReadLogOption
FunctionEnd

; The text on the stack with each backslash character doubled, walked with
; CharNextA: in code page 932 the second byte of a character can be 5C.
Function KxEscape
  Exch $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  ; A copy the system can walk; IntOp keeps to 32 bits, as the setup does.
  System::Call '*(&m${NSIS_MAX_STRLEN} r0) p .r2'
  StrCpy $1 ""
  StrCpy $3 0
  ${Do}
    IntOp $4 $2 + $3
    System::Call 'user32::CharNextA(p r4) p .r5'
    IntOp $5 $5 - $4
    ${If} $5 == 0
      ${ExitDo}
    ${EndIf}
    StrCpy $4 $0 $5 $3
    IntOp $3 $3 + $5
    ${If} $4 == "\"
      StrCpy $4 "\\"
    ${EndIf}
    StrCpy $1 "$1$4"
  ${Loop}
  System::Free $2
  StrCpy $0 $1
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; The question box of ShutdownService is task-modal and needs the UI thread:
; with pages this runs as the directory page's leave callback, silently from
; the section (which then runs on the UI thread).
Function StopWebServer
  ${If} $Stopped == 1
    Return
  ${EndIf}
  ; Entered again while the question waits (a click posted to the page):
  ; stay on the page, the first call goes on.
  ${If} $WebPause != ""
    Abort
  ${EndIf}
  !insertmacro KxCheckRecord
  InitPluginsDir
  SetOutPath "$PLUGINSDIR"
  File "${KX_FILES}\webpause.dll"
  System::Call 'kernel32::LoadLibraryA(m "$PLUGINSDIR\webpause.dll") p .s'
  Pop $WebPause
  ${If} $WebPause == 0
    !insertmacro KxStop "webpause.dll can't be loaded: nothing was changed."
  ${EndIf}
  !insertmacro KxExport $ShutdownFn $WebPause webpause.dll "ShutdownService"
  !insertmacro KxExport $StartFn $WebPause webpause.dll "?StartServiceA@@YGHXZ"
  !insertmacro KxExport $AddTokenFn $WebPause webpause.dll "AddToken"
  !insertmacro KxExport $WriteTokensFn $WebPause webpause.dll "WriteTokens"
  !insertmacro KxExport $StoppedFn $WebPause webpause.dll "WebServerStopped"
  !insertmacro KxUnattended $WebPause webpause.dll

  ; Nothing is installed yet: a No leaves nothing to undo.
  System::Call '::$ShutdownFn() i .r0'
  !insertmacro KxLog "ShutdownService: $0"
  ${If} $0 != 1
    !insertmacro KxStop "The web server was not stopped: Kestrix was not installed."
  ${EndIf}
  StrCpy $Stopped 1
FunctionEnd

Section "Kestrix 2.0"
  ${If} ${Silent}
    Call StopWebServer
  ${EndIf}

  ; A second setup into an earlier installation (a repair) must leave no
  ; less than it found, even when it fails: what was there is noted first.
  !insertmacro KxReadValue $OldInstallPath "${KX_KEY}\Installation" "InstallPath"
  !insertmacro KxReadValue $OldCurrentVersion "${KX_JRE_KEY}" "CurrentVersion"
  !insertmacro KxReadValue $OldJavaHome "${KX_JRE_KEY}\1.2.1" "JavaHome"
  !insertmacro KxReadValue $OldMicroVersion "${KX_JRE_KEY}\1.2.1" "MicroVersion"
  !insertmacro KxReadValue $OldRuntimeLib "${KX_JRE_KEY}\1.2.1" "RuntimeLib"
  StrCpy $HadFolder 0
  ${If} ${FileExists} "$INSTDIR\*.*"
    StrCpy $HadFolder 1
  ${EndIf}
  StrCpy $HadPathstamp 0
  ${If} ${FileExists} "$INSTDIR\pathstamp.exe"
    StrCpy $HadPathstamp 1
  ${EndIf}

  ; pathstamp records where it lies: run it from the installation, before
  ; the rest is laid out. It exits 1 when it could not write all five values
  ; of the record, without which Kestrix can't find itself: this run takes
  ; back what it did, starts the web server again, and stops.
  SetOutPath "$INSTDIR"
  File "${KX_FILES}\pathstamp.exe"
  ClearErrors
  ExecWait '"$INSTDIR\pathstamp.exe"' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    !insertmacro KxTakeBack
    !insertmacro KxRestartWebServer
    !insertmacro KxStop "pathstamp.exe could not record the installation in the registry (exit status $0): Kestrix was not installed."
  ${EndIf}

  File "${KX_FILES}\kxlaunch.exe"
  File "${KX_FILES}\propexec.exe"
  File "${KX_FILES}\propexecw.exe"
  File "${KX_FILES}\webpause.dll"
  File "${KX_FILES}\tearhook.dll"
!ifdef KX_STANDINS
  SetOutPath "$INSTDIR\jre\bin\classic"
  File "${KX_STANDINS}\jvm.dll"
  SetOutPath "$INSTDIR\jre\bin"
  File /oname=java.exe "${KX_STANDINS}\recording_java_standin.exe"
  SetOutPath "$INSTDIR"
!endif
  !insertmacro KxLog "files laid out in $INSTDIR"

  ; The service manager's runner (propexec) reads this file, which names the
  ; folder Kestrix lies in, java.exe included: the runner takes a relative
  ; one from whatever folder it was started in. The reader takes each
  ; backslash as an escape that keeps the character after it, and reads a
  ; character at a time in the ANSI code page: only backslash characters
  ; are doubled, not the second byte of a double-byte character (KxEscape).
  ; A repair keeps the administrator's file; when the folder moved, its
  ; paths are moved with it and the rest is kept.
  Push $INSTDIR
  Call KxEscape
  Pop $1
  ${If} ${FileExists} "$INSTDIR\smon.properties"
    ${ConfigRead} "$INSTDIR\smon.properties" "java.exe=" $3
    ClearErrors
    StrCpy $4 $3 "" -20
    StrCpy $3 $3 -20
    ${If} $4 == "\\jre\\bin\\java.exe"
    ${AndIf} $3 != $1
      !insertmacro KxMovePath "java.exe"
      !insertmacro KxMovePath "java.classpath"
      !insertmacro KxMovePath "java.path"
      !insertmacro KxLog "smon.properties: $3 moved to $1"
    ${EndIf}
  ${Else}
    ClearErrors
    FileOpen $2 "$INSTDIR\smon.properties" w
    FileWrite $2 "# Service manager: the Java executable and what it is given$\r$\n"
    FileWrite $2 "java.exe=$1\\jre\\bin\\java.exe$\r$\n"
    FileWrite $2 "java.classpath=$1\\lib\\smon.jar;$1\\lib\\servlet.jar$\r$\n"
    FileWrite $2 "java.path=$1\\jre\\bin$\r$\n"
    FileWrite $2 "java.args=-Xmx64m -Dsmon.home=. com.veltrana.smon.Main$\r$\n"
    FileClose $2
  ${EndIf}
  ${If} ${Errors}
    !insertmacro KxWarn "The service manager's settings could not be written to $INSTDIR\smon.properties."
  ${EndIf}

  ReadRegStr $0 HKLM "${KX_KEY}\Installation" "InstallPath"
  ${If} $0 != $INSTDIR
    !insertmacro KxWarn "pathstamp.exe did not record $INSTDIR (found $\"$0$\"): Kestrix can't find its installation."
  ${EndIf}
  !insertmacro KxLog "pathstamp.exe recorded InstallPath $0"
  ; The component flags are the installer's part of the record.
  WriteRegStr HKLM "${KX_KEY}\Installation" "online" "true"
  WriteRegStr HKLM "${KX_KEY}\Installation" "offline" "true"
  WriteRegStr HKLM "${KX_KEY}\Installation" "zephyl4" "false"
  WriteRegStr HKLM "${KX_KEY}\Installation" "docs" "false"
  ; An upgrade leaves nothing of an older version's record behind.
  !insertmacro KxDropOthers Key "${KX_KEY}" "|Installation|Java Runtime Environment|"
  !insertmacro KxDropOthers Key "${KX_JRE_KEY}" "|1.2.1|"
  !insertmacro KxDropOthers Value "${KX_KEY}\Installation" "|InstallPath|online|offline|zephyl4|docs|"
  !insertmacro KxDropOthers Value "${KX_JRE_KEY}" "|CurrentVersion|"
  !insertmacro KxDropOthers Value "${KX_JRE_KEY}\1.2.1" "|JavaHome|MicroVersion|RuntimeLib|"

  ; The note: an empty token starts the collection; "$\n" becomes CR LF in
  ; the file (text mode).
  System::Call '::$AddTokenFn(m "") i .r0'
  System::Call '::$AddTokenFn(m "Kestrix 2.0 installed in ") i .r0'
  System::Call '::$AddTokenFn(m "$INSTDIR") i .r0'
  System::Call '::$AddTokenFn(m "$\n") i .r0'
  System::Call '::$WriteTokensFn(m "$INSTDIR\${KX_NOTE}") i .r0'
  !insertmacro KxLog "WriteTokens $INSTDIR\${KX_NOTE}: $0"
  ${If} $0 != 1
    !insertmacro KxWarn "The install note could not be written to $INSTDIR\${KX_NOTE}."
  ${EndIf}

  ; Polls up to 10 s for the web server to run again.
  !insertmacro KxRestartWebServer

  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; Programs and Features, in the 32-bit view as the record.
  WriteRegStr HKLM "${KX_ARP_KEY}" "DisplayName" "Kestrix ${KX_VERSION}"
  WriteRegStr HKLM "${KX_ARP_KEY}" "DisplayVersion" "${KX_VERSION}"
  WriteRegStr HKLM "${KX_ARP_KEY}" "Publisher" "Veltrana"
  WriteRegStr HKLM "${KX_ARP_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${KX_ARP_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${KX_ARP_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${KX_ARP_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${KX_ARP_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${KX_ARP_KEY}" "NoRepair" 1
  !insertmacro KxLog "uninstaller written: $INSTDIR\uninstall.exe"
  System::Call 'kernel32::FreeLibrary(p $WebPause)'
SectionEnd

Function un.onInit
  !insertmacro KxReadLogOption
FunctionEnd

; UninstInitialize may ask the web server question: on the UI thread, as
; StopWebServer above.
Function un.RemoveWebServerParts
  ${If} $Stopped == 1
    Return
  ${EndIf}
  ${If} $TearHook != ""
    Abort
  ${EndIf}
  ; The uninstaller carries its own copy: the installed one is about to be
  ; deleted, or went with a folder deleted by hand.
  InitPluginsDir
  SetOutPath "$PLUGINSDIR"
  File "${KX_FILES}\tearhook.dll"
  System::Call 'kernel32::LoadLibraryA(m "$PLUGINSDIR\tearhook.dll") p .s'
  Pop $TearHook
  ${If} $TearHook == 0
    !insertmacro KxStop "tearhook.dll can't be loaded: nothing was removed."
  ${EndIf}
  !insertmacro KxExport $InitFn $TearHook tearhook.dll "UninstInitialize"
  !insertmacro KxExport $UnInitFn $TearHook tearhook.dll "UninstUnInitialize"
  !insertmacro KxExport $StartFn $TearHook tearhook.dll "?StartServiceA@@YGHXZ"
  !insertmacro KxExport $StoppedFn $TearHook tearhook.dll "WebServerStopped"
  !insertmacro KxUnattended $TearHook tearhook.dll

  ; The hook works on the installation the record names: when that is
  ; another folder, its filter and service are not this uninstaller's.
  ReadRegStr $0 HKLM "${KX_KEY}\Installation" "InstallPath"
  ${If} $0 != ""
  ${AndIf} $0 != $INSTDIR
    !insertmacro KxLog "the record names $0: its web server parts are left alone"
    StrCpy $Stopped 1
    Return
  ${EndIf}
  ; Three 32-bit arguments, which the hook ignores; it removes them itself.
  System::Call '::$InitFn(i 0, i 0, i 0) i .r0'
  !insertmacro KxLog "UninstInitialize: $0"
  ${If} $0 != 0
    !insertmacro KxLog "the servlet engine's filter was not removed from the web server"
    MessageBox MB_YESNO|MB_ICONEXCLAMATION "The web server still loads the servlet engine's filter (the web server was not stopped, or its filter list can't be read). Remove Kestrix anyway?" /SD IDNO IDYES goOn
    !insertmacro KxRestartWebServer
    !insertmacro KxStop "Kestrix was not removed."
    goOn:
  ${EndIf}
  StrCpy $Stopped 1
FunctionEnd

Section "Uninstall"
  ${If} ${Silent}
    Call un.RemoveWebServerParts
  ${EndIf}

  !insertmacro KxRemoveInstallation
  System::Call '::$UnInitFn(i 0, i 0, i 0) i .r0'
  !insertmacro KxLog "UninstUnInitialize: $0"
  ; The hook stopped the web server to take the filter out: the web server
  ; runs again without it.
  !insertmacro KxRestartWebServer
  ${If} $Left != ""
    !insertmacro KxStopWith 4 "Kestrix was not removed whole: close its programs and run the uninstaller again."
  ${EndIf}
  System::Call 'kernel32::FreeLibrary(p $TearHook)'
  ${If} ${RebootFlag}
    !insertmacro KxLog "Kestrix was removed; files in use go when Windows starts next"
    SetErrorLevel 3
  ${Else}
    !insertmacro KxLog "files and registry record removed"
  ${EndIf}
SectionEnd
