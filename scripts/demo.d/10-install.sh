# Install: the NSIS setup of docs/nsis/kestrix.nsi, built here from the
# shipped files, runs silently, as an administrator would run it. It tells
# webpause.dll that nobody watches (SetUnattended, with the answer of
# /STOPWEBSERVER=, yes by default), calls ShutdownService (a stand-in web
# server runs: the question is answered Yes and written to the setup's log,
# no box appears), lays out the installation, runs pathstamp.exe, writes an
# install note with AddToken and WriteTokens, restarts the web server with
# ?StartServiceA@@YGHXZ because WebServerStopped says this run stopped it,
# and writes its uninstaller and its Programs and Features entry.
# The prefix is Windows NT. Wine's NT performance data lists no processes, so
# the test bed's stand-in provider publishes them; a recording net.exe takes
# the place of the system's.
step "Install: the NSIS setup runs silently and calls webpause.dll"
KX_HOME_WIN='C:\Program Files\Veltrana\Kestrix 2.0'
KX_HOME=$DRIVE_C/Program\ Files/Veltrana/Kestrix\ 2.0
KX_INSTALLED=0
setup_name=kestrix-2.0-installer.exe
filter_key='HKLM\SYSTEM\CurrentControlSet\Services\W3SVC\Parameters'

if [ "$KX_WIN_ARCH" != i686 ]; then
  say "the setup is a 32-bit program and can't load the 64-bit build's DLLs: no installation"
elif ! command -v makensis >/dev/null; then
  say "makensis is missing (scripts/bootstrap installs nsis): no installation"
else
  mkdir -p "$DRIVE_C/kxsetup"
  makensis -V2 -DKX_FILES="$here/../dist" -DKX_STANDINS="$BIN" \
    -DKX_OUT="$DRIVE_C/kxsetup/$setup_name" "$here/../docs/nsis/kestrix.nsi"
  say "built by makensis from docs/nsis/kestrix.nsi with the six files of dist/"
  say "  (and, for the demo only, the stand-in runtime): C:\\kxsetup\\$setup_name"
  cp "$BIN/person.exe" "$DRIVE_C/kxsetup/"

  perf_key='HKLM\System\CurrentControlSet\Services\KxDemoProcesses\Performance'
  win reg add "$perf_key" /v Library /d "$(kx_winpath "$BIN")\standin-perf-provider.dll" /f >/dev/null
  win reg add "$perf_key" /v Open /d StandinOpen /f >/dev/null
  win reg add "$perf_key" /v Collect /d StandinCollect /f >/dev/null
  win reg add "$perf_key" /v Close /d StandinClose /f >/dev/null
  # scripts/demo made the recording stand-in the system's net.exe.
  net_record=$DRIVE_C/net.record
  export KX_NET_RECORD='C:\net.record'
  # The web server's configuration as the servlet engine's setup left it.
  win reg add "$filter_key" /v "Filter DLLs" /t REG_SZ /f >/dev/null \
    /d 'C:\InetPub\filters\sspifilt.dll,C:\Program Files\Servana\bin\servana.dll, C:\InetPub\filters\compress.dll'

  mkdir -p "$DRIVE_C/InetPub"
  cp "$BIN/standin_webserver.exe" "$DRIVE_C/InetPub/inetinfo.exe"
  # start_webserver RECORD: the stand-in web server with a window, waited for.
  start_webserver() {
    rm -f "$DRIVE_C/InetPub/$1"
    KX_WEBSERVER_RECORD="C:\\InetPub\\$1" win 'C:\InetPub\inetinfo.exe' window \
      </dev/null >/dev/null 2>&1 &
    for _ in $(seq 200); do grep -qs '^ready' "$DRIVE_C/InetPub/$1" && break; sleep 0.1; done
  }
  # run_by_person DIR COMMAND LOG RECORD NOTE: the person stand-in in C:\DIR
  # starts COMMAND and prints every box it shows, answering none: a silent
  # run shows none. Then how long it took, the program's log C:\DIR\LOG
  # (the DLLs' texts among its steps), whether the web server (RECORD) was
  # asked to close, and the net.exe commands started meanwhile.
  run_by_person() {
    local dir=$1 command=$2 log=$3 record=$4 note=$5 began
    rm -f "$net_record"
    began=$(date +%s)
    say "run: person.exe --answer none --limit 90 \"$command\""
    win_show "C:\\$dir\\person.exe" --answer none --limit 90 "$command"
    say "that took $(( $(date +%s) - began )) s ($note)"
    if [ -f "$DRIVE_C/$dir/$log" ]; then
      say "its log (C:\\$dir\\$log):"
      tr -d '\r' <"$DRIVE_C/$dir/$log" | sed 's/^/     /'
    fi
    if grep -qs '^WM_CLOSE' "$DRIVE_C/InetPub/$record"; then
      say "the web server got WM_CLOSE at its window"
    else
      say "the web server was not asked to close"
    fi
    if [ -s "$net_record" ]; then
      say "net.exe was started as:"
      tr -d '\r' <"$net_record" | sed 's/^/     /'
    fi
  }
  start_webserver install.record
  say "running: a stand-in web server C:\\InetPub\\inetinfo.exe with a window"

  setup_command="C:\\kxsetup\\$setup_name /S /LOG=C:\\kxsetup\\setup.log"
  run_by_person kxsetup "$setup_command" setup.log install.record \
    "on NT: 2 s per process look-up, up to 10 s restart poll"

  if [ -f "$KX_HOME/uninstall.exe" ]; then
    KX_INSTALLED=1
    say "the installation record:"
    reg_show 'HKLM\Software\Veltrana\Kestrix\2.0\Installation' InstallPath
    reg_show 'HKLM\Software\Veltrana\Kestrix\2.0\Installation' online
    reg_show 'HKLM\Software\Veltrana\Kestrix\2.0\Java Runtime Environment' CurrentVersion
    reg_show 'HKLM\Software\Veltrana\Kestrix\2.0\Java Runtime Environment\1.2.1' JavaHome
    reg_show 'HKLM\Software\Veltrana\Kestrix\2.0\Java Runtime Environment\1.2.1' MicroVersion
    reg_show 'HKLM\Software\Veltrana\Kestrix\2.0\Java Runtime Environment\1.2.1' RuntimeLib
    say "the Programs and Features entry:"
    for v in DisplayName DisplayVersion Publisher InstallLocation QuietUninstallString EstimatedSize; do
      reg_show 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrix 2.0' "$v"
    done
    say "$KX_HOME_WIN\\install-note.txt (\\r\\n marks the line ends the text mode wrote):"
    sed 's/\r$/\\r\\n/' "$KX_HOME/install-note.txt" | sed 's/^/     /'
    say "installed files:"
    (cd "$KX_HOME" && find . -type f | sed 's|^\./||' | sort | sed 's/^/     /')
    same=0
    for f in pathstamp.exe kxlaunch.exe propexec.exe propexecw.exe webpause.dll tearhook.dll; do
      cmp -s "$KX_HOME/$f" "$here/../dist/$f" && same=$((same + 1))
    done
    if [ "$same" = 6 ]; then
      say "the six shipped files are installed byte for byte as in dist/"
    else
      say "only $same of the six shipped files are installed as in dist/"
    fi
  else
    say "the setup installed nothing: the later steps are skipped"
  fi
fi
