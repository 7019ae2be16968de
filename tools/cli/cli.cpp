#include "tools/cli/cli.h"

int RunCli(int, char**) { return 2; }
