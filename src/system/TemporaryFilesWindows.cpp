#include <windows.h>

#include <atomic>

#include "system/TemporaryFiles.h"

namespace velmora {

namespace {
std::atomic<bool> interrupted{false};
}  // namespace

// Ctrl-C and Ctrl-Break arrive on a thread of their own. With no save alive the default handler
// ends the process; otherwise this one raises the flag and waits for the save that sees it to
// remove its files and end the process.
void TemporaryFiles::watchInterruptions() {
  SetConsoleCtrlHandler(
      [](DWORD event) -> BOOL {
        if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
          return FALSE;
        }
        {
          const std::lock_guard held(registry().lock);
          if (registry().alive.empty()) {
            return FALSE;
          }
          interrupted = true;
        }
        Sleep(INFINITE);
        return TRUE;
      },
      TRUE);
}

void TemporaryFiles::holdInterruptions(const std::function<void()>& work) {
  const std::lock_guard held(registry().lock);
  work();
}

bool TemporaryFiles::interruptionPending() { return interrupted; }

}  // namespace velmora
