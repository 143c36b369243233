# Installer pause: a stand-in installer (tests/webpause) loads webpause.dll
# and calls its exports by name, as the product's installer does: it stops
# the web server (here a stand-in with a window of its own) after asking,
# starts it again from the system folder, and appends a text built from
# tokens to a file. The installer runs as on Windows 98, where the process
# list comes from the tool-help snapshot: Wine's NT performance data lists
# no processes.
step "Installer pause: webpause stops a stand-in web server, restarts it, and appends tokens to a file"

# The question needs a display. When the demo was started from one, the
# person at it answers; otherwise a virtual display is used and the stand-in
# installer answers Yes itself. A Wine prefix whose server started without a
# display stays without one, so the server is restarted around this step.
pause_display=$(tr '\0' '\n' </proc/$$/environ 2>/dev/null | sed -n 's/^DISPLAY=//p' | head -1)
pause_xvfb=""
pause_answer=()
if [ -z "$pause_display" ]; then
  pause_fifo=$DEMO/pause-displayfd
  rm -f "$pause_fifo"; mkfifo "$pause_fifo"
  Xvfb -displayfd 7 -nolisten tcp -screen 0 1024x768x24 7>"$pause_fifo" >/dev/null 2>&1 &
  pause_xvfb=$!
  read -r -t 20 pause_dnum <"$pause_fifo" || pause_dnum=""
  rm -f "$pause_fifo"
  pause_display=${pause_dnum:+:$pause_dnum}
  pause_answer=(--answer yes)
fi
"$KX_WINESERVER" -k 2>/dev/null || true
"$KX_WINESERVER" -w 2>/dev/null || true
export DISPLAY=$pause_display
"$KX_WINESERVER" -p

if [ -z "$DISPLAY" ]; then
  say "no display could be started: the question can't be asked, step skipped"
else
  if [ -n "$pause_xvfb" ]; then
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
  win 'C:\kxsetup\standin_installer.exe' "${pause_answer[@]}" shutdown </dev/null |
    tr -d '\r' | sed 's/^/   /' || true
  for _ in $(seq 50); do kill -0 "$server_job" 2>/dev/null || break; sleep 0.1; done
  if server_lines | grep -q '^WM_CLOSE'; then
    say "the web server got WM_CLOSE at its window$(kill -0 "$server_job" 2>/dev/null || echo ' and has ended')"
  else
    say "the web server was not asked to close"
  fi

  : >"$server_record"
  say "run: standin_installer.exe ${pause_answer[*]} restart"
  win 'C:\kxsetup\standin_installer.exe' "${pause_answer[@]}" restart </dev/null |
    tr -d '\r' | sed 's/^/   /' || true
  started=$(server_lines | sed -n 's/^start //p' | head -1)
  if [ -n "$started" ]; then
    say "the web server runs again, started as: $started"
  else
    say "the web server was not started"
  fi

  say "run: standin_installer.exe with tokens, then WriteTokens twice"
  win 'C:\kxsetup\standin_installer.exe' "${pause_answer[@]}" 'token=dropped: no collection yet' \
    token= 'token=Kestrix 2.0 installed in ' "token=$KX_HOME_WIN" $'token=\n' \
    'write=C:\kxsetup\install-note.txt' 'write=C:\kxsetup\install-note.txt' </dev/null |
    tr -d '\r' | sed 's/^/   /' || true
  say "C:\\kxsetup\\install-note.txt (\\r\\n marks the line ends the text mode wrote):"
  sed 's/\r$/\\r\\n/' "$DRIVE_C/kxsetup/install-note.txt" | sed 's/^/     /'
  win reg delete 'HKCU\Software\Wine\AppDefaults\standin_installer.exe' /f >/dev/null 2>&1 || true
  unset KX_WEBSERVER_RECORD
fi

# Back to the display-less prefix the other steps expect (this also ends
# the restarted stand-in web server).
"$KX_WINESERVER" -k 2>/dev/null || true
"$KX_WINESERVER" -w 2>/dev/null || true
unset DISPLAY
[ -n "$pause_xvfb" ] && kill "$pause_xvfb" 2>/dev/null
"$KX_WINESERVER" -p
