// Save Project, Open Project and the video information dialog in the window.
#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/main_window.h"
#include "app/main_window_ids.h"
#include "app/source_list_ctrl.h"
#include "platform/launcher.h"
#include "preview/video_info_dialog.h"
#include "settings/project_file.h"
#include "tests/support/test_support.h"

namespace orv {
namespace {

using test::ReadText;
using test::WriteText;

// Runs a test's own code when the run asks a question, that is between two
// engines of a conversion.
class HookShell : public test::ScriptedShell {
 public:
  bool AskOkCancel(const std::string& text, const std::string& caption) override {
    if (onAsk) onAsk();
    return ScriptedShell::AskOkCancel(text, caption);
  }
  std::function<void()> onAsk;
};

class ProjectTest : public ::testing::Test {
 protected:
  ProjectTest()
      : installation(test::InstallEngine(dir.path(), ORV_FAKE_ENGINE)),
        settings{kOverwrite, dir / "out"},
        window(installation, settings, shell) {
    window.SetExitHook([](int) {});
    window.show();
  }
  ~ProjectTest() override { window.StopConversion(); }

  void Add(const std::vector<std::string>& names) {
    WriteText(dir / "fake.cfg", "duration=10\nwidth=320\nheight=240\nrun_ms=60000\nstep=0.5\n");
    std::vector<std::string> paths;
    for (const auto& name : names) {
      WriteText(dir / name, "x");
      paths.push_back(dir / name);
    }
    shell.openFiles.push_back(paths);
    window.OnCommand(ids::kAdd);
  }
  void Open(const std::string& path) {
    shell.openFiles.push_back({path});
    window.OnCommand(ids::kCmdOpenProject);
  }
  std::string Cell(int row, int column) {
    return window.list()->item(row, column)->text().toStdString();
  }

  test::TempDir dir;
  Installation installation;
  AppSettings settings;
  HookShell shell;
  MainWindow window;
};

TEST_F(ProjectTest, SaveThenOpenRestoresRowsAndSettings) {
  Add({"a.avi", "b.avi", "c.avi"});
  ASSERT_EQ(window.items().size(), 3u);
  auto* combo = static_cast<QComboBox*>(window.Control(ids::kProfileCombo));
  window.list()->SelectRow(1);
  combo->setCurrentIndex(3);
  emit combo->activated(3);  // b becomes an MP3 item
  ASSERT_EQ(window.items()[1]->outputFormat, "mp3");

  shell.saveFiles.push_back(dir / "list.vpt");
  window.OnCommand(ids::kCmdSaveProject);
  EXPECT_EQ(shell.messages, std::vector<std::string>{"Project saved!"});
  EXPECT_EQ(shell.dialogs.back().filter, "Project Files(*.vpt)|*.vpt||");
  EXPECT_EQ(shell.dialogs.back().defaultExtension, "vpt");
  const std::string saved = ReadText(dir / "list.vpt");

  // c's source goes away before the project is opened again.
  std::remove((dir / "c.avi").c_str());
  window.list()->SelectRow(0);
  Open(dir / "list.vpt");
  EXPECT_EQ(shell.dialogs.back().filter, "Project Files|*.vpt||");
  ASSERT_EQ(window.items().size(), 2u);
  EXPECT_EQ(Cell(0, kColId), "1");
  EXPECT_EQ(Cell(1, kColId), "2");
  EXPECT_EQ(Cell(1, kColSource), dir / "b.avi");
  EXPECT_EQ(Cell(1, kColEnd), "00:00:10.00");
  EXPECT_EQ(Cell(1, kColOutput), dir / "out/b.mp3");
  EXPECT_EQ(Cell(1, kColFormat), "mp3");
  EXPECT_EQ(window.items()[1]->profileIndex, 3);
  EXPECT_EQ(window.items()[1]->audioCodec, "mp3");
  EXPECT_EQ(combo->currentIndex(), 3);  // the combo is not touched
  EXPECT_EQ(window.list()->SelectedRow(), -1);
  EXPECT_EQ(shell.messages.size(), 1u);  // no message on success
  // Saved again, the two items give the bytes of the first two records.
  ItemList first;
  ProjectContents contents;
  ASSERT_EQ(ParseProject(saved, "", &contents), ProjectLoad::Ok);
  contents.items.pop_back();
  EXPECT_EQ(ProjectBytes(window.items()), ProjectBytes(contents.items));
}

TEST_F(ProjectTest, OpeningDropsDvdEntriesKeepsTheCustomizedProfileAndReportsDamage) {
  WriteText(dir / "a.avi", "x");
  ItemList items;
  for (const std::string& source : {dir / "a.avi", std::string("DVD_DRIVE_E")}) {
    auto item = std::make_unique<SourceItem>();
    item->sourcePath = source;
    item->outputPath = dir / "out/x.mp4";
    item->profileIndex = 4;
    items.push_back(std::move(item));
  }
  ASSERT_TRUE(SaveProjectFile(dir / "p.vpt", items));
  Open(dir / "p.vpt");
  ASSERT_EQ(window.items().size(), 1u);
  EXPECT_EQ(window.items()[0]->profileIndex, 4);

  // Cut inside the second record: the first stays, the message says so.
  items[1]->sourcePath = dir / "a.avi";
  WriteText(dir / "cut.vpt", ProjectBytes(items).substr(0, 150));
  Open(dir / "cut.vpt");
  EXPECT_EQ(window.items().size(), 1u);
  EXPECT_EQ(shell.messages.back(), "An attempt was made to access " + dir / "cut.vpt" +
                                       " past its end. 1 of the 2 items it lists were read.");
  Open(dir / "missing.vpt");
  EXPECT_EQ(shell.messages.back(), "Failed!");
  EXPECT_TRUE(window.items().empty());  // cleared before the file was tried

  // Cancel leaves the list alone.
  Add({"b.avi"});
  window.OnCommand(ids::kCmdOpenProject);
  EXPECT_EQ(window.items().size(), 1u);
}

TEST_F(ProjectTest, OpeningIsRefusedWhileConverting) {
  Add({"a.avi", "b.avi"});
  ASSERT_TRUE(SaveProjectFile(dir / "p.vpt", {}));
  window.OnCommand(ids::kConvert);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.Activity() == EngineActivity::Converting; }, 30000));
  Open(dir / "p.vpt");
  EXPECT_EQ(shell.messages.back(), "Please stop converting the videos and then add files to the list.");
  EXPECT_EQ(window.items().size(), 2u);
  // Saving is allowed in every activity.
  shell.saveFiles.push_back(dir / "during.vpt");
  window.OnCommand(ids::kCmdSaveProject);
  EXPECT_EQ(shell.messages.back(), "Project saved!");
}

TEST_F(ProjectTest, TheListIsLockedForTheWholeRunEvenBetweenEngines) {
  Add({"a.avi", "b.avi"});
  WriteText(dir / "fake.cfg", "write_output=1\nrun_ms=100\n");
  std::filesystem::create_directories(dir / "out");
  WriteText(window.items()[1]->outputPath, "old");  // the run will ask about b
  settings.overWriteType = 2;
  bool asked = false;
  std::size_t during = 0;
  shell.onAsk = [&] {
    asked = true;
    EXPECT_EQ(window.Activity(), EngineActivity::Idle);  // no engine runs now
    window.OnCommand(ids::kClear);
    Open(dir / "none.vpt");
    window.OnCommand(ids::kCmdDeleteSelected);
    during = window.items().size();
  };
  window.OnCommand(ids::kConvert);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window.batchRun().ThreadRunning(); }, 30000));
  EXPECT_TRUE(asked);
  EXPECT_EQ(during, 2u);
  EXPECT_EQ(std::count(shell.messages.begin(), shell.messages.end(),
                       "Please stop converting the videos and then add files to the list."),
            3);
}

TEST_F(ProjectTest, VideoInformationPaintsItsRows) {
  Add({"holiday.final.avi"});
  window.OnCommand(ids::kCmdVideoInformation);  // nothing selected: nothing shown
  window.list()->SelectRow(0);
  std::vector<VideoInfoRow> rows;
  QImage image;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<VideoInfoDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Video information");
    rows = dialog->rows();
    image = dialog->grab().toImage();
    dialog->okButton()->click();
  });
  window.OnCommand(ids::kCmdVideoInformation);
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows[1].text, "Source file format: avi");
  EXPECT_EQ(rows[7].text, "Clip Source file: no");
  EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(10, 100), QColor(0, 0, 20));  // the card's outline
  EXPECT_EQ(image.pixelColor(15, 95), QColor(230, 240, 255));
  // The first row's text is drawn from x = 20 in its 20-pixel band.
  bool ink = false;
  for (int x = 20; x < 60 && !ink; ++x)
    for (int y = 20; y < 40 && !ink; ++y) ink = image.pixelColor(x, y) != QColor(230, 240, 255);
  EXPECT_TRUE(ink);
  bool below = false;  // nothing under the "Clip Source file" row without a clip
  for (int x = 20; x < 200 && !below; ++x)
    for (int y = 242; y < 300 && !below; ++y) below = image.pixelColor(x, y) != QColor(230, 240, 255);
  EXPECT_FALSE(below);

  // The list menu's "File Information..." opens it as well.
  bool opened = false;
  QTimer::singleShot(0, [&] {
    opened = QApplication::activeModalWidget() != nullptr;
    if (opened) QApplication::activeModalWidget()->close();
  });
  window.OnPosted(kMsgListFileInformation);
  EXPECT_TRUE(opened);
}

}  // namespace
}  // namespace orv
