#include "tools/packer/pack.h"

int main(int argc, char** argv) { return RunPacker(argc, argv); }
