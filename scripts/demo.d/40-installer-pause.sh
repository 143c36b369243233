# Installer pause: a stand-in installer (tests/webpause) loads webpause.dll
# and calls its exports by name, as the product's installer does: it stops
# the web server (here a stand-in with a window of its own) after asking,
# starts it again from the system folder, and appends a text built from
# tokens to a file. The installer runs as on Windows 98, where the process
# list comes from the tool-help snapshot: Wine's NT performance data lists
# no processes.
step "Installer pause: webpause stops a stand-in web server, restarts it, and appends tokens to a file"

# The question needs a display (scripts/demo provides one); with nobody at
# it, the stand-in installer answers Yes itself.
pause_answer=()
[ "$DEMO_PERSON" = 1 ] || pause_answer=(--answer yes)

if [ -z "$DISPLAY" ]; then
  say "no display could be started: the question can't be asked, step skipped"
else
  if [ "$DEMO_PERSON" = 0 ]; then
    say "nobody at a display: the stand-in installer answers the question with Yes"
  else
    say "the question appears on your display ($DISPLAY): answer it"
  fi
  win reg add 'HKCU\Software\Wine\AppDefaults\standin_installer.exe' /v Version /d win98 /f >/dev/null
  # The installer unpacks the DLL into a folder of its own and loads it from there.
  mkdir -p "$DRIVE_C/kxsetup"
  cp "$BIN/webpause.dll" "$BIN/standin_installer.exe" "$DRIVE_C/kxsetup/"
  # The web server lives in the system folder's inetsrv, where the restart
  # looks for it.
  server_dir=$DRIVE_C/windows/system32/inetsrv
  mkdir -p "$server_dir"
  cp "$BIN/standin_webserver.exe" "$server_dir/inetinfo.exe"
  server_record=$DRIVE_C/kxsetup/webserver.record
  rm -f "$server_record"
  export KX_WEBSERVER_RECORD='C:\kxsetup\webserver.record'
  server_lines() { [ -f "$server_record" ] && tr -d '\r' <"$server_record"; }

  win 'C:\windows\system32\inetsrv\inetinfo.exe' window </dev/null >/dev/null 2>&1 &
  server_job=$!
  for _ in $(seq 100); do server_lines | grep -q '^ready' && break; sleep 0.1; done
  say "stand-in web server running: C:\\windows\\system32\\inetsrv\\inetinfo.exe (with a window)"

  say "run: standin_installer.exe ${pause_answer[*]} shutdown"
  win_show 'C:\kxsetup\standin_installer.exe' "${pause_answer[@]}" shutdown
  for _ in $(seq 50); do kill -0 "$server_job" 2>/dev/null || break; sleep 0.1; done
  if server_lines | grep -q '^WM_CLOSE'; then
    say "the web server got WM_CLOSE at its window$(kill -0 "$server_job" 2>/dev/null || echo ' and has ended')"
  else
    say "the web server was not asked to close"
  fi

  : >"$server_record"
  say "run: standin_installer.exe ${pause_answer[*]} restart"
  win_show 'C:\kxsetup\standin_installer.exe' "${pause_answer[@]}" restart
  for _ in $(seq 50); do server_lines | grep -q '^start ' && break; sleep 0.1; done
  started=$(server_lines | sed -n 's/^start //p' | head -1)
  if [ -n "$started" ]; then
    say "the web server runs again, started as: $started"
  else
    say "the web server was not started"
  fi

  say "run: standin_installer.exe with tokens, then WriteTokens twice"
  win_show 'C:\kxsetup\standin_installer.exe' "${pause_answer[@]}" 'token=dropped: no collection yet' \
    token= 'token=Kestrix 2.0 installed in ' "token=$KX_HOME_WIN" $'token=\n' \
    'write=C:\kxsetup\install-note.txt' 'write=C:\kxsetup\install-note.txt'
  say "C:\\kxsetup\\install-note.txt (\\r\\n marks the line ends the text mode wrote):"
  sed 's/\r$/\\r\\n/' "$DRIVE_C/kxsetup/install-note.txt" | sed 's/^/     /'
  win reg delete 'HKCU\Software\Wine\AppDefaults\standin_installer.exe' /f >/dev/null 2>&1 || true
  unset KX_WEBSERVER_RECORD
fi

# End the restarted stand-in web server (and everything else of the prefix)
# before the uninstall step.
"$KX_WINESERVER" -k 2>/dev/null || true
"$KX_WINESERVER" -w 2>/dev/null || true
"$KX_WINESERVER" -p
