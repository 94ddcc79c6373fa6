#include <gtest/gtest.h>


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
  for (const std::string bad : {"-x", "-", "-5", "-h"}) {  // debug echoes the letters it knows
    const std::string echo = bad == "-h" ? "option h: \n" : "";
    expectRun({"-d", "a.wav", bad, "b.wav"}, loaded(301) + summary("out.wav", 0) + echo + usage, 1);
  }
  expectRun({"-o", "", "-o", "-c", "\"a.wav\""}, loaded(301) + summary("-c", 0), 0);
  expectRun({"\""}, "I/O error\n", 255);
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
  for (const std::string window : {"10", "760", "40000"}) {
    const RunResult result = run({"-w", window, "-c", "-b", "in.wav"});
    EXPECT_TRUE(result.status == 0 && result.peakRssBytes <= 16L << 20) << window << ": " << result.peakRssBytes;
  }
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
      {{.channels = 1, .rate = -8000}, {}, music(701)},  // a negative rate: negative look-ahead, window and time constants
      {{}, {}, [] {  // digital silence after the sound takes both filters' states to subnormal fixed points
         std::vector<double> x = music(600);
         x.resize(150000);
         return x;
       }()},
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
    writeFile(dir / "in.wav", wavBytes(c.layout, encoded(c.samples, c.layout.bits), c.chunks));
    const std::size_t kept = c.samples.size() / 2 * 2;
    double y = 0;
    const std::vector<double> boosted = referenceBass(referenceCompressor(c.samples, c.settings, c.layout.rate), y);
    std::vector<std::string> arguments = c.options;
    arguments.insert(arguments.end(), {"-c", "-b", "in.wav"});
    expectRun(arguments,
              c.echoes + loaded(c.samples.size()) + "Compressing: in.wav\nnew no of samples = " + std::to_string(kept) +
                  "\nBoosting bass\n" + bassLines(boosted) + summary("out.wav", kept, c.layout),
              0);
    WavLayout written = c.layout;
    written.fmtSize = 16;
    EXPECT_EQ(file("out.wav"), wavBytes(written, encoded(boosted, c.layout.bits)));
  }
}

}  // namespace
}  // namespace velmora::test
