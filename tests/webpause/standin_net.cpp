// Stand-in for the system's net.exe: it only records the command line it
// was started with, one line appended to the file that KX_NET_RECORD names,
// and stops no service. Without KX_NET_RECORD it does nothing at all.
#include "standin_record.h"

int main() {
  char path[MAX_PATH];
  AppendRecordLine(EnvOrEmpty("KX_NET_RECORD", path, sizeof path), GetCommandLineA());
  return 0;
}
