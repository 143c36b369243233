# Install: pathstamp records where the product lies, first from a drive's
# root, then from the real installation folder that the later steps use.
step "Install: pathstamp records the installation"
mkdir -p "$WINEPREFIX/rootdrive"
cp "$BIN/pathstamp.exe" "$WINEPREFIX/rootdrive/"
say "run from a drive's root: R:\\pathstamp.exe"
win 'R:\pathstamp.exe'
reg_show 'HKLM\Software\Veltrana\Kestrix\2.0\Installation' InstallPath
reg_show 'HKLM\Software\Veltrana\Kestrix\2.0\Java Runtime Environment\1.2.1' JavaHome

KX_HOME_WIN='C:\Program Files\Veltrana\Kestrix 2.0'
KX_HOME=$DRIVE_C/Program\ Files/Veltrana/Kestrix\ 2.0
mkdir -p "$KX_HOME"
cp "$BIN/pathstamp.exe" "$KX_HOME/"
say "run from the installation folder: $KX_HOME_WIN\\pathstamp.exe"
win "$KX_HOME_WIN\\pathstamp.exe"
reg_show 'HKLM\Software\Veltrana\Kestrix\2.0\Installation' InstallPath
reg_show 'HKLM\Software\Veltrana\Kestrix\2.0\Java Runtime Environment' CurrentVersion
reg_show 'HKLM\Software\Veltrana\Kestrix\2.0\Java Runtime Environment\1.2.1' JavaHome
reg_show 'HKLM\Software\Veltrana\Kestrix\2.0\Java Runtime Environment\1.2.1' MicroVersion
reg_show 'HKLM\Software\Veltrana\Kestrix\2.0\Java Runtime Environment\1.2.1' RuntimeLib
