// The window's desktop manners: message boxes that show their whole text,
// the folder chooser's start, drops onto the list, names for screen readers,
// readable paths and drop-down entries, the time left during a run, and the
// end message's way to the output folder.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QFontMetrics>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTreeView>
#include <QUrl>
#include <filesystem>

#include "gui/folder_chooser.h"
#include "gui/main_window.h"
#include "tests/support/shown_window.h"
#include "gui/main_window_ids.h"
#include "gui/message_box.h"
#include "gui/power_off_countdown.h"
#include "gui/qt_shell.h"
#include "gui/source_list_ctrl.h"
#include "core/convert/batch_run.h"
#include "tests/support/test_support.h"
#include "tests/widget/widget_support.h"

namespace orv {
namespace {

using test::WriteText;

// The label's text needs no more room than the label has, and the label lies
// inside the box.
void ExpectWhole(const MessageDialog& box) {
  const QLabel* label = box.TextLabel();
  const QRect needed = label->fontMetrics().boundingRect(
      QRect(0, 0, label->width(), 100000), Qt::TextWordWrap, label->text());
  EXPECT_LE(needed.width(), label->width());
  EXPECT_LE(needed.height(), label->height()) << box.Text().toStdString();
  EXPECT_TRUE(box.rect().contains(QRect(label->mapTo(&box, QPoint(0, 0)), label->size())));
  EXPECT_LE(box.width(), kMessageWrapWidth + 200);
}

TEST(MessageBoxes, ALongQuestionAndAFiveFailureEndTextAreShownWhole) {
  const std::string longPath = "/home/someone/Videos/Converted for the phone/Holiday 2026/" +
                               std::string(60, 'x') + "/the_very_long_file_name_of_a_film.mp4";
  MessageDialog question(nullptr, "Warning",
                         QString::fromStdString("File \"" + longPath + "\" already exists.Overwrite?"),
                         MessageDialog::Kind::OkCancel, true);
  question.show();
  ExpectWhole(question);
  EXPECT_GT(question.TextLabel()->height(), question.TextLabel()->fontMetrics().height() * 2);

  std::vector<ItemFailure> failures;
  for (int i = 1; i <= 5; ++i)
    failures.push_back({i, "/media/films/" + std::string(40, char('a' + i)) + ".avi",
                        "cannot write '/out/" + std::to_string(i) + ".mp4': No space left on device"});
  MessageDialog end(nullptr, "orvantic", QString::fromStdString(BatchRun::EndMessage(failures)),
                    MessageDialog::Kind::Ok, false, kOpenOutputFolder);
  end.show();
  ExpectWhole(end);
  // The text the box holds is the run's text (break chances aside).
  EXPECT_EQ(end.TextLabel()->text().remove(QChar(0x200B)), end.Text());

  MessageDialog shortBox(nullptr, "orvantic", "Complete!", MessageDialog::Kind::Ok, false);
  shortBox.show();
  ExpectWhole(shortBox);
  EXPECT_EQ(shortBox.TextLabel()->width(), kMessageMinWidth);
}

TEST(FolderChooserDialog, OpensWithNothingSelectedShowingTheOutputFoldersParent) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "videos/out");
  FolderChooserDialog dialog(nullptr, "\"Please Select a Folder:\"", "",
                             QString::fromStdString(dir / "videos"));
  dialog.show();
  dialog.tree()->setFocus();
  QTest::qWait(50);
  EXPECT_TRUE(dialog.SelectedPath().isEmpty());
  EXPECT_FALSE(dialog.okButton()->isEnabled());
  EXPECT_TRUE(dialog.StatusText().isEmpty());
  EXPECT_TRUE(dialog.tree()->isExpanded(
      static_cast<const QFileSystemModel*>(dialog.tree()->model())->index(
          QString::fromStdString(dir / "videos"))));

  // New Folder makes it in the shown folder and selects it.
  ASSERT_TRUE(dialog.MakeFolder("made here"));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "videos/made here"));
  EXPECT_EQ(dialog.SelectedPath().toStdString(), dir / "videos/made here");
  EXPECT_TRUE(dialog.okButton()->isEnabled());
  EXPECT_EQ(dialog.pathField()->text().toStdString(), dir / "videos/made here");

  // A typed path is chosen by OK.
  dialog.pathField()->setText(QString::fromStdString(dir / "videos/out"));
  dialog.okButton()->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.SelectedPath().toStdString(), dir / "videos/out");
}

TEST(QtShellText, NoHandlerNamesTheAddress) {
  EXPECT_TRUE(NoHandlerText("https://orvantic.org/").contains("https://orvantic.org/"));
  EXPECT_TRUE(NoHandlerText("mailto:support@orvantic.org").contains("support@orvantic.org"));
  EXPECT_TRUE(NoHandlerText("file:///usr/share/orvantic/help.html")
                  .contains("/usr/share/orvantic/help.html"));
}

class OfferingShell : public test::ScriptedShell {
 public:
  bool MessageOffering(const std::string& text, const std::string& caption,
                       const std::string& button) override {
    offered.push_back(button);
    ScriptedShell::Message(text, caption);
    return openFolder;
  }
  std::string ChooseFolderShowing(const std::string& title, const std::string& start,
                                  const std::string& shown) override {
    shownFolders.push_back(shown);
    starts.push_back(start);
    return ChooseFolder(title, start);
  }
  std::vector<std::string> offered, shownFolders, starts;
  bool openFolder = true;
};

class DesktopWindowTest : public ::testing::Test, protected test::ShownWindow<OfferingShell> {
 protected:
  DesktopWindowTest() : test::ShownWindow<OfferingShell>(ORV_FAKE_ENGINE, 1) {
  }
  ~DesktopWindowTest() override { window.StopConversion(); }

  void Drop(const std::vector<std::string>& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const auto& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p));
    data.setUrls(urls);
    QWidget* target = window.list()->viewport();
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted());
  }

};

TEST_F(DesktopWindowTest, DroppedFilesAndFoldersAreAddedAsAddFileAddsThem) {
  WriteText(dir / "fake.cfg", "duration=10\nwidth=320\nheight=240\n");
  std::filesystem::create_directories(dir / "more");
  for (const char* name : {"a.avi", "b.mov", "c.mpg", "more/d.avi", "more/notes.txt"})
    WriteText(dir / name, "x");
  Drop({dir / "a.avi", dir / "b.mov", dir / "c.mpg"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.items().size() == 3; }, 10000));
  EXPECT_EQ(window.list()->rowCount(), 3);
  EXPECT_EQ(window.items()[1]->outputPath, dir / "out/b.mp4");  // the profile's naming
  EXPECT_TRUE(shell.dialogs.empty());  // no file dialog for a drop

  // The same guards: a file already listed is not added twice; a folder
  // gives its supported files.
  Drop({dir / "a.avi", dir / "more"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.items().size() == 4; }, 10000));
  QTest::qWait(100);
  EXPECT_EQ(window.items().size(), 4u);
  EXPECT_EQ(window.items()[3]->sourcePath, dir / "more/d.avi");

  // The list shows the file name of a long path, with the whole path as a tooltip.
  const QFontMetrics metrics(window.list()->font());
  const QString longPath = "/home/someone/Videos/from the old camera/2026/Birthday party.mp4";
  const int room = metrics.horizontalAdvance("/home/so/Birthday party.mp4");
  const QString shown = ElidePath(longPath, metrics, room);
  EXPECT_TRUE(shown.endsWith(QString(QChar(0x2026)) + "/Birthday party.mp4")) << shown.toStdString();
  EXPECT_TRUE(shown.startsWith("/ho")) << shown.toStdString();  // the start of the folders
  EXPECT_LE(metrics.horizontalAdvance(shown), room);
  const int narrow = metrics.horizontalAdvance("Birthday");
  EXPECT_LE(metrics.horizontalAdvance(ElidePath(longPath, metrics, narrow)), narrow);
  EXPECT_EQ(ElidePath("/tmp/a.avi", metrics, 130), "/tmp/a.avi");
  EXPECT_EQ(window.list()->item(0, kColSource)->toolTip().toStdString(), dir / "a.avi");
  EXPECT_EQ(window.list()->item(0, kColOutput)->toolTip().toStdString(), dir / "out/a.mp4");
}

TEST_F(DesktopWindowTest, EverySkinnedControlHasANameAndNewProjectIsEnabled) {
  for (int id : {ids::kExit, ids::kMinimise, ids::kFileMenu, ids::kEditMenu, ids::kSettingsMenu,
                 ids::kPlayMenu, ids::kConvertMenu, ids::kHelpMenu, ids::kAdd, ids::kRemove,
                 ids::kClear, ids::kConvert, ids::kStop, ids::kDvd, ids::kWebsite, ids::kPlayPause,
                 ids::kStopPlaying, ids::kPlayPrevious, ids::kPlayNext, ids::kSaveProfileAs,
                 ids::kBrowse, ids::kCancel, ids::kSourceList, ids::kSettingsGrid,
                 ids::kPositionSlider, ids::kRangeSlider, ids::kProfileCombo, ids::kOutputFolder,
                 ids::kItemProgress, ids::kListProgress})
    EXPECT_FALSE(window.Control(id)->accessibleName().isEmpty()) << id;
  QMenu* file = window.PopupMenu(ids::kFileMenu);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->actions().first()->isEnabled());
  EXPECT_EQ(file->actions().first()->text(), "New project");
}

TEST_F(DesktopWindowTest, TheHoveredProfileEntryIsReadable) {
  // The program's own colours, as main() sets them for every dialog.
  ApplyDialogColours();
  const auto restore = qScopeGuard([] { qApp->setStyleSheet(QString()); });
  auto* combo = static_cast<QComboBox*>(window.Control(ids::kProfileCombo));
  combo->showPopup();
  QAbstractItemView* view = combo->view();
  ASSERT_TRUE(QTest::qWaitFor([&] { return view->isVisible(); }, 5000));
  // The pointer comes over the MP3 entry, as a user's does.
  const QModelIndex mp3 = view->model()->index(3, 0);
  const QRect row = view->visualRect(mp3);
  QTest::mouseMove(view->viewport(), row.center() - QPoint(20, 0));
  QTest::mouseMove(view->viewport(), row.center());
  ASSERT_TRUE(QTest::qWaitFor([&] { return view->currentIndex() == mp3; }, 2000));
  QTest::qWait(50);
  const QImage image = view->viewport()->grab().toImage();
  // The background at the row's visible right end (past the text), and how
  // many pixels of the row stand clearly apart from it: the letters.
  const int right = std::min(row.right(), image.width() - 1);
  const QColor back = image.pixelColor(right - 3, row.center().y());
  const int backSum = back.red() + back.green() + back.blue();
  int letters = 0;
  for (int x = row.left(); x < right; ++x)
    for (int y = row.top(); y <= row.bottom(); ++y) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() + c.green() + c.blue() - backSum) > 300) ++letters;
    }
  EXPECT_LT(backSum, 500) << "the entry under the pointer is not highlighted";
  EXPECT_GT(back.blue(), back.red() + 60) << "the highlight is not the skin's blue";
  EXPECT_GT(letters, 40) << "text and background alike";
  combo->hidePopup();
}

TEST_F(DesktopWindowTest, TheSliderThumbHasNoMagentaFringe) {
  const QImage image = window.Control(ids::kPositionSlider)->grab().toImage();
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      const bool magentaish = c.red() > 140 && c.blue() > 140 && c.green() < c.red() - 60;
      ASSERT_FALSE(magentaish) << x << "," << y;
    }
}

TEST_F(DesktopWindowTest, TheRunShowsItemAndTimeLeftAndOffersTheOutputFolder) {
  // Two items of 10 s; each engine run advances 0.25 s of position per 50 ms.
  WriteText(dir / "fake.cfg", "duration=10\nwidth=320\nheight=240\nrun_ms=2000\nstep=0.25\n");
  for (const char* name : {"a.avi", "b.avi"}) WriteText(dir / name, "x");
  shell.openFiles.push_back({dir / "a.avi", dir / "b.avi"});
  window.OnCommand(ids::kAdd);
  EXPECT_TRUE(test::WaitUntilRead(window));
  ASSERT_EQ(window.items().size(), 2u);
  window.OnCommand(ids::kConvert);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return window.EstimateShown().startsWith("Item 1 of 2"); }, 10000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.EstimateShown().contains("left"); }, 10000))
      << window.EstimateShown().toStdString();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window.batchRun().ThreadRunning(); }, 30000));
  EXPECT_TRUE(window.EstimateShown().isEmpty());
  ASSERT_EQ(shell.offered, std::vector<std::string>{kOpenOutputFolder});
  ASSERT_FALSE(shell.urls.empty());
  EXPECT_EQ(shell.urls.back(), "file://" + dir / "out");
}

TEST_F(DesktopWindowTest, BrowseStartsAtTheOutputFoldersParentWithNothingSelected) {
  shell.folders.push_back("");
  window.OnCommand(ids::kBrowse);
  ASSERT_EQ(shell.shownFolders.size(), 1u);
  EXPECT_EQ(shell.shownFolders[0] + "/", dir.path());
  EXPECT_EQ(shell.starts[0], "");
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

// The last word before a power-off: the end text, a countdown, and Cancel
// (or closing the window) keeps the computer on.
TEST(PowerOffCountdownTest, RunsOutOrIsCancelled) {
  PowerOffCountdown running(nullptr, "Complete!\n\n1 item was not converted:", 2);
  EXPECT_EQ(running.CountdownText(), "The computer will be powered off in 2 seconds.");
  QList<QLabel*> labels = running.findChildren<QLabel*>();
  ASSERT_FALSE(labels.empty());
  EXPECT_TRUE(labels[0]->text().contains("1 item was not converted"));
  QTimer::singleShot(1100, [&] {
    EXPECT_EQ(running.CountdownText(), "The computer will be powered off in 1 second.");
  });
  EXPECT_EQ(running.exec(), QDialog::Accepted);

  PowerOffCountdown cancelled(nullptr, "Complete!", 60);
  QTimer::singleShot(50, [&] { cancelled.cancelButton()->click(); });
  EXPECT_EQ(cancelled.exec(), QDialog::Rejected);

  PowerOffCountdown closed(nullptr, "Complete!", 60);
  QTimer::singleShot(50, [&] { closed.close(); });
  EXPECT_EQ(closed.exec(), QDialog::Rejected);
}

}  // namespace
}  // namespace orv
