// Adding many files: the window keeps answering while they are read, the
// rows come in order with their output names, a Cancel keeps what was read,
// and the commands that need the list or the engine wait for the reading.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "gui/file_reading.h"
#include "gui/main_window.h"
#include "tests/support/shown_window.h"
#include "gui/main_window_ids.h"
#include "gui/source_list_ctrl.h"
#include "platform/process_list.h"
#include "core/settings/source_list.h"
#include "tests/support/test_support.h"
#include "tests/widget/widget_support.h"

namespace orv {
namespace {

using test::WriteText;

constexpr int kColSource = 1;
constexpr int kColOutput = 4;

// CPU time of the calling thread, in milliseconds.
qint64 ThreadCpuMs() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<qint64>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// Watches the window's event loop with a 50 ms timer and keeps the worst
// lateness of a tick. A tick can be late because the window's thread was
// busy, or because the machine gave it no processor (other work on a
// shared machine): the blocked lateness counts only the first, the part of
// the lateness the window's thread spent working.
class LoopWatch {
 public:
  LoopWatch() {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kPeriodMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const qint64 gap = clock_.restart();
      const qint64 cpu = ThreadCpuMs();
      const qint64 late = gap - kPeriodMs;
      worstLateMs_ = std::max(worstLateMs_, late);
      worstBlockedMs_ = std::max(worstBlockedMs_, std::min(late, cpu - lastCpu_));
      lastCpu_ = cpu;
      worstGapMs_ = std::max(worstGapMs_, gap);
      if (onTick) onTick();
    });
    clock_.start();
    lastCpu_ = ThreadCpuMs();
    timer_.start();
  }
  qint64 worstLateMs() const { return worstLateMs_; }
  qint64 worstBlockedMs() const { return worstBlockedMs_; }
  qint64 worstGapMs() const { return worstGapMs_; }
  std::function<void()> onTick;

 private:
  static constexpr qint64 kPeriodMs = 50;
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 worstLateMs_ = 0;
  qint64 worstBlockedMs_ = 0;
  qint64 lastCpu_ = 0;
  qint64 worstGapMs_ = 0;
};

class FileReadingTest : public ::testing::Test, protected test::ShownWindow<test::ScriptedShell> {
 protected:
  FileReadingTest() : test::ShownWindow<test::ScriptedShell>(ORV_FAKE_ENGINE, 1) {
    std::filesystem::create_directories(dir / "films");
    std::filesystem::create_directories(dir / "out");
  }
  ~FileReadingTest() override { window.reading()->Abort(); }

  // films/f000.avi ... in name order.
  std::vector<std::string> MakeFilms(int count, int first = 0) {
    std::vector<std::string> paths;
    for (int i = first; i < first + count; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "films/f%03d.avi", i);
      WriteText(dir / name, "x");
      paths.push_back(dir / name);
    }
    return paths;
  }
  void Identifying(int ms, const std::string& extra = "") {
    WriteText(dir / "fake.cfg", "duration=10\nwidth=320\nheight=240\nidentify_ms=" +
                                    std::to_string(ms) + "\n" + extra);
  }
  std::string Cell(int row, int column) {
    return window.list()->item(row, column)->text().toStdString();
  }
  int Rows() { return window.list()->rowCount(); }
  bool EngineRuns() { return IsEngineRunning(installation.EngineLocation()); }

};

TEST_F(FileReadingTest, ADroppedFolderOf200FilesKeepsTheWindowAnsweringAndTheRulesOfNaming) {
  // Sorted, the folder gives bad.avi, clip.avi, clip.mov, clip_1.avi and 196 films.
  for (const char* name : {"films/bad.avi", "films/clip.avi", "films/clip.mov",
                           "films/clip_1.avi", "films/notes.txt"})
    WriteText(dir / name, "x");
  MakeFilms(196);
  Identifying(5, "no_answer_for=bad.avi\n");

  LoopWatch watch;
  bool sawRowsWhileReading = false, sawLine = false;
  watch.onTick = [&] {
    if (window.Reading() && Rows() > 0) sawRowsWhileReading = true;
    if (window.reading()->isVisible() && window.reading()->LineText().endsWith(" of 200…"))
      sawLine = true;
  };
  window.AddPaths({dir / "films"});
  EXPECT_TRUE(window.Reading());
  ASSERT_TRUE(test::WaitUntilRead(window, 120000));
  std::printf("200 files: worst timer lateness %lld ms, of it the window's own work %lld ms "
              "(worst gap %lld ms)\n",
              static_cast<long long>(watch.worstLateMs()),
              static_cast<long long>(watch.worstBlockedMs()),
              static_cast<long long>(watch.worstGapMs()));
  EXPECT_LE(watch.worstBlockedMs(), 100);
  EXPECT_TRUE(sawRowsWhileReading);
  EXPECT_TRUE(sawLine);
  EXPECT_FALSE(window.reading()->isVisible());

  // bad.avi has no answer and no row, silently; the rest in order.
  ASSERT_EQ(Rows(), 199);
  ASSERT_EQ(window.items().size(), 199u);
  EXPECT_TRUE(shell.messages.empty());
  const std::string out = dir / "out/";
  EXPECT_EQ(Cell(0, kColSource), dir / "films/clip.avi");
  EXPECT_EQ(Cell(0, kColOutput), out + "clip.mp4");
  EXPECT_EQ(Cell(1, kColSource), dir / "films/clip.mov");
  EXPECT_EQ(Cell(1, kColOutput), out + "clip_1.mp4");
  EXPECT_EQ(Cell(2, kColOutput), out + "clip_1_1.mp4");
  for (int i = 0; i < 196; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "f%03d", i);
    ASSERT_EQ(Cell(3 + i, kColSource), dir / ("films/" + std::string(name) + ".avi")) << i;
    ASSERT_EQ(Cell(3 + i, kColOutput), out + name + ".mp4") << i;
    ASSERT_EQ(Cell(3 + i, 0), std::to_string(4 + i));
  }
  EXPECT_EQ(window.items()[5]->clipEndText, "00:00:10.00");
  EXPECT_EQ(window.items()[5]->videoWidth, 320);

  // The same folder again: every file is listed already, nothing changes.
  window.AddPaths({dir / "films"});
  ASSERT_TRUE(test::WaitUntilRead(window));
  EXPECT_EQ(Rows(), 199);
}

TEST_F(FileReadingTest, CancelKeepsTheRowsReadAndEndsTheReading) {
  const std::vector<std::string> films = MakeFilms(200);
  Identifying(30);
  window.AddPaths({dir / "films"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return Rows() >= 5; }, 30000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.reading()->isVisible(); }, 5000));
  QTest::mouseClick(window.reading()->cancelButton(), Qt::LeftButton);
  EXPECT_EQ(window.reading()->LineText().toStdString(), "Stopping after the file being read…");
  ASSERT_TRUE(test::WaitUntilRead(window, 5000));
  const int kept = Rows();
  EXPECT_GE(kept, 5);
  EXPECT_LT(kept, 200);
  for (int row = 0; row < kept; ++row) ASSERT_EQ(Cell(row, kColSource), films[row]);
  EXPECT_FALSE(window.reading()->isVisible());
  EXPECT_FALSE(EngineRuns());
  QTest::qWait(200);
  EXPECT_EQ(Rows(), kept);  // nothing more comes after the end
  EXPECT_TRUE(shell.messages.empty());

  // A new Add reads again, after the rows kept.
  Identifying(0);
  window.AddPaths({films[kept], films[kept + 1]});
  ASSERT_TRUE(test::WaitUntilRead(window));
  ASSERT_EQ(Rows(), kept + 2);
  EXPECT_EQ(Cell(kept + 1, kColSource), films[kept + 1]);
}

TEST_F(FileReadingTest, CommandsThatNeedTheListWaitForTheReading) {
  const std::vector<std::string> films = MakeFilms(40);
  Identifying(40);
  window.AddPaths({dir / "films"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return Rows() >= 1; }, 30000));
  window.list()->SelectRow(0);

  // Convert, Save Project, Open Project, Play, Remove and Clear are refused
  // with one message each; nothing starts and no row goes.
  for (int id : {ids::kConvert, ids::kCmdSaveProject, ids::kCmdOpenProject, ids::kPlayPause,
                 ids::kRemove, ids::kClear}) {
    const std::size_t before = shell.messages.size();
    window.OnCommand(id);
    ASSERT_EQ(shell.messages.size(), before + 1) << id;
    EXPECT_EQ(shell.messages.back(), kReadingRefusal) << id;
  }
  EXPECT_FALSE(window.batchRun().ThreadRunning());
  EXPECT_TRUE(window.Reading());
  EXPECT_GE(Rows(), 1);

  // Another Add queues its files behind the reading, in order; a file
  // queued already is not read twice.
  const std::vector<std::string> more = MakeFilms(2, 100);
  shell.openFiles.push_back({more[0], films[39], more[1]});
  window.OnCommand(ids::kAdd);
  ASSERT_TRUE(test::WaitUntilRead(window));
  ASSERT_EQ(Rows(), 42);
  EXPECT_EQ(Cell(39, kColSource), films[39]);
  EXPECT_EQ(Cell(40, kColSource), more[0]);
  EXPECT_EQ(Cell(41, kColSource), more[1]);

  // Once read, Convert runs.
  const std::size_t before = shell.messages.size();
  WriteText(dir / "fake.cfg", "run_ms=60000\nstep=0.5\n");
  window.OnCommand(ids::kConvert);
  EXPECT_TRUE(window.batchRun().ThreadRunning());
  EXPECT_EQ(shell.messages.size(), before);
  window.StopConversion();
}

TEST_F(FileReadingTest, ClosingTheWindowEndsTheReadingAndItsEngine) {
  MakeFilms(20);
  Identifying(20000);  // deaf to Stop: it ends only by force
  window.AddPaths({dir / "films"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return EngineRuns(); }, 5000));
  shell.answers = {true};
  window.close();
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(window.Reading());
  EXPECT_FALSE(EngineRuns());
  QTest::qWait(100);
  EXPECT_EQ(Rows(), 0);
  // The one engine started was the first file's.
  const std::string log = test::ReadText(dir / "fake_log.txt");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
}

}  // namespace
}  // namespace orv
