// The DVD Settings dialog and DVD titles added to the list, with drives
// from the settings file and the fake engine answering for the disc.
#include "gui/dvd/dvd_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <QTest>

#include "gui/main_window.h"
#include "tests/support/shown_window.h"
#include "gui/main_window_ids.h"
#include "gui/source_list_ctrl.h"
#include "tests/support/test_support.h"
#include "tests/widget/widget_support.h"

namespace orv {
namespace {

using test::ReadText;
using test::WriteText;

class DvdTest : public ::testing::Test, protected test::ShownWindow<test::ScriptedShell> {
 protected:
  DvdTest() : test::ShownWindow<test::ScriptedShell>(ORV_FAKE_ENGINE, kOverwrite) {
    WriteText(dir / "fake.cfg",
              "duration=7384.9\nwidth=720\nheight=576\ntitles=2\nchapters=3,5\n"
              "audio=128/ac3/en,129/ac3/de\nsubs=en,fr,de\n");
  }
  void Drives(const std::string& lines) {
    WriteText(installation.SettingsFilePath(), "[DRIVES]\n" + lines);
  }
  // Runs the DVD command with `script` acting on the open dialog.
  void AddDvd(const std::function<void(DvdDialog&)>& script) {
    window.SetDvdDialogHook([script](DvdDialog& dialog) {
      QTimer::singleShot(0, &dialog, [&dialog, script] { script(dialog); });
    });
    window.OnCommand(ids::kDvd);
  }
  static void Pick(DvdDialog& d, int list, int index) {
    QComboBox* box = d.List(list);
    box->setCurrentIndex(index);
    emit box->activated(index);
  }
  int EngineStarts() {
    const std::string log = ReadText(dir / "fake_log.txt");
    return static_cast<int>(std::count(log.begin(), log.end(), '\n'));
  }

};

TEST_F(DvdTest, TwoDrivesOpenWithNoneChosenThenOneIsIdentified) {
  Drives("E=" + dir / "disc1\nF=" + dir / "disc2\n");
  bool checked = false;
  AddDvd([&](DvdDialog& d) {
    EXPECT_EQ(d.windowTitle(), "DVD Disc");
    QComboBox* drives = d.List(DvdDialog::kDriveList);
    ASSERT_GE(drives->count(), 2);
    EXPECT_EQ(drives->currentIndex(), -1);
    EXPECT_EQ(d.List(DvdDialog::kTitleList)->count(), 0);
    EXPECT_EQ(d.List(DvdDialog::kChannelList)->currentText(), "default");
    EXPECT_EQ(EngineStarts(), 0);
    Pick(d, DvdDialog::kDriveList, drives->findText("F:\\"));
    EXPECT_EQ(EngineStarts(), 1);
    EXPECT_NE(ReadText(dir / "fake_log.txt").find("dvd://1|-dvd-device|F:\\"), std::string::npos);
    QComboBox* subs = d.List(DvdDialog::kSubtitleList);
    ASSERT_EQ(subs->count(), 4);
    EXPECT_EQ(subs->itemText(0), "0:en");
    EXPECT_EQ(subs->itemText(3), "none");
    EXPECT_EQ(d.List(DvdDialog::kAudioList)->itemText(1), "1:ac3(de)");
    // A title change identifies that title and resets the chapters.
    d.List(DvdDialog::kLastChapterList)->setCurrentIndex(0);
    Pick(d, DvdDialog::kTitleList, 1);
    EXPECT_NE(ReadText(dir / "fake_log.txt").find("dvd://2|-dvd-device|F:\\"), std::string::npos);
    EXPECT_EQ(d.List(DvdDialog::kLastChapterList)->currentIndex(), 4);
    subs->setCurrentIndex(1);
    d.List(DvdDialog::kAudioList)->setCurrentIndex(1);
    checked = true;
    d.findChild<QPushButton*>()->click();  // OK
  });
  ASSERT_TRUE(checked);
  ASSERT_EQ(window.items().size(), 1u);
  const SourceItem& item = *window.items()[0];
  EXPECT_EQ(item.sourcePath, "DVD_DRIVE_F");
  EXPECT_EQ(item.dvdTitle, 2);
  EXPECT_EQ(item.dvdFirstChapter, 1);
  EXPECT_EQ(item.dvdLastChapter, 5);  // the whole of title 2
  EXPECT_EQ(item.dvdSubtitleId, 1);
  EXPECT_EQ(item.dvdAudioStreamId, 129);
  EXPECT_EQ(item.clipEndText, "02:03:04");
  EXPECT_EQ(window.list()->item(0, kColSource)->text(), "DVD_DRIVE_F");
  EXPECT_EQ(window.player().dvdRoot, "F:\\");
}

TEST_F(DvdTest, TheSameDriveTwiceLeavesOneItemAtTheEnd) {
  Drives("E=" + dir / "disc\n");
  WriteText(dir / "a.avi", "x");
  shell.openFiles.push_back({dir / "a.avi"});
  window.OnCommand(ids::kAdd);
  EXPECT_TRUE(test::WaitUntilRead(window));
  for (int title : {0, 1}) {
    AddDvd([title](DvdDialog& d) {
      EXPECT_EQ(d.List(DvdDialog::kDriveList)->currentIndex(), 0);  // the one drive, identified
      if (title) Pick(d, DvdDialog::kTitleList, title);
      d.findChild<QPushButton*>()->click();
    });
  }
  ASSERT_EQ(window.items().size(), 2u);
  EXPECT_EQ(window.items()[1]->sourcePath, "DVD_DRIVE_E");
  EXPECT_EQ(window.items()[1]->dvdTitle, 2);
  EXPECT_EQ(window.list()->item(1, kColId)->text(), "2");
  EXPECT_EQ(window.items()[1]->outputPath, dir / "out/DVD_DRIVE_E.mp4");

  // Cancel adds nothing; the list menu's "DVD Settings" opens the dialog too.
  AddDvd([](DvdDialog& d) { d.reject(); });
  EXPECT_EQ(window.items().size(), 2u);
  bool opened = false;
  window.SetDvdDialogHook([&opened](DvdDialog& dialog) {
    opened = true;
    QTimer::singleShot(0, &dialog, [&dialog] { dialog.reject(); });
  });
  window.OnPosted(kMsgListDvdSettings);
  EXPECT_TRUE(opened);
}

TEST_F(DvdTest, NoDriveSaysSo) {
  Drives("");
  // A dialog opened on a machine with an optical drive is closed at once.
  window.SetDvdDialogHook([](DvdDialog& dialog) {
    QTimer::singleShot(0, &dialog, [&dialog] { dialog.reject(); });
  });
  window.OnCommand(ids::kDvd);
  if (!shell.messages.empty()) {
    EXPECT_EQ(shell.messages.back(), "No CD/DVD drive exists.");
  }
  EXPECT_TRUE(window.items().empty());
}

}  // namespace
}  // namespace orv
