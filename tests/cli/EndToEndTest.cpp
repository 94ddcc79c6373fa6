#include <gtest/gtest.h>
#include <sys/stat.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <sstream>
#include <thread>


#include "support/Reference.h"
#include "support/TestSupport.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

const std::string usage = "Run program without arguments to view help\nUsage: " + programUnderTest().name +
                          " [-c|C] [-t threshold] [-s slope] [-l lookahead] [-w window time] [-a attack]"
                          " [-r release] [-T] [-b] [-o output.wav] filename.wav\n"
                          " -c to compress, -T to truncate values during compression\n"
                          " -Cn to compress using default no n\n -b boosts bass\n";

std::string loaded(std::size_t samples) { return " Number of Samples = " + std::to_string(samples) + "\n"; }

std::string summary(const std::string& name, std::size_t count, const WavLayout& layout = {}) {
  return std::string(count == 0 ? "No new data to output!\n" : "") + "\nSaved WAV File: " + name +
         "\n Sample Rate = (Hz) " + std::to_string(layout.rate) + "\n Number of Samples = " +
         std::to_string(count) + "\n Bits Per Sample = " + std::to_string(layout.bits) +
         "\n Number of Channels = " + std::to_string(layout.channels) + "\n";
}

Bytes wavOf(const std::vector<double>& x, const WavLayout& layout = {}) {
  return wavBytes(layout, encoded(x, layout.bits));
}

class EndToEnd : public ::testing::Test {
 protected:
  RunResult run(const std::vector<std::string>& arguments, const std::string& input = "") {
    return runProgram(dir.path(), arguments, input);
  }
  void expectRun(const std::vector<std::string>& arguments, const std::string& out, int status,
                 const std::string& input = "") {
    const RunResult result = run(arguments, input);
    EXPECT_EQ(result.out, startup + out);
    EXPECT_EQ(result.status, status);
  }
  Bytes file(const std::string& name) { return readFile(dir / name); }

  TempDir dir;
};

TEST_F(EndToEnd, WalksTheCommandLineFromLeftToRight) {
  const std::vector<double> a = music(301);
  const std::vector<double> b = music(200, 9000);
  writeFile(dir / "a.wav", wavOf(a));
  writeFile(dir / "b.wav", wavOf(b));
  expectRun({}, usage, 1);
  for (const std::string unreadable : {"missing.wav", ".", ""}) {  // the first failure ends the run
    expectRun({"-b", unreadable, "a.wav"}, "I/O error\n", 255);
  }
  EXPECT_FALSE(fs::exists(dir / "out.wav"));
  expectRun({"-t", "5", "-s7"}, "threshold=5\nslope=7\n", 0, "\n\n");
  writeFile(dir / "long.wav", wavOf(music(70001)));  // blocks of samples, none of them written
  expectRun({"long.wav", "-c"}, loaded(70001) + summary("out.wav", 0), 0);
  EXPECT_EQ(file("out.wav"), wavBytes({}, {}));
  expectRun({"a.wav", "-o", "y.wav", "-c", "-t"}, loaded(301) + summary("out.wav", 0) + usage, 1);
  EXPECT_FALSE(fs::exists(dir / "y.wav"));
  for (const std::string bad : {"-x", "-5", "-h"}) {  // debug echoes the letters it knows
    const std::string echo = bad == "-h" ? "option h: \n" : "";
    expectRun({"-d", "a.wav", bad, "b.wav"}, loaded(301) + summary("out.wav", 0) + echo + usage, 1);
  }
  expectRun({"-o", "", "-o", "-c", "\"a.wav\""}, loaded(301) + summary("-c", 0), 0);
  expectRun({"\""}, "I/O error\n", 255);
  const Bytes aBytes = wavOf(a);  // from standard input: the wait after -t leaves its bytes alone
  expectRun({"-t", "5", "-c", "-"}, "threshold=5\n" + loaded(301) + "Compressing: -\n" + summary("out.wav", 300), 0,
            std::string(aBytes.begin(), aBytes.end()));
  EXPECT_EQ(file("out.wav"), wavOf(referenceCompressor(a, {.threshold = 5}, 44100)));
  if (!programUnderTest().windows) {  // from a named pipe, whose bytes can be read only once
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0666), 0);
    std::thread writer([&] { writeFile(dir / "pipe", aBytes); });
    expectRun({"-c", "-o", "piped.wav", "pipe"}, loaded(301) + "Compressing: pipe\n" + summary("piped.wav", 300), 0);
    writer.join();
    EXPECT_EQ(file("piped.wav"), wavOf(referenceCompressor(a, {}, 44100)));
  }
  if (!programUnderTest().windows) {  // Windows names cannot hold a double quote
    writeFile(dir / "\"q.wav", wavOf(b));
    expectRun({"\"q.wav"}, loaded(200) + summary("out.wav", 0), 0);
  }

  double y = 0;
  const std::vector<double> b1 = referenceBass(referenceCompressor(b, {}, 44100), y);
  expectRun({"-c", "a.wav", "-b", "b.wav"},
            loaded(301) + "Compressing: a.wav\n" + summary("out.wav", 300) + loaded(200) +
                "Compressing: b.wav\nnew no of samples = 200\nBoosting bass\n" + bassLines(b1) + summary("out.wav", 200),
            0);
  EXPECT_EQ(file("out.wav"), wavOf(b1));
  // The bass boost's state carries from one file to the next within a run.
  y = 0;
  const std::vector<double> aBoosted = referenceBass(a, y);
  const std::vector<double> bBoosted = referenceBass(b, y);
  expectRun({"-b", "a.wav", "b.wav"},
            loaded(301) + "Boosting bass\n" + bassLines(aBoosted) + summary("out.wav", 300) + loaded(200) +
                "Boosting bass\n" + bassLines(bBoosted) + summary("out.wav", 200),
            0);
  EXPECT_EQ(file("out.wav"), wavOf(bBoosted));
  expectRun({"-C", "3", "-cb", "a.wav"}, loaded(301) + "Compressing: a.wav\n" + summary("out.wav", 300), 0);
  EXPECT_EQ(file("out.wav"), wavOf(referenceCompressor(a, {.slope = 20}, 44100)));
}

// Memory stays that of a few blocks for a long file, under a held window and one read again from the file.
TEST_F(EndToEnd, MemoryIsBoundedWhateverTheLengthAndTheWindow) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's own memory hides the program's";
#endif
  if (programUnderTest().command.size() > 1) {
    GTEST_SKIP() << "a run wrapper's memory hides the program's";
  }
  writeFile(dir / "in.wav", wavOf(music(6000000)));
  for (const std::string window : {"10", "760", "1480", "40000"}) {  // 1480: the longest held window
    const RunResult result = run({"-w", window, "-c", "-b", "in.wav"});
    EXPECT_TRUE(result.status == 0 && result.peakRssBytes <= 16L << 20) << window << ": " << result.peakRssBytes;
  }
}

// The samples of a saved file in 16-bit units, read by the format's own rules: integers of its bits, or floats times 32768.
std::vector<double> unitsOf(const Bytes& file) {
  const auto le = [&file](std::size_t at, int width) {
    std::uint32_t value = 0;
    for (int k = width; k-- > 0;) {
      value = value << 8 | file[at + static_cast<std::size_t>(k)];
    }
    return value;
  };
  std::size_t at = 12;
  int bits = 16;
  bool floating = false;
  for (; at + 8 <= file.size() && std::string(file.begin() + static_cast<long>(at), file.begin() + static_cast<long>(at) + 4) != "data";
       at += 8 + le(at + 4, 4)) {
    if (file[at] == 'f' && file[at + 1] == 'm') {
      bits = static_cast<int>(le(at + 22, 2));
      floating = le(at + 8, 2) == 3 || (le(at + 8, 2) == 0xFFFE && file[at + 32] == 3);
    }
  }
  std::vector<double> units;
  for (std::size_t b = at + 8; b + static_cast<std::size_t>(bits / 8) <= file.size(); b += static_cast<std::size_t>(bits / 8)) {
    std::uint64_t word = 0;
    for (int k = bits / 8; k-- > 0;) {
      word = word << 8 | file[b + static_cast<std::size_t>(k)];
    }
    const auto integer = static_cast<double>(static_cast<std::int64_t>(word << (64 - bits)) >> (64 - bits));
    units.push_back(floating ? (bits == 32 ? std::bit_cast<float>(static_cast<std::uint32_t>(word)) : std::bit_cast<double>(word)) * 32768
                             : integer / std::ldexp(1.0, bits - 16));
  }
  return units;
}

// 24-bit, 32-bit and floating-point files that sox makes of 16-bit music give its output within a unit, for every preset.
TEST_F(EndToEnd, DeeperFilesOfTheSameAudioGiveItsOutput) {
  if (std::system("sox --version >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "sox is not installed";
  }
  writeFile(dir / "in.wav", wavOf(music(60000)));
  for (const std::string format : {"-b 24", "-b 32", "-e floating-point -b 32", "-e floating-point -b 64"}) {
    ASSERT_EQ(std::system(("sox " + (dir / "in.wav").string() + " " + format + " " + (dir / "deep.wav").string()).c_str()), 0);
    for (const std::vector<std::string>& options : {std::vector<std::string>{"-c"}, {"-C1"}, {"-C2"}, {"-C3"}, {"-C4", "-T"}, {"-c", "-b"}}) {
      for (const std::string input : {"in.wav", "deep.wav"}) {
        std::vector<std::string> arguments = options;
        arguments.insert(arguments.end(), {"-o", "out-" + input, input});
        ASSERT_EQ(run(arguments).status, 0) << format;
      }
      const std::vector<double> sixteen = unitsOf(file("out-in.wav"));
      const std::vector<double> deeper = unitsOf(file("out-deep.wav"));
      ASSERT_EQ(sixteen.size(), deeper.size());
      for (std::size_t i = 0; i < sixteen.size(); ++i) {
        const double back = std::clamp(std::trunc(deeper[i]), -32768.0, 32767.0);  // converted back to 16 bits
        ASSERT_LE(std::abs(back - sixteen[i]), 1) << format << " " << options[0] << " at " << i;
      }
    }
  }
}

// A long file's progress on a terminal's standard error, cleared at the end; standard output as ever.
TEST_F(EndToEnd, ShowsProgressOnATerminalOnly) {
  if (programUnderTest().windows) {
    GTEST_SKIP() << "a terminal of the test's reaches a program run directly";
  }
  // Windows longer than the file whose sums pass 2^53 quarters, the first 200 of them: each summed term by term.
  std::vector<int> held(6000000, 0);
  std::fill_n(held.begin(), 2589160 + 2 * 200 - 2, 29491);
  writeFile(dir / "in.wav", wavBytes({}, pcm16(held)));
  const std::vector<std::string> arguments = {"-w", "1000000000", "-c", "in.wav"};
  const RunResult shown = runProgram(dir.path(), arguments, "", {.errorsToTerminal = true});
  const RunResult plain = runProgram(dir.path(), arguments, "", {.errorsToFile = (dir / "errors").c_str()});
  EXPECT_TRUE(shown.status == 0 && shown.out == plain.out) << shown.out;
  EXPECT_EQ(file("errors"), Bytes());  // not a terminal: nothing
  // Lines of "\rin.wav:  42%  0:01", each over the one before, then blanks over the last.
  std::istringstream lines(shown.errors);
  std::string updates;
  int shownLines = 0;
  for (std::string text; std::getline(lines, text, '\r');) {
    const bool blank = !text.empty() && text.find_first_not_of(' ') == std::string::npos;
    int share = -1;
    int minutes = -1;
    int seconds = -1;
    const bool progress = std::sscanf(text.c_str(), "in.wav: %d%%  %d:%d", &share, &minutes, &seconds) == 3;
    updates += text.empty() ? "" : blank ? "cleared" : progress && share >= 0 && share <= 100 ? "" : "[" + text + "]";
    shownLines += progress;
  }
  EXPECT_TRUE(shownLines > 0 && updates == "cleared" && shown.errors.back() == '\r') << shown.errors;
}

// Names reach their files whole: a name that is no pattern is never expanded, whatever its characters.
TEST_F(EndToEnd, WildcardsAreExpandedByTheShellOrOnWindowsByTheProgram) {
  writeFile(dir / "b.wav", wavOf(music(20)));
  writeFile(dir / "A.WAV", wavOf(music(10)));
  writeFile(dir / "\u00e9.wav", wavOf(music(30)));
  writeFile(dir / "c.txt", wavOf(music(10)));
  if (programUnderTest().windows) {
    expectRun({"*.wav"}, loaded(10) + summary("out.wav", 0) + loaded(20) + summary("out.wav", 0) + loaded(30) +
                             summary("out.wav", 0), 0);
  } else {
    expectRun({"*.wav"}, "I/O error\n", 255);
  }
  expectRun({"\u00e9.wav"}, loaded(30) + summary("out.wav", 0), 0);
  expectRun({"\u65e5\u672c.wav"}, "I/O error\n", 255);
}

// Each layout through -c -b, one of them with every setting of the compressor and the debug echoes.
TEST_F(EndToEnd, LoadsEveryLayoutAppliesEverySettingAndWritesTheSameFormatBack) {
  struct Case {
    WavLayout layout;
    std::vector<Chunk> chunks;
    std::vector<double> samples;
    std::vector<std::string> options = {};
    Settings settings = {};
    std::string echoes = "";
  };
  const std::vector<Case> cases = {
      {{.channels = 1, .bits = 8}, {}, music(501, 100, 128)},
      {{.channels = 6, .rate = 48000}, {{"LIST", Bytes(5, 1), true}, {"JUNK", Bytes(3, 0), false}}, music(600)},
      {{.rate = 1000, .fmtSize = 18}, {}, music(400)},
      {{.bits = 24, .fmtSize = 40, .format = 0xFFFE, .validBits = 24, .channelMask = 3, .first = {{"JUNK", Bytes(28, 0)}}}, {}, music(600)},
      {{.channels = 1, .bits = 32}, {}, music(601)},
      {{.bits = 32, .fmtSize = 18, .format = 3}, {{"fact", Bytes(4, 0)}}, music(600, 40000)},
      {{.bits = 64, .format = 3}, {}, music(600)},
      {{.channels = 1, .rate = -8000}, {}, music(701)},  // a negative rate: negative look-ahead, window and time constants
      {{}, {}, [] {  // digital silence after the sound takes both filters' states to subnormal fixed points
         std::vector<double> x = music(600);
         x.resize(150000);
         return x;
       }()},
      {{}, {}, [] {  // the bass filter turns quiet while slow times still hold the level, then sound again
         const std::vector<double> sound = music(600);
         std::vector<double> x = sound;
         x.resize(60000);
         x.insert(x.end(), sound.begin(), sound.end());
         return x;
       }(), {"-a", "1000", "-r", "1000"}, {.tatt = 1000, .trel = 1000}, "tatt=1000\ntrel=1000\n"},
      {{},
       {},
       music(2000),
       {"-d", "-C0", "-o", "out.wav", "-t", "500000", "-s2.5", "-l", "9", "-l", "0.5", "-w", "4", "-a", "0.5", "-r", "3",
        "-T", "-S"},
       {.threshold = 500000, .slope = 2.5, .tla = 1, .twnd = 4, .tatt = 0.5, .trel = 3, .truncate = true},
       "option C: 0\noption o: out.wav\noption t: 500000\nthreshold=500000\noption s: 2.5\nslope=2.5\noption l: 9\ntla=9\n"
       "option l: 0.5\ntla=1\n"
       "option w: 4\ntwnd=4\noption a: 0.5\ntatt=0.5\noption r: 3\ntrel=3\noption T: \noption S: \noption c: \n"
       "Option b: \n"},
  };
  for (const Case& c : cases) {
    const bool floating = c.layout.format == 3;
    writeFile(dir / "in.wav", wavBytes(c.layout, encoded(c.samples, c.layout.bits, floating), c.chunks));
    const std::size_t kept = c.samples.size() / 2 * 2;
    double y = 0;
    const std::vector<double> boosted = referenceBass(referenceCompressor(c.samples, c.settings, c.layout.rate), y);
    std::vector<std::string> arguments = c.options;
    arguments.insert(arguments.end(), {"-c", "-b", "in.wav"});
    expectRun(arguments,
              c.echoes + loaded(c.samples.size()) + "Compressing: in.wav\nnew no of samples = " + std::to_string(kept) +
                  "\nBoosting bass\n" + bassLines(boosted) + summary("out.wav", kept, c.layout),
              0);
    WavLayout written = c.layout;  // the same container, without the chunks it does not need
    written.fmtSize = c.layout.format == 0xFFFE ? 40 : (floating ? 18 : 16);
    written.first = {};
    Bytes frames;
    appendLe(frames, kept / c.layout.channels, 4);
    const std::vector<Chunk> fact = {{"fact", frames}};
    EXPECT_EQ(file("out.wav"), wavBytes(written, encoded(boosted, c.layout.bits, floating),
                                        floating || c.layout.format == 0xFFFE ? fact : std::vector<Chunk>{}));
  }
}

}  // namespace
}  // namespace velmora::test
