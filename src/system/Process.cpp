#include "system/Process.h"

namespace velmora::process {

void checkConsole() {
  if (consoleClosed()) {
    throw Abandonment{Abandonment::Cause::consoleClosed};
  }
}

}  // namespace velmora::process
