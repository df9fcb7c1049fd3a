// zaltrim-host analyze and zaltrim-report as a user runs them: the report of a real render, the
// figures beside it, and the errors that leave nothing half-written behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "figures.h"

namespace {

namespace fs = std::filesystem;

const std::string kBuild = std::getenv("ZALTRIM_BUILD_DIR") ? std::getenv("ZALTRIM_BUILD_DIR") : ".";
const std::string kHost = kBuild + "/zaltrim-host";
const std::string kReport = kBuild + "/zaltrim-report";
const std::string kModule = kBuild + "/QtZaltrim.so";

struct RunResult {
  int status;
  std::string out;
  std::string err;
};

std::string slurp(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

class Command : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zaltrim-analyze-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder = pattern;
  }
  void TearDown() override { fs::remove_all(folder); }

  RunResult run(const std::string& program, const std::string& arguments) const {
    const fs::path out = folder / ".stdout", err = folder / ".stderr";
    const std::string line = quoted(program) + " " + arguments + " >" + quoted(out) + " 2>" + quoted(err);
    const int status = std::system(line.c_str());
    RunResult result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
    fs::remove(out);
    fs::remove(err);
    return result;
  }

  // Every file in the folder: a failed run must leave no temporary behind.
  std::set<std::string> files() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
  }

  // A copy of zaltrim-host in the test folder, with `drawer` (a shell script) as its zaltrim-report.
  std::string host_with_drawer(const std::string& drawer) const {
    const fs::path bin = folder / "bin";
    fs::create_directory(bin);
    fs::copy_file(kHost, bin / "zaltrim-host");
    if (!drawer.empty()) {
      std::ofstream(bin / "zaltrim-report") << "#!/bin/sh\n" << drawer << "\n";
      fs::permissions(bin / "zaltrim-report", fs::perms::owner_all);
    }
    return (bin / "zaltrim-host").string();
  }

  fs::path folder;
};

std::size_t colour_count(const QImage& image) {
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
  return colours.size();
}

TEST_F(Command, AnalyzeDrawsTheReportOfARealRenderAndWritesItsFigures) {
  const fs::path png = folder / "report.png", csv = folder / "figures.csv";
  const RunResult result =
      run(kHost, "analyze --plugin " + quoted(kModule) + " --gain-db 6 --out " + quoted(png) + " --csv " + quoted(csv));
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(files(), (std::set<std::string>{"report.png", "figures.csv"}));

  const QImage image(QString::fromStdString(png.string()));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.width(), 1600);
  EXPECT_EQ(image.height(), 1200);
  EXPECT_GT(colour_count(image), 50u) << "a blank or flat report";

  std::ifstream in(csv);
  const zanalysis::Figures figures = zanalysis::read_figures(in);
  EXPECT_EQ(figures.effect, "Zaltrim");
  EXPECT_NEAR(figures.gain, 1.9953, 1e-3);
  EXPECT_EQ(figures.transfer.size(), 5u * 41u) << "41 levels at each of the 5 factors";
  EXPECT_EQ(figures.harmonics.size(), 8u);
  EXPECT_EQ(figures.aliasing.size(), 5u);
  EXPECT_EQ(figures.latency.size(), 5u);
  EXPECT_EQ(figures.reported_delay, 5) << "the chain's delay at 44.1 kHz, reported once resumed";

  EXPECT_NE(result.out.find("THD"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("report: " + png.string()), std::string::npos) << result.out;
}

TEST_F(Command, BadValuesAreNamed) {
  const struct {
    const char* arguments;
    const char* message;
  } cases[] = {
      {"--gain 0", "--gain must be 0.01 to 100 (-40 to +40 dB), got 0"},
      {"--gain-db 41", "--gain-db must be -40 to +40, got 41"},
      {"--gain-db nan", "--gain-db must be -40 to +40, got nan"},
      {"--gain 2 --gain-db 6", "give the gain once"},
      {"--sample-rate fast", "--sample-rate expects a number, got 'fast'"},
      {"--sample-rate 8000", "--sample-rate must be 22050 to 384000 Hz, got 8000"},
      {"--out", "--out needs a value"},
      {"--loud", "analyze: unknown option '--loud'"},
  };
  for (const auto& c : cases) {
    const RunResult result = run(kHost, std::string("analyze ") + c.arguments);
    EXPECT_EQ(result.status, 2) << c.arguments;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << c.arguments << ": " << result.err;
  }
  const RunResult help = run(kHost, "analyze --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--sample-rate R"), std::string::npos);
  EXPECT_NE(help.out.find("(D + 40) / 80 for D dB"), std::string::npos);
  EXPECT_TRUE(files().empty());
}

TEST_F(Command, MissingDrawerIsReportedBeforeTheAnalysis) {
  const RunResult result =
      run(host_with_drawer(""), "analyze --plugin " + quoted(kModule) + " --out " + quoted(folder / "report.png"));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("no zaltrim-report beside zaltrim-host"), std::string::npos) << result.err;
  EXPECT_EQ(files(), (std::set<std::string>{"bin"}));
}

TEST_F(Command, UnwritableOutputIsReportedBeforeTheAnalysis) {
  const RunResult result =
      run(kHost, "analyze --plugin " + quoted(kModule) + " --out " + quoted(folder / "no-such-folder" / "report.png"));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("no-such-folder"), std::string::npos) << result.err;
  EXPECT_EQ(result.out, "") << "nothing was measured";
  EXPECT_TRUE(files().empty());
}

TEST_F(Command, FailedDrawingIsAnErrorAndLeavesNothingHalfWritten) {
  // The drawer writes half an image into its output, then fails.
  const std::string host = host_with_drawer("printf 'half a PNG' > \"$2\"; exit 3");
  const RunResult result = run(host, "analyze --plugin " + quoted(kModule) + " --out " + quoted(folder / "report.png") +
                                         " --csv " + quoted(folder / "figures.csv"));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("drawing the report failed"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("exited with status 3"), std::string::npos) << result.err;
  EXPECT_EQ(files(), (std::set<std::string>{"bin", "figures.csv"})) << "the figures are kept, no image is";
}

TEST_F(Command, ReportRefusesBadFiguresAndDrawsSparseOnes) {
  const fs::path bad = folder / "bad.csv", sparse = folder / "sparse.csv";
  std::ofstream(bad) << "record,a,b,c\nsetting,gain,1\ntransfer,2,-40\n";
  const RunResult refused = run(kReport, quoted(bad) + " " + quoted(folder / "bad.png"));
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("figures line 3"), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists(folder / "bad.png"));

  // No spectrum, no latency, figures that could not be measured: still a whole report.
  std::ofstream(sparse) << "setting,gain,1\ntransfer,2,-40,nan\ntransfer,2,0,-3\naliasing,2,nan,0\n"
                           "distortion,nan,nan\n";
  const RunResult drawn = run(kReport, quoted(sparse) + " " + quoted(folder / "sparse.png"));
  ASSERT_EQ(drawn.status, 0) << drawn.err;
  const QImage image(QString::fromStdString((folder / "sparse.png").string()));
  EXPECT_EQ(image.size(), QSize(1600, 1200));

  EXPECT_EQ(run(kReport, "only-one-argument").status, 2);
}

}  // namespace
