// The main window: layout, menus, routing guards, Exit and Close, the output
// folder and the overwrite dialog, driven through a scripted Shell and the
// fake engine.
#include "gui/main_window.h"
#include "tests/support/shown_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "gui/main_window_dialogs.h"
#include "gui/main_window_ids.h"
#include "core/settings/source_list.h"
#include "gui/source_list_ctrl.h"
#include "platform/command_line.h"
#include "platform/launcher.h"
#include "platform/process_list.h"
#include "gui/preview/position_slider.h"
#include "gui/preview/range_slider.h"
#include "gui/skin/gradient_progress.h"
#include "tests/support/test_support.h"
#include "tests/widget/widget_support.h"

namespace orv {
namespace {

using test::ReadText;
using test::WriteText;

class CaptionShell : public test::ScriptedShell {
 public:
  void Message(const std::string& text, const std::string& caption) override {
    captions.push_back(caption);
    ScriptedShell::Message(text, caption);
  }
  bool AskOkCancel(const std::string& text, const std::string& caption) override {
    captions.push_back(caption);
    return ScriptedShell::AskOkCancel(text, caption);
  }
  std::vector<std::string> captions;
};

bool WaitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 30000); }

class MainWindowTest : public ::testing::Test, protected test::ShownWindow<CaptionShell> {
 protected:
  MainWindowTest() : test::ShownWindow<CaptionShell>(ORV_FAKE_ENGINE, kOverwrite) {
    window.SetExitHook([this](int status) { exitStatus = status; });
  }
  ~MainWindowTest() override {
    window.StopConversion();
    window.StopPlaying();
  }

  // Adds files through the open-file dialog; the fake engine identifies them.
  void Add(const std::vector<std::string>& names) {
    WriteText(dir / "fake.cfg", config);
    std::vector<std::string> paths;
    for (const auto& name : names) paths.push_back(dir / name);
    shell.openFiles.push_back(paths);
    window.OnCommand(ids::kAdd);
    EXPECT_TRUE(test::WaitUntilRead(window));
  }
  // An engine that plays until told to stop.
  void StartPlaying() {
    WriteText(dir / "fake.cfg", "run_ms=60000\n");
    EngineLink link(installation, shell);
    link.PrepareFolder(dir.path());
    link.WriteControl(EngineCommand::Run);
    LaunchEngine(QuoteArg(installation.EngineLocation()) + link.FolderOption(), false);
    ASSERT_EQ(window.Activity(), EngineActivity::Playing);
  }
  void StartConverting() {
    Add({"a.avi", "b.avi"});
    ASSERT_EQ(window.items().size(), 2u);
    window.OnCommand(ids::kConvert);
    ASSERT_TRUE(WaitFor([&] { return window.Activity() == EngineActivity::Converting; }));
  }
  QLineEdit* OutputEdit() { return static_cast<QLineEdit*>(window.Control(ids::kOutputFolder)); }
  void LeaveOutputEdit(const std::string& text) {
    OutputEdit()->setText(QString::fromStdString(text));
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(OutputEdit(), &out);
  }
  std::string SettingsFile() { return ReadText(installation.SettingsFilePath()); }

  std::string config = "duration=10\nwidth=320\nheight=240\nrun_ms=60000\nstep=0.5\n";
  int exitStatus = -1;
};

TEST_F(MainWindowTest, ControlsSitAtTheirRectangles) {
  struct Expect {
    int id;
    QRect rect;
  };
  const Expect expected[] = {
      {ids::kExit, QRect(696, 2, 17, 16)},
      {ids::kFileMenu, QRect(13, 24, 27, 14)},
      {ids::kHelpMenu, QRect(237, 24, 31, 14)},
      {ids::kAdd, QRect(26, 42, 62, 64)},
      {ids::kWebsite, QRect(415, 42, 66, 64)},
      {ids::kSourceList, QRect(14, 112, 492, 326)},
      {ids::kVideoPanel, QRect(520, 48, 186, 138)},
      {ids::kPlayPause, QRect(527, 191, 33, 29)},
      {ids::kPositionSlider, QRect(528, 222, 169, 11)},
      {ids::kRangeSlider, QRect(520, 236, 185, 15)},
      {ids::kProfileCombo, QRect(81, 449, 340, 13)},
      {ids::kOutputFolder, QRect(84, 475, 330, 16)},
      {ids::kItemProgress, QRect(81, 510, 339, 6)},
      {ids::kListProgress, QRect(81, 520, 339, 6)},
      {ids::kCancel, QRect(435, 506, 76, 24)},
      {ids::kShutDown, QRect(520, 514, 189, 12)},
      {ids::kDefaultButton, QRect(820, 922, 5, 1)},
  };
  EXPECT_EQ(window.size(), QSize(720, 540));
  EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
  for (const Expect& e : expected) {
    ASSERT_NE(window.Control(e.id), nullptr) << e.id;
    EXPECT_EQ(window.Control(e.id)->geometry(), e.rect) << e.id;
  }
  auto* combo = static_cast<QComboBox*>(window.Control(ids::kProfileCombo));
  EXPECT_EQ(combo->count(), 4);
  EXPECT_EQ(combo->currentIndex(), 0);
  EXPECT_EQ(OutputEdit()->text().toStdString(), settings.outputPath);
  EXPECT_FALSE(static_cast<QCheckBox*>(window.Control(ids::kShutDown))->isChecked());
}

QStringList Entries(const QMenu* menu) {
  QStringList out;
  for (const QAction* a : menu->actions())
    out << (a->isSeparator() ? "-" : a->text() + " " + QString::number(a->data().toInt()));
  return out;
}

TEST_F(MainWindowTest, MenusHoldTheirEntriesInOrder) {
  EXPECT_EQ(Entries(window.PopupMenu(ids::kFileMenu)),
            QStringList({"New project 32771", "Open Project... 32772", "Save Project... 32773", "-",
                         "Add File... 32774", "Delete Selected File 32775", "Clear 32776", "-",
                         "Open DVD... 1012", "-", "load profile... 32797", "-", "Exit 32777"}));
  EXPECT_EQ(Entries(window.PopupMenu(ids::kSettingsMenu)),
            QStringList({"Set Output Path... 32780", "Output File Overwrite... 32790",
                         "Simultaneous conversions... 32799", "DVD Settings... 1012"}));
  EXPECT_EQ(Entries(window.PopupMenu(ids::kPlayMenu)), QStringList({"Play 32781", "Stop 32809"}));
  EXPECT_EQ(Entries(window.PopupMenu(ids::kConvertMenu)),
            QStringList({"Convert 32784", "Stop 32810"}));
  EXPECT_EQ(Entries(window.PopupMenu(ids::kHelpMenu)),
            QStringList({"Help... 32785", "Website 32786", "Contact us 32788", "About... 32787"}));
  EXPECT_EQ(Entries(window.PopupMenu(ids::kEditMenu)),
            QStringList({"Video information... 32791", "Set Output File Name... 32807"}));
}

TEST_F(MainWindowTest, EnterAndEscapeDoNothing) {
  QApplication::setActiveWindow(&window);
  QTest::keyClick(&window, Qt::Key_Escape);
  QTest::keyClick(&window, Qt::Key_Return);
  QTest::keyClick(OutputEdit(), Qt::Key_Enter);
  QTest::keyClick(window.list(), Qt::Key_Escape);
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(shell.questions.empty());
  EXPECT_EQ(exitStatus, -1);
}

TEST_F(MainWindowTest, ExitAsksAndEndsWithStatusOne) {
  Add({"a.avi"});
  window.OnCommand(ids::kExit);  // no answer scripted: Cancel
  ASSERT_EQ(shell.questions, std::vector<std::string>{"Exit anyway?"});
  EXPECT_EQ(shell.captions.back(), "Video Batch Converter");
  EXPECT_EQ(exitStatus, -1);
  EXPECT_EQ(window.items().size(), 1u);
  shell.answers = {true};
  window.OnCommand(ids::kCmdExit);
  EXPECT_EQ(exitStatus, 1);
  EXPECT_TRUE(window.items().empty());
}

TEST_F(MainWindowTest, CloseAsksAndCancelKeepsTheList) {
  Add({"a.avi"});
  window.close();
  EXPECT_EQ(shell.questions, std::vector<std::string>{"Exit anyway?"});
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.items().size(), 1u);
  shell.answers = {true};
  window.close();
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(window.items().empty());
  EXPECT_EQ(exitStatus, -1);  // a close ends the dialog, not the process
}

TEST_F(MainWindowTest, AddDeleteAndClearKeepRowsInStep) {
  Add({"a.avi", "b.avi", "c.avi", "a.avi"});
  ASSERT_EQ(window.items().size(), 3u);
  SourceListCtrl* list = window.list();
  EXPECT_EQ(list->rowCount(), 3);
  EXPECT_EQ(list->item(0, kColOutput)->text().toStdString(), dir / "out/a.mp4");
  EXPECT_EQ(list->item(0, kColEnd)->text(), "00:00:10.00");
  window.OnCommand(ids::kRemove);
  EXPECT_EQ(shell.messages.back(), kNoSelection);
  list->SelectRow(1);
  window.OnCommand(ids::kRemove);
  EXPECT_EQ(list->rowCount(), 2);
  EXPECT_EQ(list->item(1, kColId)->text(), "2");
  EXPECT_EQ(window.items()[1]->sourcePath, dir / "c.avi");
  window.OnCommand(ids::kCmdClear);
  EXPECT_EQ(list->rowCount(), 0);
  EXPECT_TRUE(window.items().empty());
  const auto messages = shell.messages.size();
  window.OnCommand(ids::kClear);  // already empty: still no message
  EXPECT_EQ(shell.messages.size(), messages);
}

TEST_F(MainWindowTest, AddNeedsAnOutputFolder) {
  OutputEdit()->clear();
  shell.openFiles.push_back({dir / "a.avi"});
  window.OnCommand(ids::kAdd);
  EXPECT_TRUE(test::WaitUntilRead(window));
  EXPECT_EQ(shell.messages.back(), kNoOutputFolder);
  EXPECT_EQ(shell.openFiles.size(), 1u);  // the dialog was not shown
  EXPECT_EQ(shell.captions.back(), "orvantic");
}

TEST_F(MainWindowTest, ListMenuCommandsRunAfterTheMenuCloses) {
  Add({"a.avi", "b.avi"});
  window.list()->SelectRow(0);
  std::unique_ptr<QMenu> menu(window.list()->BuildContextMenu());
  QAction* remove = nullptr;
  for (QAction* a : menu->actions())
    if (a->text() == "Delete Video File") remove = a;
  ASSERT_NE(remove, nullptr);
  remove->trigger();
  EXPECT_EQ(window.items().size(), 2u);  // posted, not yet run
  QCoreApplication::processEvents();
  EXPECT_EQ(window.items().size(), 1u);
  EXPECT_EQ(window.items()[0]->sourcePath, dir / "b.avi");
}

TEST_F(MainWindowTest, SetOutputFileNameRenamesTheSelectedItem) {
  Add({"a.avi"});
  shell.inputs = {"movie"};
  window.OnCommand(ids::kCmdSetOutputName);
  EXPECT_EQ(shell.inputs.size(), 1u);  // nothing selected: nothing asked
  window.list()->SelectRow(0);
  window.OnPosted(kMsgListSetOutputName);
  EXPECT_EQ(window.items()[0]->outputPath, dir / "out/movie.mp4");
  EXPECT_EQ(window.list()->item(0, kColOutput)->text().toStdString(), dir / "out/movie.mp4");
}

TEST_F(MainWindowTest, ChosenOutputFolderRebasesAndIsSaved) {
  Add({"a.avi"});
  shell.folders = {dir / "chosen"};
  window.OnCommand(ids::kBrowse);
  EXPECT_EQ(OutputEdit()->text().toStdString(), dir / "chosen");
  EXPECT_EQ(window.items()[0]->outputPath, dir / "chosen/a.mp4");
  EXPECT_NE(SettingsFile().find("OutputPath=" + dir / "chosen"), std::string::npos);
  OutputEdit()->setText("typed but not left");
  window.OnCommand(ids::kCmdSetOutputPath);  // Cancel: only the edit box is refreshed
  EXPECT_EQ(OutputEdit()->text().toStdString(), dir / "chosen");
  EXPECT_EQ(window.items()[0]->outputPath, dir / "chosen/a.mp4");
}

TEST_F(MainWindowTest, OverwriteDialogMarksTheSettingAndSavesOnOk) {
  settings.overWriteType = 2;
  QTimer::singleShot(0, [] {
    auto* d = qobject_cast<OverwriteDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->Radio(2)->isChecked());
    d->Radio(3)->click();
    d->accept();
  });
  window.OnCommand(ids::kCmdOverwrite);
  EXPECT_EQ(settings.overWriteType, 3);
  EXPECT_NE(SettingsFile().find("OverWriteType=3"), std::string::npos);

  QTimer::singleShot(0, [] {
    auto* d = qobject_cast<OverwriteDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    d->Radio(1)->click();
    d->reject();
  });
  window.OnCommand(ids::kCmdOverwrite);
  EXPECT_EQ(settings.overWriteType, 3);
}

TEST_F(MainWindowTest, HelpAndLinksOpenThroughTheDesktop) {
  window.OnCommand(ids::kCmdHelp);
  window.OnCommand(ids::kWebsite);
  window.OnCommand(ids::kCmdContact);
  ASSERT_EQ(shell.urls.size(), 3u);
  EXPECT_EQ(shell.urls[0], "file://" + dir / "help.html");
  EXPECT_EQ(shell.urls[1].substr(0, 8), "https://");
  EXPECT_EQ(shell.urls[2].substr(0, 7), "mailto:");
}

TEST_F(MainWindowTest, TitleBandDragsTheWindowAndTheRestOfTheSkinDoesNot) {
  const QPoint start = window.pos();
  QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(100, 30));
  QTest::mouseMove(&window, QPoint(140, 60));
  QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(140, 60));
  EXPECT_EQ(window.pos(), start);
  // Offscreen there is no window manager to move it, so the window moves itself.
  QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(100, 10));
  QTest::mouseMove(&window, QPoint(140, 30));
  EXPECT_EQ(window.pos(), start + QPoint(40, 20));
  QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(140, 30));
  QTest::mouseMove(&window, QPoint(200, 200));
  EXPECT_EQ(window.pos(), start + QPoint(40, 20));
}

TEST_F(MainWindowTest, ClickOnARowShowsItsClipInTheSliders) {
  Add({"a.avi"});
  auto* position = static_cast<PositionSlider*>(window.Control(ids::kPositionSlider));
  auto* range = static_cast<RangeSlider*>(window.Control(ids::kRangeSlider));
  EXPECT_DOUBLE_EQ(position->GetPos(), 40.0);
  const QRect row = window.list()->visualRect(window.list()->model()->index(0, 1));
  QTest::mouseClick(window.list()->viewport(), Qt::LeftButton, {}, row.center());
  EXPECT_EQ(window.list()->SelectedRow(), 0);
  EXPECT_DOUBLE_EQ(position->GetMax(), 10.0);
  EXPECT_DOUBLE_EQ(position->GetPos(), 0.0);
  EXPECT_DOUBLE_EQ(range->model().RangeMax(), 10.0);
  EXPECT_DOUBLE_EQ(range->GetRight(), 10.0);
}

TEST_F(MainWindowTest, EveryCommandIsAvailable) {
  for (int id : {ids::kDvd, ids::kSaveProfileAs, ids::kAdd, ids::kConvert, ids::kStop, ids::kStopPlaying, ids::kBrowse, ids::kPlayPause,
                 ids::kPlayPrevious, ids::kPlayNext})
    EXPECT_TRUE(window.Control(id)->isEnabled()) << id;
  for (int menu : {ids::kFileMenu, ids::kEditMenu, ids::kSettingsMenu, ids::kPlayMenu,
                   ids::kConvertMenu, ids::kHelpMenu})
    for (QAction* action : window.PopupMenu(menu)->actions())
      EXPECT_TRUE(action->isEnabled()) << action->text().toStdString();
}

TEST_F(MainWindowTest, AboutBoxNamesUs) {
  QTimer::singleShot(0, [] {
    auto* about = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->windowTitle(), "About...");
    about->accept();
  });
  window.OnCommand(ids::kCmdAbout);
}

TEST_F(MainWindowTest, PlayingIsStoppedBeforeAListCommand) {
  StartPlaying();
  window.OnCommand(ids::kCmdStopConversion);  // the Convert menu's Stop leaves a player alone
  EXPECT_EQ(window.Activity(), EngineActivity::Playing);
  window.OnCommand(ids::kAdd);
  EXPECT_TRUE(test::WaitUntilRead(window));
  EXPECT_EQ(window.Activity(), EngineActivity::Idle);
  EXPECT_TRUE(shell.messages.empty());
}

TEST_F(MainWindowTest, PlayMenuStopEndsThePlayer) {
  StartPlaying();
  window.OnCommand(ids::kCmdStopPlaying);
  EXPECT_EQ(window.Activity(), EngineActivity::Idle);
}

TEST_F(MainWindowTest, ConvertingRefusesListCommandsButTakesATypedFolder) {
  StartConverting();
  const int refusing[] = {ids::kAdd,    ids::kRemove,           ids::kClear,
                          ids::kBrowse, ids::kCmdSetOutputPath, ids::kCmdOverwrite,
                          ids::kCmdSetOutputName};
  for (int id : refusing) {
    shell.messages.clear();
    window.OnCommand(id);
    EXPECT_EQ(shell.messages, std::vector<std::string>{kConvertingRefusal}) << id;
  }
  window.OnPosted(kMsgListClear);
  EXPECT_EQ(window.items().size(), 2u);

  LeaveOutputEdit(dir / "typed");
  EXPECT_EQ(window.items()[0]->outputPath, dir / "typed/a.mp4");
  EXPECT_EQ(window.items()[1]->outputPath, dir / "typed/b.mp4");
  EXPECT_EQ(settings.outputPath, dir / "typed");
  EXPECT_NE(SettingsFile().find("OutputPath=" + dir / "typed"), std::string::npos);

  window.OnCommand(ids::kCmdStopPlaying);  // the Play menu's Stop leaves a conversion alone
  EXPECT_EQ(window.Activity(), EngineActivity::Converting);
  shell.messages.clear();
  window.OnCommand(ids::kCmdStopConversion);
  ASSERT_TRUE(WaitFor([&] { return !window.batchRun().ThreadRunning(); }));
  QCoreApplication::processEvents();
  ASSERT_EQ(shell.messages.size(), 1u);
  EXPECT_EQ(shell.messages[0].rfind(kStoppedMessage, 0), 0u) << shell.messages[0];
  EXPECT_EQ(static_cast<GradientProgress*>(window.Control(ids::kListProgress))->GetPos(), 100);
}

TEST_F(MainWindowTest, ShutDownBoxPowersOffInsteadOfTheMessage) {
  config = "duration=10\nwrite_output=1\n";
  Add({"a.avi"});
  static_cast<QCheckBox*>(window.Control(ids::kShutDown))->setChecked(true);
  window.OnCommand(ids::kCmdConvert);
  ASSERT_TRUE(WaitFor([&] { return shell.powerOffRequests == 1; }));
  ASSERT_TRUE(WaitFor([&] { return !window.batchRun().ThreadRunning(); }));
  EXPECT_TRUE(shell.messages.empty());
  EXPECT_EQ(shell.countdowns, std::vector<std::string>{"Complete!"});
}

// Stop, and closing the window, end a run without powering off, and leave
// no engine converting behind.
TEST_F(MainWindowTest, StopOrCloseWithTheShutDownBoxTickedNeverPowersOff) {
  static_cast<QCheckBox*>(window.Control(ids::kShutDown))->setChecked(true);
  StartConverting();
  window.OnCommand(ids::kStop);
  ASSERT_TRUE(WaitFor([&] { return !window.batchRun().ThreadRunning(); }));
  QCoreApplication::processEvents();
  EXPECT_EQ(shell.powerOffRequests, 0);
  EXPECT_TRUE(shell.countdowns.empty());
  ASSERT_EQ(shell.messages.size(), 1u);
  EXPECT_EQ(shell.messages[0].rfind(kStoppedMessage, 0), 0u);

  window.OnCommand(ids::kConvert);
  ASSERT_TRUE(WaitFor([&] { return window.Activity() == EngineActivity::Converting; }));
  shell.answers = {true};
  window.close();
  EXPECT_FALSE(window.batchRun().ThreadRunning());
  EXPECT_FALSE(IsEngineRunning(installation.EngineLocation()));
  EXPECT_TRUE(window.items().empty());
  EXPECT_EQ(shell.powerOffRequests, 0);
}

TEST_F(MainWindowTest, ExitDuringARunEndsTheRunFirst) {
  StartConverting();
  shell.answers = {true};
  window.OnCommand(ids::kExit);
  EXPECT_EQ(exitStatus, 1);
  EXPECT_FALSE(window.batchRun().ThreadRunning());
  EXPECT_FALSE(IsEngineRunning(installation.EngineLocation()));
}

}  // namespace
}  // namespace orv
