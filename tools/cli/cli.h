#pragma once

// Runs the command-line retimer with the process's arguments; answers the exit status.
int RunCli(int argc, char** argv);
