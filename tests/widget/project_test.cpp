// Save Project, Open Project and the video information dialog in the window.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <filesystem>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "gui/main_window.h"
#include "tests/support/shown_window.h"
#include "gui/main_window_ids.h"
#include "gui/source_list_ctrl.h"
#include "platform/launcher.h"
#include "gui/preview/video_info_dialog.h"
#include "core/settings/option_tables.h"
#include "core/settings/project_file.h"
#include "tests/support/test_support.h"
#include "tests/widget/widget_support.h"

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

class ProjectTest : public ::testing::Test, protected test::ShownWindow<HookShell> {
 protected:
  ProjectTest() : test::ShownWindow<HookShell>(ORV_FAKE_ENGINE, kOverwrite) {
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
    EXPECT_TRUE(test::WaitUntilRead(window));
  }
  void Open(const std::string& path) {
    shell.openFiles.push_back({path});
    window.OnCommand(ids::kCmdOpenProject);
  }
  std::string Cell(int row, int column) {
    return window.list()->item(row, column)->text().toStdString();
  }

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

  Open(dir / "list.vpt");
  EXPECT_EQ(window.items().size(), 3u);
  EXPECT_EQ(shell.messages.size(), 1u);  // no message when everything came back

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
  EXPECT_EQ(shell.messages.back(), "Some items of " + dir / "list.vpt" + " were left out:\nitem 3: " +
                                       dir / "c.avi" + ": the source is not there");
  // Saved again, the two items give the bytes of the first two records.
  ItemList first;
  ProjectContents contents;
  ASSERT_EQ(ParseProject(saved, "", &contents), ProjectLoad::Ok);
  contents.items.pop_back();
  EXPECT_EQ(ProjectBytes(window.items()), ProjectBytes(contents.items));
}

TEST_F(ProjectTest, OpeningKeepsDvdTitlesOfPresentDrivesAndNamesWhatIsLeftOut) {
  WriteText(installation.SettingsFilePath(), "[DRIVES]\nE=" + dir / "disc" + "\n");
  WriteText(dir / "a.avi", "x");
  ItemList items;
  auto add = [&](const std::string& source, int dvdTitle) {
    auto item = std::make_unique<SourceItem>();
    ApplyNewItemDefaults(0, *item);
    item->sourcePath = source;
    item->outputPath = dir / "out/x.mp4";
    item->duration = 10;
    item->profileIndex = 4;
    item->isDvdTitle = dvdTitle > 0 ? 1 : 0;
    item->dvdTitle = dvdTitle;
    items.push_back(std::move(item));
  };
  add(dir / "a.avi", 0);
  add("DVD_DRIVE_E", 2);  // E: is a disc image in [DRIVES]
  add("DVD_DRIVE_Z", 3);  // no drive has Z:
  add(dir / "gone.avi", 0);
  add(dir / "a.avi", 0);
  items.back()->videoBitrate = "12 00";  // a text that is no value
  ASSERT_TRUE(SaveProjectFile(dir / "p.vpt", items));
  Open(dir / "p.vpt");
  ASSERT_EQ(window.items().size(), 2u);
  EXPECT_EQ(window.items()[0]->profileIndex, 4);
  EXPECT_EQ(window.items()[1]->sourcePath, "DVD_DRIVE_E");
  EXPECT_EQ(window.items()[1]->dvdTitle, 2);
  EXPECT_EQ(Cell(1, kColId), "2");
  EXPECT_EQ(Cell(1, kColSource), "DVD_DRIVE_E");
  const std::string expected =
      "Some items of " + dir / "p.vpt" +
      " were left out:\n"
      "item 3: DVD title 3 of drive Z: is not available (no optical drive or [DRIVES] entry has "
      "the letter Z)\n"
      "item 4: " + dir / "gone.avi" + ": the source is not there\n"
      "item 5: Video bitrate '12 00' is not a number";
  EXPECT_EQ(shell.messages, std::vector<std::string>{expected});

  // Cut inside the second record: the first stays, the message says so.
  items.resize(2);
  items[1]->sourcePath = dir / "a.avi";
  items[1]->isDvdTitle = 0;
  ItemList first;
  first.push_back(std::make_unique<SourceItem>(*items[0]));
  WriteText(dir / "cut.vpt", ProjectBytes(items).substr(0, ProjectBytes(first).size() + 20));
  Open(dir / "cut.vpt");
  EXPECT_EQ(window.items().size(), 1u);
  EXPECT_EQ(shell.messages.back(), "An attempt was made to access " + dir / "cut.vpt" +
                                       " past its end. 1 of the 2 items it lists were read.");
}

TEST_F(ProjectTest, AFileThatCannotBeReadOrWrittenLeavesEverythingAndSaysWhy) {
  Add({"a.avi", "b.avi"});
  Open(dir / "missing.vpt");
  EXPECT_EQ(shell.messages.back(),
            "Failed!\n\nCannot open " + dir / "missing.vpt" + ": No such file or directory");
  std::filesystem::create_directory(dir / "folder.vpt");
  Open(dir / "folder.vpt");
  EXPECT_EQ(shell.messages.back(),
            "Failed!\n\nCannot open " + dir / "folder.vpt" + ": Is a directory");
  if (::geteuid() != 0) {  // root reads anything
    WriteText(dir / "locked.vpt", std::string(4, '\0'));
    std::filesystem::permissions(dir / "locked.vpt", std::filesystem::perms::none);
    Open(dir / "locked.vpt");
    EXPECT_EQ(shell.messages.back(),
              "Failed!\n\nCannot open " + dir / "locked.vpt" + ": Permission denied");
  }
  ASSERT_EQ(window.items().size(), 2u);
  EXPECT_EQ(window.list()->rowCount(), 2);
  EXPECT_EQ(Cell(1, kColSource), dir / "b.avi");
  // Cancel leaves the list alone too.
  window.OnCommand(ids::kCmdOpenProject);
  EXPECT_EQ(window.items().size(), 2u);

  shell.saveFiles.push_back(dir / "no/such/list.vpt");
  window.OnCommand(ids::kCmdSaveProject);
  EXPECT_EQ(shell.messages.back(),
            "Failed!\n\nCannot save " + dir / "no/such/list.vpt" + ": No such file or directory");
  shell.saveFiles.push_back(dir / "folder.vpt");
  window.OnCommand(ids::kSaveProfileAs);
  EXPECT_EQ(shell.messages.back(),
            "Failed!\n\nCannot save " + dir / "folder.vpt" + ": Is a directory");
  shell.saveFiles.push_back(dir / "mine.profile");
  window.OnCommand(ids::kSaveProfileAs);
  EXPECT_EQ(shell.messages.back(), "Project saved!");
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
  ASSERT_TRUE(SaveProjectFile(dir / "p.vpt", {}));  // readable: only the run refuses it
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
    Open(dir / "p.vpt");
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
