// The whole road through the window with the real engine: files added
// through the open-file dialog, converted, the rows and bars, "Complete!".
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <filesystem>

#include "app/main_window.h"
#include "app/main_window_ids.h"
#include "app/source_list_ctrl.h"
#include "skin/gradient_progress.h"
#include "tests/support/test_support.h"

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

}  // namespace
}  // namespace orv
