# Launch: kxlaunch, as the setup installed it, finds the installation that
# pathstamp recorded, loads the runtime's jvm.dll (for the demo the setup
# installed the stand-in from tests/launcher, which records what it
# receives) and calls main with the program's arguments.
step "Launch: kxlaunch starts the application on the stand-in VM with arguments"
if [ "$KX_INSTALLED" != 1 ]; then
  say "nothing installed: step skipped"
else
  launch_record=$DRIVE_C/kxlaunch-record.txt
  rm -f "$launch_record"
  say "stand-in VM: $KX_HOME_WIN\\jre\\bin\\classic\\jvm.dll"
  say "run: kxlaunch.exe hello \"two words\" \"\" café"
  # C.UTF-8: the ANSI code page is 1252, so é reaches kxlaunch as byte 0xE9.
  launch_status=0
  LC_ALL=C.UTF-8 KX_STANDIN_JVM_LOG='C:\kxlaunch-record.txt' \
    win "$KX_HOME_WIN\\kxlaunch.exe" hello "two words" "" café || launch_status=$?
  say "exit status: $launch_status"
  if [ ! -s "$launch_record" ]; then
    say "the stand-in VM recorded nothing: kxlaunch stopped before loading it"
  else
    say "the stand-in VM received:"
    sed -n \
      -e 's/^option \([0-9]\) \(.*\) extraInfo=.*/     option \1: \2/p' \
      -e '/^PATH at load /d' \
      -e 's/^PATH \(.*\)/     PATH:     \1/p' \
      -e 's/^FindClass \(com.*\)/     class:    \1/p' \
      -e 's/^main received \(.*\)/     main:     \1 arguments/p' \
      -e 's/^arg \([0-9]*\) \[\(.*\)\]\(.*\)/       [\1] "\2"   UTF-16:\3/p' \
      -e 's/^\(DestroyJavaVM\)$/     then:     \1/p' \
      "$launch_record"
  fi
fi
