# Run: propexec, as the setup installed it, reads smon.properties in the
# installation folder (the setup wrote it for the folder it installed into,
# every backslash doubled) and starts the Java executable it names (for the demo
# the setup installed the recording stand-in from tests/propexec as
# jre\bin\java.exe), with the class path, search path and arguments the file
# gives, and waits for it. Its diagnostics go to the debug output, which
# Wine prints on stderr under WINEDEBUG=warn+debugstr.
step "Run: propexec starts a child from smon.properties"
if [ "$KX_INSTALLED" != 1 ]; then
  say "nothing installed: step skipped"
else
  say "$KX_HOME_WIN\\smon.properties:"
  tr -d '\r' <"$KX_HOME/smon.properties" | sed 's/^/     /'

  run_record=$DRIVE_C/propexec-record.txt
  run_debug=$DEMO/propexec-debug.txt
  # run_once PROGRAM: runs it from the installation folder, as the service
  # manager's start-up does, with two arguments for the child.
  run_once() {
    rm -f "$run_record"
    local status=0
    (cd "$KX_HOME" && KX_RECORD_FILE='C:\propexec-record.txt' WINEDEBUG=-all,warn+debugstr \
      win "$1" smon.properties -r "smon default" 2>"$run_debug" </dev/null) || status=$?
    say "exit status: $status"
  }

  say "run from $KX_HOME_WIN: propexec.exe smon.properties -r \"smon default\""
  run_once propexec.exe
  say "debug output:"
  # Wine shows each text as a C literal: undo its \\ and \".
  sed -n -e 's/.*OutputDebugStringA "\(.*\)\\n"$/     \1/' -e 's/\\\([\\"]\)/\1/g' -e '/^     /p' "$run_debug"
  say "the child (stand-in java.exe) received:"
  tr -d '\r' <"$run_record" | sed 's/^/     /'
  console_line=$(grep '^commandLine=' "$run_record" || true)

  say "the same with the GUI build: propexecw.exe smon.properties -r \"smon default\""
  run_once propexecw.exe
  if [ -n "$console_line" ] && [ "$(grep '^commandLine=' "$run_record" || true)" = "$console_line" ]; then
    say "the child got the same command line from propexecw"
  else
    say "propexecw's child got: $(grep '^commandLine=' "$run_record" || echo '(nothing)')"
  fi
fi
