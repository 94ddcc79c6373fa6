#include "cli/Driver.h"
#include "system/Process.h"

int main(int argc, char** argv) {
  velmora::process::start();
  return velmora::runCommandLine(velmora::process::arguments(argc, argv));
}
