#include "tools/assets/assets.h"

int main(int argc, char** argv) { return NAssets::RunAssets(argc, argv); }
