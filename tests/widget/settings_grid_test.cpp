// The settings grid in the window: drawing, the editors and the messages
// they post, the divider, the profile box and profile files, all through
// mouse and key events with a scripted Shell and the fake engine.
#include "gui/settings/settings_grid.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "gui/main_window.h"
#include "tests/support/shown_window.h"
#include "gui/main_window_ids.h"
#include "gui/source_list_ctrl.h"
#include "gui/preview/position_slider.h"
#include "gui/preview/range_slider.h"
#include "core/settings/profile_file.h"
#include "tests/support/test_support.h"
#include "tests/widget/widget_support.h"

namespace orv {
namespace {

using test::ReadText;
using test::WriteText;

class SettingsGridTest : public ::testing::Test, protected test::ShownWindow<test::ScriptedShell> {
 protected:
  SettingsGridTest() : test::ShownWindow<test::ScriptedShell>(ORV_FAKE_ENGINE, kOverwrite) {
    grid = window.grid();
    combo = static_cast<QComboBox*>(window.Control(ids::kProfileCombo));
  }
  ~SettingsGridTest() override { window.StopPlaying(); }

  void Add(const std::vector<std::string>& names, double duration = 10) {
    WriteText(dir / "fake.cfg", "duration=" + std::to_string(duration) + "\nwidth=320\nheight=240\n");
    std::vector<std::string> paths;
    for (const auto& name : names) paths.push_back(dir / name);
    shell.openFiles.push_back(paths);
    window.OnCommand(ids::kAdd);
    EXPECT_TRUE(test::WaitUntilRead(window));
  }
  void ClickListRow(int row, Qt::MouseButton button = Qt::LeftButton) {
    const QRect r = window.list()->visualRect(window.list()->model()->index(row, 1));
    QTest::mouseClick(window.list()->viewport(), button, {}, r.center());
  }
  int GridIndex(const std::string& caption) {
    for (int i = 0; i < grid->RowCount(); ++i)
      if (grid->Row(i)->caption == caption) return i;
    return -1;
  }
  std::vector<std::string> GridCaptions() {
    std::vector<std::string> out;
    for (int i = 0; i < grid->RowCount(); ++i) out.push_back(grid->Row(i)->caption);
    return out;
  }
  // Clicks the value cell of the row, scrolling it into view first.
  void ClickGridRow(const std::string& caption) {
    grid->viewport()->grab();  // the divider is placed when first drawn
    const int index = GridIndex(caption);
    ASSERT_GE(index, 0) << caption;
    QScrollBar* bar = grid->verticalScrollBar();
    if (grid->RowRect(index).bottom() >= grid->viewport()->height()) bar->setValue(index);
    if (grid->RowRect(index).top() < 0) bar->setValue(index);
    const QRect r = grid->RowRect(index);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      QPoint(grid->SplitterX() + 20, r.center().y()));
  }
  // Picks an entry of the open combo box as the user does, in its list.
  void Pick(const QString& text) {
    QComboBox* box = grid->ComboBox();
    ASSERT_NE(box, nullptr);
    const int index = box->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    box->showPopup();
    QAbstractItemView* view = box->view();
    const QRect r = view->visualRect(view->model()->index(index, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
    QApplication::processEvents();  // the posted messages
  }
  void ChooseProfile(int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
  }
  const SourceItem& Item(int i) { return *window.items()[static_cast<std::size_t>(i)]; }

  SettingsGrid* grid = nullptr;
  QComboBox* combo = nullptr;
};

TEST_F(SettingsGridTest, BuiltWithSixteenRowsDrawnInTwoCells) {
  EXPECT_EQ(grid->geometry(), QRect(518, 267, 190, 239));
  EXPECT_EQ(grid->RowCount(), 16);
  EXPECT_EQ(GridCaptions().front(), "Clip video");
  EXPECT_EQ(GridCaptions().back(), "Audio disabled");
  const QImage image = grid->viewport()->grab().toImage();
  EXPECT_EQ(grid->SplitterX(), grid->viewport()->width() / 2);
  // "Clip video" has the light name cell, "Video codec" (row 5) the darker one.
  EXPECT_EQ(image.pixelColor(40, 10).rgb() & 0xFFFFFF, 0xFAFAFAu);
  EXPECT_EQ(image.pixelColor(2, 5 * kGridRowHeight + 2).rgb() & 0xFFFFFF, 0xEBEBEBu);
  // The name cell's border and the value cell's plain background.
  EXPECT_EQ(image.pixelColor(0, 10).rgb() & 0xFFFFFF, 0xC8C8C8u);
  EXPECT_EQ(image.pixelColor(grid->SplitterX() + 60, 19).rgb() & 0xFFFFFF, 0xC8C8C8u);
  EXPECT_EQ(image.pixelColor(grid->SplitterX() + 60, 10).rgb() & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(SettingsGridTest, AClickOnTheListFillsTheGridFromTheItem) {
  Add({"a.avi", "b.avi"});
  ASSERT_EQ(window.items().size(), 2u);
  ChooseProfile(3);  // no item selected yet: only the grid changes
  EXPECT_EQ(Item(0).outputFormat, "mp4");
  EXPECT_EQ(grid->RowCount(), 11);
  EXPECT_EQ(window.gridRows()[kRowEnd].value, "00:00:00.00");

  ClickListRow(1, Qt::RightButton);
  if (QWidget* menu = QApplication::activePopupWidget()) menu->close();
  EXPECT_EQ(combo->currentIndex(), 0);
  EXPECT_EQ(grid->RowCount(), 16);
  EXPECT_EQ(window.gridRows()[kRowEnd].value, "00:00:10.00");
  EXPECT_EQ(window.gridRows()[kRowAudioCodec].value, "AAC");
}

TEST_F(SettingsGridTest, OutputFormatPostsTwiceAndKeepsTheExtension) {
  Add({"a.avi"});
  ClickListRow(0);
  QSignalSpy spy(grid, &SettingsGrid::posted);
  ClickGridRow("Output format");
  ASSERT_NE(grid->ComboBox(), nullptr);
  EXPECT_FALSE(grid->ComboBox()->isEditable());  // list-only
  Pick("mp4");
  ASSERT_EQ(spy.count(), 2);
  EXPECT_EQ(spy[0][0].toInt(), kMsgGridOutputFormat);
  EXPECT_EQ(spy[1][0].toInt(), kMsgGridValueChanged);
  EXPECT_EQ(Item(0).outputFormat, "mp4");
  EXPECT_EQ(Item(0).outputPath, dir / "out/a.mp4");
}

TEST_F(SettingsGridTest, ClipVideoYesThenNo) {
  Add({"a.avi"});
  ClickListRow(0);
  // A trim made on the range slider, then the clip switched on and off.
  auto* range = static_cast<RangeSlider*>(window.Control(ids::kRangeSlider));
  range->SetSelection(2.0, 6.0);
  emit range->clipRangeChanged(0);
  EXPECT_EQ(window.gridRows()[kRowStart].value, "00:00:02.00");
  QSignalSpy spy(grid, &SettingsGrid::posted);
  ClickGridRow("Clip video");
  Pick("yes");
  EXPECT_EQ(spy.count(), 2);  // 0x738, then 0x865
  EXPECT_EQ(Item(0).clipEnabled, 1);
  EXPECT_EQ(Item(0).clipStartSeconds, 2.0);  // "yes" keeps the trim

  ClickGridRow("Clip video");
  Pick("no");
  EXPECT_EQ(Item(0).clipEnabled, 0);
  EXPECT_EQ(Item(0).clipStartSeconds, 0.0);
  EXPECT_EQ(Item(0).clipEndSeconds, 10.0);
  EXPECT_EQ(window.list()->item(0, kColBegin)->text(), "00:00:00.00");
  EXPECT_EQ(window.list()->item(0, kColEnd)->text(), "00:00:10.00");
  EXPECT_EQ(window.gridRows()[kRowEnd].value, "00:00:10.00");
  EXPECT_DOUBLE_EQ(range->GetLeft(), 0.0);
  EXPECT_DOUBLE_EQ(range->GetRight(), 10.0);
}

TEST_F(SettingsGridTest, TypedClipTimesPostAtTheLastKeystrokeAndTrimTheItem) {
  Add({"a.avi"}, 200);
  ClickListRow(0);
  QSignalSpy spy(grid, &SettingsGrid::posted);
  ClickGridRow("Start time");
  QLineEdit* box = grid->TextBox();
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(box->isVisible());
  box->selectAll();
  const QString typed = "00:01:30.00";
  for (int i = 0; i < typed.size(); ++i) {
    QTest::keyClick(box, typed[i].toLatin1());
    EXPECT_EQ(spy.count(), i + 1 == typed.size() ? 1 : 0) << i;
  }
  QApplication::processEvents();
  EXPECT_EQ(spy[0][0].toInt(), kMsgGridClipTimes);
  EXPECT_EQ(Item(0).clipEnabled, 1);
  EXPECT_DOUBLE_EQ(Item(0).clipStartSeconds, 90.0);
  EXPECT_DOUBLE_EQ(Item(0).clipEndSeconds, 200.0);
  EXPECT_EQ(window.list()->item(0, kColBegin)->text(), "00:01:30.00");
  EXPECT_EQ(Item(0).clipStartText, "00:01:30.00");
  auto* position = static_cast<PositionSlider*>(window.Control(ids::kPositionSlider));
  EXPECT_DOUBLE_EQ(position->GetPos(), 90.0);
  EXPECT_DOUBLE_EQ(window.player().playStart, 90.0);

  // Blanks around the time count too; a start after the end changes nothing.
  ClickGridRow("End time");
  grid->TextBox()->selectAll();
  QTest::keyClicks(grid->TextBox(), " 00:02:00.00 ");
  QApplication::processEvents();
  EXPECT_DOUBLE_EQ(Item(0).clipEndSeconds, 120.0);
  ClickGridRow("Start time");
  grid->TextBox()->selectAll();
  QTest::keyClicks(grid->TextBox(), "00:05:00.00");
  QApplication::processEvents();
  EXPECT_DOUBLE_EQ(Item(0).clipStartSeconds, 90.0);
  EXPECT_TRUE(shell.messages.empty());
}

TEST_F(SettingsGridTest, ATypedValueIsKeptAndShown) {
  Add({"a.avi"});
  ClickListRow(0);
  ClickGridRow("Video size");
  QComboBox* box = grid->ComboBox();
  ASSERT_TRUE(box->isEditable());
  box->lineEdit()->selectAll();
  QTest::keyClicks(box->lineEdit(), "480x360");
  QApplication::processEvents();
  EXPECT_EQ(Item(0).videoSize, "480x360");
  ClickListRow(0);
  ClickGridRow("Video size");
  EXPECT_EQ(grid->ComboBox()->currentText(), "480x360");
  // A list-only row shows a value that is no option as well.
  ChooseProfile(2);
  ClickGridRow("Video bitrate");
  EXPECT_EQ(grid->ComboBox()->currentText(), "768");
}

TEST_F(SettingsGridTest, TheGridFollowsTheSelectionOnlyOnClicks) {
  Add({"a.avi", "b.avi"});
  ClickListRow(0);
  ClickGridRow("Video size");
  Pick("640x480");
  EXPECT_EQ(Item(0).videoSize, "640x480");
  // The keyboard moves the selection; the grid still shows the first item.
  window.list()->setFocus();
  QTest::keyClick(window.list(), Qt::Key_Down);
  ASSERT_EQ(window.list()->SelectedRow(), 1);
  EXPECT_EQ(window.gridRows()[kRowVideoSize].value, "640x480");
  ClickGridRow("Audio channel");
  Pick("mixed mono");
  EXPECT_EQ(Item(1).audioChannel, "mixed mono");  // the edit goes to the selected item
  EXPECT_EQ(Item(1).videoSize, "640x480");
  EXPECT_EQ(Item(0).audioChannel, "default");
}

TEST_F(SettingsGridTest, TheDividerStaysTenPixelsInside) {
  EXPECT_EQ(grid->SplitterX(), 0);  // placed when first drawn
  grid->viewport()->grab();
  const int start = grid->SplitterX();
  const int frame = grid->viewport()->x();
  QWidget* vp = grid->viewport();
  QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(start + 3, 5));
  EXPECT_TRUE(grid->Tracking());
  QTest::mouseMove(vp, QPoint(-40, 5));
  QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(-40, 5));
  EXPECT_FALSE(grid->Tracking());
  EXPECT_EQ(grid->SplitterX() + frame, kDividerMargin);
  const int left = grid->SplitterX();
  QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(left, 5));
  QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(vp->width() + 50, 5));
  EXPECT_EQ(grid->SplitterX() + frame, grid->width() - kDividerMargin - 1);
  // A press away from the divider opens an editor instead.
  QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(20, 5));
  EXPECT_FALSE(grid->Tracking());
}

TEST_F(SettingsGridTest, ProfilesOnTheSelectedItem) {
  Add({"a.avi"});
  ClickListRow(0);
  auto* range = static_cast<RangeSlider*>(window.Control(ids::kRangeSlider));
  range->SetSelection(2.0, 6.0);
  emit range->clipRangeChanged(0);
  ChooseProfile(0);  // the item's own profile: nothing changes, not even the clip
  EXPECT_EQ(Item(0).clipEnabled, 1);
  EXPECT_EQ(Item(0).clipStartSeconds, 2.0);

  ChooseProfile(3);
  EXPECT_EQ(Item(0).profileIndex, 3);
  EXPECT_EQ(Item(0).outputFormat, "mp3");
  EXPECT_EQ(Item(0).outputPath, dir / "out/a.mp3");
  EXPECT_EQ(Item(0).clipEnabled, 0);
  EXPECT_EQ(window.list()->item(0, kColFormat)->text(), "mp3");
  EXPECT_EQ(window.list()->item(0, kColOutput)->text().toStdString(), dir / "out/a.mp3");
  EXPECT_EQ(grid->RowCount(), 11);
  EXPECT_DOUBLE_EQ(range->GetLeft(), 0.0);

  ChooseProfile(2);
  EXPECT_EQ(Item(0).outputPath, dir / "out/a.mp4");
  EXPECT_EQ(Item(0).videoBitrate, "768");
  EXPECT_EQ(grid->RowCount(), 18);
  EXPECT_EQ(GridCaptions()[6], "quantizer min");

  // The customized profile before any load leaves grid and item alone.
  combo->addItem("Customized profile");
  ChooseProfile(4);
  EXPECT_EQ(Item(0).profileIndex, 4);
  EXPECT_EQ(Item(0).videoBitrate, "768");
  EXPECT_EQ(grid->RowCount(), 18);
}

TEST_F(SettingsGridTest, SavedRightAfterStartAndLoadedTwice) {
  shell.saveFiles.push_back(dir / "start.profile");
  window.OnCommand(ids::kSaveProfileAs);
  EXPECT_EQ(shell.messages, std::vector<std::string>{"Project saved!"});
  ASSERT_FALSE(shell.dialogs.empty());
  EXPECT_EQ(shell.dialogs.back().filter, "Profile Files(*.profile)|*.profile||");
  EXPECT_EQ(shell.dialogs.back().defaultExtension, "profile");
  const std::string bytes = ReadText(dir / "start.profile");
  EXPECT_EQ(bytes, ProfileBytes(BuildGridRows()));  // all eighteen, "20" for quantizer min
  GridRows read;
  std::string error;
  ASSERT_TRUE(ParseProfile(bytes, "", &read, &error));
  EXPECT_EQ(read[kRowQuantizerMin].value, "20");

  // An H.264 profile with mixed mono, loaded onto an item, twice.
  GridRows custom = BuildGridRows();
  custom[kRowVideoCodec] = GridRow{"Video codec", "h264", 0, "h264|", 1};
  custom[kRowAudioChannel].value = "mixed mono";
  custom[kRowQuantizerMin].value = "12";
  ASSERT_TRUE(SaveProfileFile(dir / "mine.profile", custom));
  Add({"a.avi"});
  ClickListRow(0);
  for (int load = 0; load < 2; ++load) {
    shell.openFiles.push_back({dir / "mine.profile"});
    window.OnCommand(ids::kCmdLoadProfile);
  }
  EXPECT_EQ(combo->count(), 5);
  EXPECT_EQ(combo->currentText(), "Customized profile");
  EXPECT_EQ(Item(0).profileIndex, 4);
  EXPECT_EQ(Item(0).audioChannel, "mixed mono");
  EXPECT_EQ(Item(0).videoCodec, "h264");
  EXPECT_EQ(Item(0).quantizerMin, "12");
  EXPECT_EQ(grid->RowCount(), 18);

  // New items under the customized profile copy the grid rows.
  Add({"b.avi"});
  EXPECT_EQ(Item(1).profileIndex, 4);
  EXPECT_EQ(Item(1).videoCodec, "h264");
  EXPECT_EQ(Item(1).audioCodec, "AAC");

  // A failed save and a damaged load.
  shell.saveFiles.push_back(dir / "no/such/dir/x.profile");
  window.OnCommand(ids::kSaveProfileAs);
  EXPECT_EQ(shell.messages.back(), "Failed!\n\nCannot save " + dir / "no/such/dir/x.profile" +
                                       ": No such file or directory");
  WriteText(dir / "bad.profile", bytes.substr(0, 40));
  const GridRows before = window.gridRows();
  shell.openFiles.push_back({dir / "bad.profile"});
  window.OnCommand(ids::kCmdLoadProfile);
  EXPECT_EQ(shell.messages.back(),
            "An attempt was made to access " + dir / "bad.profile" + " past its end.");
  EXPECT_EQ(window.gridRows(), before);
  EXPECT_EQ(combo->count(), 5);
}

TEST_F(SettingsGridTest, ChooserRowsFromAProfileFile) {
  // A chooser on a row whose value reaches the command line would give it a
  // colour or a file name: such a profile is refused, naming the value.
  GridRows custom = BuildGridRows();
  custom[kRowVideoSize] = GridRow{"Video size", "RGB(1,2,3)", kEditorColour, "", 0};
  ASSERT_TRUE(SaveProfileFile(dir / "refused.profile", custom));
  shell.openFiles.push_back({dir / "refused.profile"});
  window.OnCommand(ids::kCmdLoadProfile);
  EXPECT_EQ(shell.messages.back(),
            dir / "refused.profile" +
                ": Video size 'RGB(1,2,3)' is not \"source\", a size WIDTHxHEIGHT or a height "
                "xHEIGHT with even sides from 2 to 16384.");

  custom = BuildGridRows();
  custom[kRowVideoDisabled] = GridRow{"Video disabled", "RGB(1,2,3)", kEditorColour, "", 0};
  custom[kRowAudioDisabled] = GridRow{"Audio disabled", "/tmp/a.gif", kEditorFile, "", 0};
  ASSERT_TRUE(SaveProfileFile(dir / "choosers.profile", custom));
  shell.openFiles.push_back({dir / "choosers.profile"});
  window.OnCommand(ids::kCmdLoadProfile);
  ClickGridRow("Video disabled");
  ASSERT_NE(grid->Button(), nullptr);
  EXPECT_TRUE(grid->Button()->isVisible());
  EXPECT_EQ(grid->Button()->width(), 25);
  shell.colours.push_back(0x0A0B0C);
  QTest::mouseClick(grid->Button(), Qt::LeftButton);
  EXPECT_EQ(window.gridRows()[kRowVideoDisabled].value, "RGB(10,11,12)");
  EXPECT_FALSE(grid->Button()->isVisible());
  ClickGridRow("Audio disabled");
  shell.openFiles.push_back({"/tmp/b.gif"});
  QTest::mouseClick(grid->Button(), Qt::LeftButton);
  EXPECT_EQ(window.gridRows()[kRowAudioDisabled].value, "/tmp/b.gif");
  EXPECT_EQ(shell.dialogs.back().title, "Select file");
  EXPECT_EQ(shell.dialogs.back().startFolder, "/tmp/");
}

// A typed text that is no value stays in the editor with its reason; the
// item keeps the value it had.
TEST_F(SettingsGridTest, ATypedTextThatIsNoValueIsRefusedInTheEditor) {
  Add({"a.avi"});
  ClickListRow(0);
  ClickGridRow("Video bitrate");
  ASSERT_NE(grid->ComboBox(), nullptr);
  QLineEdit* edit = grid->ComboBox()->lineEdit();
  ASSERT_NE(edit, nullptr);
  edit->clear();
  QTest::keyClicks(edit, "12,00");
  QCoreApplication::processEvents();
  EXPECT_EQ(grid->EditorProblem(), "Video bitrate '12,00' is not a number");
  EXPECT_EQ(Item(0).videoBitrate, "12");  // the last text that was a value
  QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClicks(edit, "300");
  QCoreApplication::processEvents();
  EXPECT_EQ(grid->EditorProblem(), "");
  EXPECT_EQ(Item(0).videoBitrate, "12300");
}

}  // namespace
}  // namespace orv
