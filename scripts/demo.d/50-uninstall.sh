# Uninstall: a stand-in uninstaller loads tearhook.dll by path and calls its
# hooks by name. The installation record says the online component is
# installed, so the hook takes the servlet engine's filter out of the web
# server's filter list and, the demo prefix being Windows NT, starts the
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
say "nothing else runs: ShutdownService finds no service manager or web server to stop"
say "(and Wine's NT performance data lists no processes anyway), so no question is asked"
say "run: tearhook_standin_uninstaller.exe --answer yes C:\\kxuninst\\tearhook.dll"
say "     (it calls UninstInitialize, then UninstUnInitialize, as the uninstaller does)"
win_show 'C:\kxuninst\tearhook_standin_uninstaller.exe' --answer yes 'C:\kxuninst\tearhook.dll'
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
