#include "support/TestSupport.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>

#include "audio/OutputSignal.h"
#include "audio/ProcessExit.h"
#include "audio/WavHeader.h"

namespace velmora::test {

namespace fs = std::filesystem;

void putLe32(Bytes& bytes, std::size_t at, std::uint32_t value) { writeLe32(bytes.data() + at, value); }

Bytes wavBytes(const WavLayout& layout, const Bytes& data, const std::vector<Chunk>& before) {
  std::vector<Chunk> chunks(before);
  chunks.push_back({"data", data, false});
  std::size_t size = wavHeaderSize + static_cast<std::size_t>(std::max(0, layout.fmtSize - 16));
  for (const Chunk& chunk : chunks) {
    size += chunkHeaderSize + chunk.body.size() + (chunk.pad ? chunk.body.size() % 2 : 0);
  }
  Bytes bytes(size, 0);
  WavHeader header = OutputSignal::headerFor(layout.rate, static_cast<std::int16_t>(layout.channels), layout.bits, 0);
  header.riffSize = static_cast<std::uint32_t>(size - 8);
  header.fmtSize = layout.fmtSize;
  header.fmtFormat = layout.format;
  encodeWavHeader(header, bytes.data());
  std::size_t at = wavHeaderSize + static_cast<std::size_t>(std::max(0, layout.fmtSize - 16));
  for (const Chunk& chunk : chunks) {
    std::array<char, 4> tag{};
    std::copy_n(chunk.id.begin(), std::min<std::size_t>(4, chunk.id.size()), tag.begin());
    encodeChunkHeader({tag, static_cast<std::int32_t>(chunk.body.size())}, bytes.data() + at);
    std::copy(chunk.body.begin(), chunk.body.end(), bytes.begin() + static_cast<long>(at + chunkHeaderSize));
    at += chunkHeaderSize + chunk.body.size() + (chunk.pad ? chunk.body.size() % 2 : 0);
  }
  return bytes;
}

Bytes pcm16(const std::vector<int>& samples) {
  Bytes bytes(2 * samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) {
    writeLe16(bytes.data() + 2 * i, static_cast<std::uint16_t>(samples[i]));
  }
  return bytes;
}

Bytes pcm8(const std::vector<int>& samples) { return Bytes(samples.begin(), samples.end()); }

void writeFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
}

Bytes readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TempDir::TempDir() {
  std::random_device seed;
  dir = fs::temp_directory_path() / ("velmora-test-" + std::to_string(seed()) + std::to_string(seed()));
  fs::create_directories(dir);
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(dir, ignored);
}

namespace {
struct ProcessEnded {
  int status;
};
}  // namespace

std::pair<std::string, int> endingOf(const std::function<void()>& action) {
  const CoutCapture out;
  setExitHandler([](int status) { throw ProcessEnded{status}; });
  std::pair<std::string, int> ending{"returned", 0};
  try {
    action();
  } catch (const ProcessEnded& ended) {
    ending = {out.str(), ended.status};
  }
  setExitHandler(nullptr);
  return ending;
}

AudioSignal signalOf(const std::vector<double>& samples, double rate) {
  static const TempDir folder;
  const fs::path file = folder / "one-sample.wav";
  writeFile(file, wavBytes({}, pcm16({0, 0})));
  CoutCapture quiet;
  AudioSignal signal(file.string());
  std::shared_ptr<double[]> array(new double[samples.size() + 1]);
  std::copy(samples.begin(), samples.end(), array.get());
  signal.setInBuff(array);
  signal.setNoSamples(static_cast<std::int32_t>(samples.size()));
  signal.setSampleRate(rate);
  return signal;
}

const ProgramUnderTest& programUnderTest() {
  static const ProgramUnderTest program = [] {
    ProgramUnderTest p;
    // VELMORA_RUN_WRAPPER, such as "valgrind --error-exitcode=1 -q", runs the program under a tool.
    std::istringstream wrapper(std::getenv("VELMORA_RUN_WRAPPER") != nullptr ? std::getenv("VELMORA_RUN_WRAPPER") : "");
    for (std::string word; wrapper >> word;) {
      p.command.push_back(word);
    }
    const char* windows = std::getenv("VELMORA_WINDOWS_PROGRAM");
    p.name = windows != nullptr ? fs::absolute(windows).string() : VELMORA_PROGRAM;
    p.command.push_back(p.name);
    if (windows != nullptr) {
      p.command.insert(p.command.begin(), "wine");
      std::replace(p.name.begin(), p.name.end(), '/', '\\');
      p.name = "Z:" + p.name;
      p.crlf = true;
      p.expandsWildcards = true;
    }
    return p;
  }();
  return program;
}

// Under CR LF every line end must be CR LF: strips the CRs and marks any bare LF, so that the
// comparison with the expected text shows it.
std::string withPlainLineEnds(const std::string& text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
      plain += "[bare LF]";
    }
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
      plain += text[i];
    }
  }
  return plain;
}

RunResult runProgram(const fs::path& folder, const std::vector<std::string>& arguments,
                     const std::string& input, long fileSizeLimit) {
  int toChild[2];
  int fromChild[2];
  if (pipe(toChild) != 0 || pipe(fromChild) != 0) {
    return {"pipe failed", -1000};
  }
  const pid_t child = fork();
  if (child == 0) {
    dup2(toChild[0], 0);
    dup2(fromChild[1], 1);
    close(toChild[1]);
    close(fromChild[0]);
    if (fileSizeLimit >= 0) {
      const rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
      setrlimit(RLIMIT_FSIZE, &limit);
      signal(SIGXFSZ, SIG_IGN);
    }
    std::vector<std::string> copies = programUnderTest().command;
    copies.insert(copies.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : copies) {
      argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    if (chdir(folder.c_str()) == 0) {
      execvp(argv[0], argv.data());
    }
    _exit(127);
  }
  close(toChild[0]);
  close(fromChild[1]);
  const ssize_t written = write(toChild[1], input.data(), input.size());
  close(toChild[1]);
  std::string out;
  char buffer[65536];
  for (ssize_t n; (n = read(fromChild[0], buffer, sizeof buffer)) > 0;) {
    out.append(buffer, static_cast<std::size_t>(n));
  }
  close(fromChild[0]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  if (written < 0 || !WIFEXITED(status)) {
    return {out, -1000};
  }
  if (programUnderTest().crlf) {
    out = withPlainLineEnds(out);
  }
  return {out, WEXITSTATUS(status), usage.ru_maxrss * 1024L};
}

}  // namespace velmora::test
