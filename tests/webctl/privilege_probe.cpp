// Runs the library's privilege step once and exits with its result, so that
// a test can run it under a debugger and read what it writes there.
#include "webctl.h"

int main() {
  PrivilegeChange change = {};
  return EnableDebugPrivilege(&change);
}
