// propexec: the console build of the runner.
#include "runner.h"

int main(int argc, char** argv) { return RunFromProperties(argc, argv); }
