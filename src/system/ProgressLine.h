#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

// A line on standard error that says how far the work on a long file has got: the file's name,
// the share of its samples done and the time taken, kept current by a thread of its own from about
// a second on, and cleared when the work ends. Only for a terminal; nothing is shown for a short
// file or where no thread can start.

namespace velmora {

class ProgressLine {
 public:
  ProgressLine(std::string name, std::int64_t total);
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  virtual ~ProgressLine();

  void advance(std::int64_t samples) { done += samples; }
  // Ends the line, leaving the terminal's line as it was.
  void stop();

 private:
  void keepCurrent();
  std::string text() const;

  std::string name;
  std::int64_t total;
  std::atomic<std::int64_t> done{0};
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  std::mutex lock;
  std::condition_variable wake;
  bool stopping = false;
  std::thread thread;
};

}  // namespace velmora
