// Stand-in for the system's net.exe: it only records the command line it
// was started with, one line appended to the file that KX_NET_RECORD names,
// and stops no service. Without KX_NET_RECORD it does nothing at all.
// Built twice: as the system's own (the tests copy it into the system
// folder) and as a planted one that lies beside the test programs and marks
// its lines "planted ", so that a test sees which of the two ran.
#include <string.h>

#include "standin_record.h"

int main() {
  char path[MAX_PATH];
  char line[2048] = "";
#ifdef KX_PLANTED_NET
  strcpy(line, "planted ");
#endif
  strncat(line, GetCommandLineA(), sizeof line - strlen(line) - 1);
  AppendRecordLine(EnvOrEmpty("KX_NET_RECORD", path, sizeof path), line);
  return 0;
}
