// The folder chooser, the skinned button, the list control and the small
// dialogs of the main window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "gui/folder_chooser.h"
#include "gui/main_window_dialogs.h"
#include "gui/source_list_ctrl.h"
#include "gui/skin/skin_button.h"
#include "tests/support/test_support.h"

namespace orv {
namespace {

// Runs fn on the next modal dialog once it is up.
template <typename Dialog, typename Fn>
void WhenModal(Fn fn) {
  QTimer::singleShot(0, [fn] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    fn(dialog);
  });
}

TEST(ShortenForStatus, KeepsShortPathsAndCutsLongOnesAtAFolder) {
  const std::string exact = "/" + std::string(54, 'a');
  ASSERT_EQ(exact.size(), 55u);
  EXPECT_EQ(ShortenForStatus(exact), exact);

  const std::string longer = "/home/user/" + std::string(20, 'b') + "/" + std::string(24, 'c');
  ASSERT_EQ(longer.size(), 56u);
  const std::string shown = ShortenForStatus(longer);
  EXPECT_EQ(shown, "..." + longer.substr(5));  // from "/user/", the tail's first folder
  EXPECT_LE(shown.size(), 56u);
  EXPECT_EQ(shown.substr(0, 4), ".../");

  const std::string noSlash = "/x/" + std::string(60, 'd');
  EXPECT_EQ(ShortenForStatus(noSlash), "..." + std::string(53, 'd'));

  // A tail that starts at a folder boundary is kept whole.
  const std::string atSlash = std::string(10, 'e') + "/" + std::string(52, 'f');
  EXPECT_EQ(ShortenForStatus(atSlash), ".../" + std::string(52, 'f'));
}

TEST(FolderChooser, ConfirmReturnsTheFolderWithoutTrailingSlash) {
  test::TempDir dir;
  FolderChooser chooser(nullptr, 101);
  EXPECT_EQ(chooser.Title(), "\"Please Select a Folder:\"");
  chooser.SetInitialFolder(dir.path());
  WhenModal<FolderChooserDialog>([&](FolderChooserDialog* d) {
    EXPECT_EQ(d->StatusText().toStdString(), dir.path());
    d->accept();
  });
  ASSERT_TRUE(chooser.Run());
  std::string expected = dir.path();
  expected.pop_back();
  EXPECT_EQ(chooser.ChosenFolder(), expected);
}

TEST(FolderChooser, CancelKeepsTheEarlierChoice) {
  test::TempDir dir;
  FolderChooser chooser(nullptr, 101);
  chooser.SetInitialFolder(dir.path());
  WhenModal<FolderChooserDialog>([](FolderChooserDialog* d) { d->accept(); });
  ASSERT_TRUE(chooser.Run());
  const std::string first = chooser.ChosenFolder();
  WhenModal<FolderChooserDialog>([](FolderChooserDialog* d) { d->reject(); });
  EXPECT_FALSE(chooser.Run());
  EXPECT_EQ(chooser.ChosenFolder(), first);
}

TEST(FolderChooser, StatusLineFollowsTheSelectionShortened) {
  test::TempDir dir;
  const std::string deep = dir / (std::string(40, 'g') + "/" + std::string(30, 'h'));
  std::filesystem::create_directories(deep);
  FolderChooserDialog dialog(nullptr, "t", QString());
  dialog.Select(QString::fromStdString(deep));
  EXPECT_EQ(dialog.StatusText().toStdString(), ShortenForStatus(deep));
  EXPECT_EQ(dialog.StatusText().toStdString(), ".../" + std::string(30, 'h'));
}

TEST(SkinButton, FocusShowsThePressedFaceAndHoverTheHotOne) {
  QWidget parent;
  SkinButton button(1007, {138, 149, 137}, &parent);
  SkinButton other(1008, {163, 164, 162}, &parent);
  parent.show();
  ASSERT_TRUE(button.FacesLoaded());
  EXPECT_EQ(button.CurrentFace(), 0);
  QEnterEvent enterEvent(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QApplication::sendEvent(&button, &enterEvent);
  EXPECT_EQ(button.CurrentFace(), 2);
  QApplication::setActiveWindow(&parent);
  button.setFocus();
  if (button.hasFocus()) {
    EXPECT_EQ(button.CurrentFace(), 1);
  }
  QSignalSpy clicked(&button, &QAbstractButton::clicked);
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_EQ(clicked.count(), 1);
}

TEST(SkinButton, MissingFacesFallBackToNormal) {
  SkinButton button(1019, {183, 0, 182}, nullptr);
  button.resize(36, 29);
  const QImage normal = button.grab().toImage();
  button.setDown(true);
  EXPECT_EQ(button.grab().toImage(), normal);
}

SourceItem Item(const std::string& source, const std::string& output) {
  SourceItem item;
  item.sourcePath = source;
  item.outputPath = output;
  item.clipStartText = "00:00:00.00";
  item.clipEndText = "01:02:05.50";
  item.outputFormat = "mp4";
  return item;
}

TEST(SourceListCtrl, ColumnsRowsAndNumbering) {
  SourceListCtrl list(nullptr);
  ASSERT_EQ(list.columnCount(), 6);
  const char* titles[] = {"ID", "Source", "Begin Time", "End Time", "Output", "Format"};
  const int widths[] = {25, 130, 80, 80, 130, 60};
  for (int c = 0; c < 6; ++c) {
    EXPECT_EQ(list.horizontalHeaderItem(c)->text(), titles[c]);
    EXPECT_EQ(list.columnWidth(c), widths[c]);
  }
  for (const char* name : {"a", "b", "c"}) list.AppendRow(Item(name, std::string(name) + ".mp4"));
  EXPECT_EQ(list.item(2, kColEnd)->text(), "01:02:05.50");
  EXPECT_EQ(list.item(0, kColId)->textAlignment(), int(Qt::AlignCenter));
  EXPECT_EQ(list.rowHeight(0), kListRowHeight);
  list.removeRow(1);
  list.Renumber();
  EXPECT_EQ(list.item(0, kColId)->text(), "1");
  EXPECT_EQ(list.item(1, kColId)->text(), "2");
  EXPECT_EQ(list.item(1, kColSource)->text(), "c");
  EXPECT_EQ(list.SelectedRow(), -1);
  list.SelectRow(1);
  EXPECT_EQ(list.SelectedRow(), 1);
}

QStringList Entries(const QMenu* menu) {
  QStringList out;
  for (const QAction* a : menu->actions()) out << (a->isSeparator() ? "-" : a->text());
  return out;
}

TEST(SourceListCtrl, RightClickMenusAndTheirPostedMessages) {
  SourceListCtrl list(nullptr);
  list.AppendRow(Item("a", "a.mp4"));
  std::unique_ptr<QMenu> empty(list.BuildContextMenu());
  EXPECT_EQ(empty->objectName(), "menu239");
  EXPECT_EQ(Entries(empty.get()), QStringList({"Add File...", "Clear"}));

  list.SelectRow(0);
  std::unique_ptr<QMenu> menu(list.BuildContextMenu());
  EXPECT_EQ(menu->objectName(), "menu238");
  EXPECT_EQ(Entries(menu.get()),
            QStringList({"Play", "Stop", "-", "Add File...", "Delete Video File", "Clear", "-",
                         "DVD Settings", "Set Output File Name...", "-", "File Information..."}));
  QSignalSpy posted(&list, &SourceListCtrl::posted);
  const int expected[] = {kMsgListPlay,
                          kMsgListStop,
                          0,
                          kMsgListAddFile,
                          kMsgListDelete,
                          kMsgListClear,
                          0,
                          kMsgListDvdSettings,
                          kMsgListSetOutputName,
                          0,
                          kMsgListFileInformation};
  for (int i = 0; i < menu->actions().size(); ++i) {
    if (menu->actions()[i]->isSeparator()) continue;
    menu->actions()[i]->trigger();
    EXPECT_EQ(posted.last()[0].toInt(), expected[i]) << i;
  }
}

TEST(OverwriteDialog, MarksTheCurrentValueAndReportsTheClickedOne) {
  OverwriteDialog dialog(2, nullptr);
  EXPECT_FALSE(dialog.Radio(1)->isChecked());
  EXPECT_TRUE(dialog.Radio(2)->isChecked());
  EXPECT_FALSE(dialog.Radio(3)->isChecked());
  EXPECT_EQ(dialog.Choice(), 2);
  dialog.show();
  QTest::mouseClick(dialog.Radio(3), Qt::LeftButton);
  EXPECT_EQ(dialog.Choice(), 3);

  OverwriteDialog outside(7, nullptr);
  for (int v = 1; v <= 3; ++v) EXPECT_FALSE(outside.Radio(v)->isChecked());
}

TEST(TextEntryDialog, StartsWithTheGivenTextAndReturnsWhatWasTyped) {
  TextEntryDialog dialog("Set Output File Name", "Please input output file name:", "", nullptr);
  auto* edit = dialog.findChild<QLineEdit*>(QString::number(kTextEntryEdit));
  ASSERT_NE(edit, nullptr);
  EXPECT_TRUE(edit->text().isEmpty());
  EXPECT_EQ(dialog.windowTitle(), "Set Output File Name");
  dialog.show();
  QTest::keyClicks(edit, "movie");
  EXPECT_EQ(dialog.Text(), "movie");
  // OK and Cancel are the skinned dialog buttons.
  auto* buttons = dialog.findChild<QDialogButtonBox*>();
  ASSERT_NE(buttons, nullptr);
  EXPECT_NE(buttons->button(QDialogButtonBox::Ok), nullptr);
  EXPECT_NE(buttons->button(QDialogButtonBox::Cancel), nullptr);
}

}  // namespace
}  // namespace orv
