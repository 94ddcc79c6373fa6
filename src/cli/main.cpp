#include "cli/Driver.h"

int main(int argc, char** argv) { velmora::runCommandLine(argc, argv); }
