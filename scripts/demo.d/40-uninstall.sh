# Uninstall: the uninstaller that the setup wrote runs silently. It loads
# its own tearhook.dll, says that nobody watches (SetUnattended) and calls
# UninstInitialize before it removes anything: the setup recorded the
# online component, so the hook has the running stand-in web server stopped
# (the question answered Yes in the log, no box), takes the servlet
# engine's filter out of the web server's filter list and, the prefix being
# Windows NT, starts the service manager's removal from the installation's
# bin folder (here a stand-in smon.exe that records what it was given).
# Then the uninstaller removes its files, registry record and Programs and
# Features entry, calls UninstUnInitialize, and starts the web server again,
# since its hook stopped it.
step "Uninstall: the NSIS uninstaller calls tearhook.dll, then removes the installation"
if [ "$KX_INSTALLED" != 1 ]; then
  say "nothing installed: step skipped"
else
  uninst_key='HKLM\Software\Veltrana\Kestrix\2.0\Installation'
  say "installation record (the setup wrote the component flag):"
  reg_show "$uninst_key" online
  reg_show "$uninst_key" InstallPath
  say "filter list before:"
  reg_show "$filter_key" "Filter DLLs"
  # The service manager belongs to the servlet engine, whose own setup puts
  # it into the installation's bin folder.
  mkdir -p "$KX_HOME/bin"
  cp "$BIN/tearhook_standin_service.exe" "$KX_HOME/bin/smon.exe"
  smon_record=$KX_HOME/bin/smon.exe.record
  rm -f "$smon_record"
  say "stand-in service manager: $KX_HOME_WIN\\bin\\smon.exe"
  start_webserver uninstall.record
  say "running: the stand-in web server C:\\InetPub\\inetinfo.exe with a window"

  # An NSIS uninstaller copies itself away and returns at once; a copy told
  # the installation folder with "_?=" runs in place and can be waited for.
  mkdir -p "$DRIVE_C/kxuninst"
  cp "$KX_HOME/uninstall.exe" "$BIN/person.exe" "$DRIVE_C/kxuninst/"
  uninst_command="C:\\kxuninst\\uninstall.exe /S /LOG=C:\\kxuninst\\uninstall.log _?=$KX_HOME_WIN"
  run_by_person kxuninst "$uninst_command" uninstall.log uninstall.record \
    "the hook pauses 3 s after starting the removal"
  say "filter list after:"
  reg_show "$filter_key" "Filter DLLs"
  smon_field() { tr -d '\r' <"$smon_record" | sed -n "s/^$1 //p" | head -1; }
  if [ -s "$smon_record" ]; then
    say "the removal command started the stand-in smon.exe:"
    say "  command formed:   $(smon_field title)"
    say "  command line got: $(smon_field command)"
    say "  start flags:      0x$(smon_field flags) (use show-window, force feedback), show window $(smon_field show) (hidden)"
  else
    say "the removal command was not started"
  fi

  say "left of the installation:"
  if win reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrix 2.0' >/dev/null 2>&1; then
    say "  the Programs and Features entry is still there"
  else
    say "  the Programs and Features entry is gone"
  fi
  if win reg query 'HKLM\Software\Veltrana' >/dev/null 2>&1; then
    say "  HKLM\\Software\\Veltrana is still there"
  else
    say "  registry: HKLM\\Software\\Veltrana is gone"
  fi
  if [ -d "$KX_HOME" ]; then
    say "  in $KX_HOME_WIN (the service manager's files are not the uninstaller's):"
    (cd "$KX_HOME" && find . -type f | sed 's|^\./||' | sort | sed 's/^/       /')
  else
    say "  $KX_HOME_WIN is gone"
  fi
fi
