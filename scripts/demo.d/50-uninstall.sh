# Uninstall: a stand-in uninstaller loads tearhook.dll by path and calls its
# hooks by name. The installation record says the online component is
# installed, so the hook has a running stand-in web server stopped (after
# the question), takes the servlet engine's filter out of the web server's
# filter list and, the demo prefix being Windows NT, starts the
# service manager's removal from the installation's bin folder (here a
# stand-in smon.exe that records what it was given).
step "Uninstall: tearhook removes the engine filter from Filter DLLs and starts the service manager's removal"
uninst_key='HKLM\Software\Veltrana\Kestrix\2.0\Installation'
filter_key='HKLM\SYSTEM\CurrentControlSet\Services\W3SVC\Parameters'
win reg add "$uninst_key" /v online /t REG_SZ /d true /f >/dev/null
win reg add "$filter_key" /v "Filter DLLs" /t REG_SZ /f >/dev/null \
  /d 'C:\InetPub\filters\sspifilt.dll,C:\Program Files\Servana\bin\servana.dll, C:\InetPub\filters\compress.dll'
mkdir -p "$KX_HOME/bin"
cp "$BIN/tearhook_standin_service.exe" "$KX_HOME/bin/smon.exe"
smon_record=$KX_HOME/bin/smon.exe.record
rm -f "$smon_record"
# The uninstaller unpacks the hook into a folder of its own and loads it from there.
mkdir -p "$DRIVE_C/kxuninst"
cp "$BIN/tearhook.dll" "$BIN/tearhook_standin_uninstaller.exe" "$DRIVE_C/kxuninst/"

say "installation record (the installer wrote the component flag):"
reg_show "$uninst_key" online
reg_show "$uninst_key" InstallPath
say "stand-in service manager: $KX_HOME_WIN\\bin\\smon.exe"
say "filter list before:"
reg_show "$filter_key" "Filter DLLs"
# Wine's own NT performance data has no process list; the test bed's
# stand-in provider publishes one, as Windows NT does. A stand-in web server
# with a window of its own runs, and a recording net.exe lies next to the
# uninstaller, where CreateProcessA looks first.
perf_key='HKLM\System\CurrentControlSet\Services\KxDemoProcesses\Performance'
win reg add "$perf_key" /v Library /d "$(kx_winpath "$BIN")\standin-perf-provider.dll" /f >/dev/null
win reg add "$perf_key" /v Open /d StandinOpen /f >/dev/null
win reg add "$perf_key" /v Collect /d StandinCollect /f >/dev/null
win reg add "$perf_key" /v Close /d StandinClose /f >/dev/null
cp "$BIN/net.exe" "$DRIVE_C/kxuninst/net.exe"
net_record=$DRIVE_C/kxuninst/net.record
rm -f "$net_record"
export KX_NET_RECORD='C:\kxuninst\net.record'
mkdir -p "$DRIVE_C/InetPub"
cp "$BIN/standin_webserver.exe" "$DRIVE_C/InetPub/inetinfo.exe"
server_record=$DRIVE_C/InetPub/webserver.record
rm -f "$server_record"
KX_WEBSERVER_RECORD='C:\InetPub\webserver.record' win 'C:\InetPub\inetinfo.exe' window \
  </dev/null >/dev/null 2>&1 &
uninst_server=$!
for _ in $(seq 100); do grep -qs '^ready' "$server_record" && break; sleep 0.1; done
say "running: a stand-in web server C:\\InetPub\\inetinfo.exe with a window"
# With a person at the display, they answer the question themselves.
uninst_answer=()
[ "$DEMO_PERSON" = 1 ] || uninst_answer=(--answer yes)
say "run: tearhook_standin_uninstaller.exe ${uninst_answer[*]} C:\\kxuninst\\tearhook.dll"
say "     (it calls UninstInitialize, then UninstUnInitialize, as the uninstaller does)"
win_show 'C:\kxuninst\tearhook_standin_uninstaller.exe' "${uninst_answer[@]}" 'C:\kxuninst\tearhook.dll'
for _ in $(seq 50); do kill -0 "$uninst_server" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$uninst_server" 2>/dev/null; then
  say "the stand-in web server still runs"
else
  say "the stand-in web server got WM_CLOSE and has ended"
fi
if [ -s "$net_record" ]; then
  say "net.exe was started as:"
  tr -d '\r' <"$net_record" | sed 's/^/     /'
fi
unset KX_NET_RECORD
say "filter list after:"
reg_show "$filter_key" "Filter DLLs"
smon_field() { tr -d '\r' <"$smon_record" | sed -n "s/^$1 //p" | head -1; }
if [ -s "$smon_record" ]; then
  say "the removal command started the stand-in smon.exe:"
  say "  command formed:   $(smon_field title)"
  say "  command line got: $(smon_field command)"
  say "                    (Wine may add quotes around a program path it had to search for)"
  say "  start flags:      0x$(smon_field flags) (use show-window, force feedback), show window $(smon_field show) (hidden)"
else
  say "the removal command was not started"
fi
say "(on NT each process look-up takes 2 s; the hook pauses 3 s after starting the removal)"
