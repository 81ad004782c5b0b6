// The whole road through the window with the real engine: files added
// through the open-file dialog, converted, the rows and bars, "Complete!".
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QScreen>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "gui/main_window.h"
#include "gui/main_window_ids.h"
#include "gui/source_list_ctrl.h"
#include "gui/dvd/dvd_dialog.h"
#include "gui/settings/settings_grid.h"
#include "gui/skin/gradient_progress.h"
#include "tests/support/test_support.h"
#include "tests/widget/widget_support.h"

namespace orv {
namespace {

TEST(MainWindowEndToEnd, AddsAndConvertsGeneratedFiles) {
  if (!std::filesystem::exists(ORV_REAL_ENGINE)) GTEST_SKIP() << "no engine at " ORV_REAL_ENGINE;
  test::TempDir dir;
  int status = 0;
  for (const char* name : {"first.avi", "second.avi"}) {
    test::RunCommand(
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i "
        "testsrc=size=320x240:rate=25:duration=2 -f lavfi -i sine=duration=2 "
        "-shortest '" +
            dir / name + "'",
        &status);
    ASSERT_EQ(status, 0) << "ffmpeg could not make " << name;
  }
  const Installation installation = test::InstallEngine(dir.path(), ORV_REAL_ENGINE);
  AppSettings settings{kOverwrite, dir / "out"};
  std::filesystem::create_directories(settings.outputPath);
  test::ScriptedShell shell;
  MainWindow window(installation, settings, shell);
  window.SetExitHook([](int) {});
  window.show();

  shell.openFiles.push_back({dir / "first.avi", dir / "second.avi"});
  window.OnCommand(ids::kAdd);
  EXPECT_TRUE(test::WaitUntilRead(window));
  ASSERT_EQ(window.items().size(), 2u);
  SourceListCtrl* list = window.list();
  ASSERT_EQ(list->rowCount(), 2);
  EXPECT_EQ(list->item(1, kColId)->text(), "2");
  EXPECT_EQ(list->item(0, kColSource)->text().toStdString(), dir / "first.avi");
  EXPECT_EQ(list->item(0, kColBegin)->text(), "00:00:00.00");
  EXPECT_EQ(list->item(0, kColEnd)->text().left(7), "00:00:0");
  EXPECT_EQ(list->item(1, kColOutput)->text().toStdString(), dir / "out/second.mp4");
  EXPECT_EQ(list->item(1, kColFormat)->text(), "mp4");

  auto* itemBar = static_cast<GradientProgress*>(window.Control(ids::kItemProgress));
  auto* listBar = static_cast<GradientProgress*>(window.Control(ids::kListProgress));
  itemBar->SetPos(0);
  listBar->SetPos(0);
  window.OnCommand(ids::kConvert);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !shell.messages.empty(); }, 180000));
  EXPECT_EQ(shell.messages, std::vector<std::string>{"Complete!"});
  EXPECT_EQ(itemBar->GetPos(), 100);
  EXPECT_EQ(listBar->GetPos(), 100);
  EXPECT_EQ(list->SelectedRow(), 1);  // the run selects each row it converts
  for (const char* name : {"out/first.mp4", "out/second.mp4"})
    EXPECT_GT(std::filesystem::file_size(dir / name), 0u) << name;
  EXPECT_EQ(window.Activity(), EngineActivity::Idle);
}

// Opens the editor of the grid row with that caption.
void OpenGridRow(SettingsGrid* grid, const std::string& caption) {
  grid->viewport()->grab();
  for (int i = 0; i < grid->RowCount(); ++i) {
    if (grid->Row(i)->caption != caption) continue;
    grid->verticalScrollBar()->setValue(i);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      QPoint(grid->SplitterX() + 20, grid->RowRect(i).center().y()));
    return;
  }
  FAIL() << "no row " << caption;
}

void PickInGrid(SettingsGrid* grid, const std::string& caption, const QString& text) {
  OpenGridRow(grid, caption);
  QComboBox* box = grid->ComboBox();
  ASSERT_NE(box, nullptr);
  box->showPopup();
  const QModelIndex index = box->view()->model()->index(box->findText(text), 0);
  QTest::mouseClick(box->view()->viewport(), Qt::LeftButton, {},
                    box->view()->visualRect(index).center());
  QApplication::processEvents();
}

void TypeInGrid(SettingsGrid* grid, const std::string& caption, const QString& text) {
  OpenGridRow(grid, caption);
  ASSERT_NE(grid->TextBox(), nullptr);
  grid->TextBox()->selectAll();
  QTest::keyClicks(grid->TextBox(), text);
  QApplication::processEvents();
}

std::string Probe(const std::string& path, const std::string& entries) {
  return test::RunCommand("ffprobe -v error -show_entries " + entries +
                          " -of default=noprint_wrappers=1:nokey=1 '" + path + "'");
}

TEST(MainWindowEndToEnd, EachItemConvertsWithItsOwnGridSettings) {
  if (!std::filesystem::exists(ORV_REAL_ENGINE)) GTEST_SKIP() << "no engine at " ORV_REAL_ENGINE;
  test::TempDir dir;
  int status = 0;
  for (const char* name : {"talk.avi", "music.avi"}) {
    test::RunCommand(
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=6 "
        "-f lavfi -i sine=frequency=440:duration=6 -ac 2 -shortest '" + dir / name + "'",
        &status);
    ASSERT_EQ(status, 0) << "ffmpeg could not make " << name;
  }
  const Installation installation = test::InstallEngine(dir.path(), ORV_REAL_ENGINE);
  AppSettings settings{kOverwrite, dir / "out"};
  std::filesystem::create_directories(settings.outputPath);
  test::ScriptedShell shell;
  MainWindow window(installation, settings, shell);
  window.SetExitHook([](int) {});
  window.show();
  shell.openFiles.push_back({dir / "talk.avi", dir / "music.avi"});
  window.OnCommand(ids::kAdd);
  EXPECT_TRUE(test::WaitUntilRead(window));
  ASSERT_EQ(window.items().size(), 2u);
  SettingsGrid* grid = window.grid();
  auto clickRow = [&](int row) {
    const QRect r = window.list()->visualRect(window.list()->model()->index(row, 1));
    QTest::mouseClick(window.list()->viewport(), Qt::LeftButton, {}, r.center());
  };

  // The first item: MP3, trimmed to 1.00 .. 3.50 s typed into the grid.
  clickRow(0);
  auto* combo = static_cast<QComboBox*>(window.Control(ids::kProfileCombo));
  combo->setCurrentIndex(3);
  emit combo->activated(3);
  PickInGrid(grid, "Clip video", "yes");
  TypeInGrid(grid, "Start time", "00:00:01.00");
  TypeInGrid(grid, "End time", "00:00:03.50");
  EXPECT_EQ(window.items()[0]->clipEnabled, 1);
  // The second: MP4 with its sound mixed to one channel.
  clickRow(1);
  PickInGrid(grid, "Audio channel", "mixed mono");
  EXPECT_EQ(window.items()[1]->audioChannel, "mixed mono");

  window.OnCommand(ids::kConvert);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !shell.messages.empty(); }, 180000));
  EXPECT_EQ(shell.messages, std::vector<std::string>{"Complete!"});

  const std::string mp3 = dir / "out/talk.mp3";
  ASSERT_TRUE(std::filesystem::exists(mp3));
  EXPECT_EQ(Probe(mp3, "format=format_name"), "mp3\n");
  EXPECT_NEAR(std::stod(Probe(mp3, "format=duration")), 2.5, 0.15);
  const std::string mp4 = dir / "out/music.mp4";
  EXPECT_EQ(Probe(mp4, "stream=channels -select_streams a:0"), "1\n");
  EXPECT_NEAR(std::stod(Probe(mp4, "format=duration")), 6.0, 0.2);
}

// One pixel of the output's picture at `seconds`, as "r,g,b".
std::vector<int> PixelAt(const std::string& file, double seconds, int x, int y, int width) {
  const std::string bytes = test::RunCommand(
      "ffmpeg -nostdin -loglevel error -ss " + std::to_string(seconds) + " -i '" + file +
      "' -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
  const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
  if (bytes.size() < at + 3) return {};
  return {static_cast<unsigned char>(bytes[at]), static_cast<unsigned char>(bytes[at + 1]),
          static_cast<unsigned char>(bytes[at + 2])};
}

TEST(MainWindowEndToEnd, DvdTitleFromADiscImageConverts) {
  if (!std::filesystem::exists(ORV_REAL_ENGINE)) GTEST_SKIP() << "no engine at " ORV_REAL_ENGINE;
  test::TempDir dir;
  int status = 0;
  test::RunCommand("sh '" ORV_MAKE_DVD "' '" + dir / "dvd" + "' >/dev/null 2>&1", &status);
  if (status != 0 || !std::filesystem::exists(dir / "dvd/disc.iso"))
    GTEST_SKIP() << "no DVD authoring tools";
  const Installation installation = test::InstallEngine(dir.path(), ORV_REAL_ENGINE);
  test::WriteText(installation.SettingsFilePath(), "[DRIVES]\nK=" + dir / "dvd/disc.iso" + "\n");
  AppSettings settings{kOverwrite, dir / "out"};
  std::filesystem::create_directories(settings.outputPath);
  test::ScriptedShell shell;
  MainWindow window(installation, settings, shell);
  window.SetExitHook([](int) {});
  window.show();

  std::string audioText, subtitleText;
  window.SetDvdDialogHook([&](DvdDialog& dialog) {
    QTimer::singleShot(0, &dialog, [&] {
      QComboBox* drives = dialog.List(DvdDialog::kDriveList);
      const int k = drives->findText("K:\\");
      ASSERT_GE(k, 0);
      if (drives->currentIndex() != k) {
        drives->setCurrentIndex(k);
        emit drives->activated(k);
      }
      ASSERT_EQ(dialog.List(DvdDialog::kTitleList)->count(), 2);
      dialog.List(DvdDialog::kFirstChapterList)->setCurrentIndex(1);
      dialog.List(DvdDialog::kLastChapterList)->setCurrentIndex(2);
      dialog.List(DvdDialog::kAudioList)->setCurrentIndex(1);
      dialog.List(DvdDialog::kSubtitleList)->setCurrentIndex(0);
      audioText = dialog.List(DvdDialog::kAudioList)->currentText().toStdString();
      subtitleText = dialog.List(DvdDialog::kSubtitleList)->currentText().toStdString();
      dialog.findChild<QPushButton*>()->click();
    });
  });
  window.OnCommand(ids::kDvd);
  ASSERT_EQ(window.items().size(), 1u) << audioText;
  const SourceItem& item = *window.items()[0];
  EXPECT_EQ(item.sourcePath, "DVD_DRIVE_K");
  EXPECT_EQ(item.dvdFirstChapter, 2);
  EXPECT_EQ(item.dvdLastChapter, 3);
  EXPECT_EQ(item.dvdSubtitleId, 0);
  EXPECT_NE(audioText.find("(de)"), std::string::npos) << audioText;
  EXPECT_NE(subtitleText.find("en"), std::string::npos) << subtitleText;

  if (QGuiApplication::platformName() == "xcb") {
    // On a real X server: a second of it plays in the panel.
    window.list()->SelectRow(0);
    window.Play();
    EngineLink progress(installation, shell);
    progress.PrepareFolder(installation.programFolder);
    ASSERT_TRUE(QTest::qWaitFor([&] { return progress.ReadPosition() > 3.0; }, 20000))
        << "the title did not play";
    QWidget* panel = window.Control(ids::kVideoPanel);
    const QPoint at = panel->mapToGlobal(panel->rect().center());
    const QColor shown =
        QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), 1, 1).toImage().pixelColor(0, 0);
    EXPECT_GT(shown.red() + shown.green() + shown.blue(), 150) << shown.name().toStdString();
    window.StopPlaying();
    EXPECT_EQ(window.Activity(), EngineActivity::Idle);
  }

  window.OnCommand(ids::kConvert);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !shell.messages.empty(); }, 180000));
  EXPECT_EQ(shell.messages, std::vector<std::string>{"Complete!"});
  const std::string out = dir / "out/DVD_DRIVE_K.mp4";
  // Chapters 2 and 3 of title 1 run from 2 s to its end at 6 s.
  EXPECT_NEAR(std::stod(Probe(out, "format=duration")), 4.0, 0.5);
  // The subtitle's red box stands in the lower middle from 1 s to 5 s of
  // the title: 1 s into this output it is burnt in.
  const std::vector<int> px = PixelAt(out, 1.0, 160, 200, 320);
  ASSERT_EQ(px.size(), 3u);
  EXPECT_GT(px[0], 150) << px[0] << "," << px[1] << "," << px[2];
  EXPECT_LT(px[1], 100);
}

}  // namespace
}  // namespace orv
