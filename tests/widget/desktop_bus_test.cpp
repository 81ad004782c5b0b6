// The run and the desktop session: logind's sleep inhibitor held while the
// list converts, one notice at the end whose action opens the output folder,
// and silence where the buses or the services are missing. Everything runs on
// private buses with stand-in services.
#include "app/desktop_bus.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTest>
#include <filesystem>
#include <memory>

#include "app/main_window.h"
#include "app/main_window_ids.h"
#include "tests/support/test_support.h"
#include "tests/widget/fake_desktop_services.h"

namespace orv {
namespace {

using test::WriteText;

class DesktopBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!system.Running() || !session.Running()) GTEST_SKIP() << "no dbus-daemon";
  }
  BusAddresses Addresses() const { return {system.address(), session.address()}; }

  test::PrivateBus system, session;
  std::vector<std::string> opened;
  std::function<void(const std::string&)> open = [this](const std::string& url) {
    opened.push_back(url);
  };
};

TEST_F(DesktopBusTest, SleepIsHeldOffUntilTheBlockIsDropped) {
  test::FakeDesktopServices services(system.address(), session.address());
  DesktopBus desktop(open, Addresses());
  std::unique_ptr<SleepBlock> block = desktop.BlockSleep(kSleepBlockReason);
  ASSERT_NE(block, nullptr);
  ASSERT_EQ(services.login->Count(), 1);
  EXPECT_EQ(services.login->Arguments(0),
            (QStringList{"sleep", "Orvantic", "Converting videos", "block"}));
  QTest::qWait(100);  // the reply's own copies are gone by now
  EXPECT_TRUE(services.login->Held(0));
  block.reset();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !services.login->Held(0); }, 5000));
}

TEST_F(DesktopBusTest, TheNoticeOpensItsFolderOnlyForItsOwnAction) {
  test::FakeDesktopServices services(system.address(), session.address());
  DesktopBus desktop(open, Addresses());
  desktop.NoticeRunEnd("2 of 6 items failed", "/videos/out");
  ASSERT_TRUE(QTest::qWaitFor([&] { return services.notices->Notices().size() == 1; }, 5000));
  const test::RecordedNotice notice = services.notices->Notices()[0];
  EXPECT_EQ(notice.summary, "Orvantic DVD Converter");
  EXPECT_EQ(notice.body, "2 of 6 items failed");
  ASSERT_EQ(notice.actions.size(), 2);
  EXPECT_EQ(notice.actions[0], kOpenFolderAction);

  // Another notice's action, or another action, opens nothing.
  services.InvokeAction(notice.id + 1, kOpenFolderAction);
  services.InvokeAction(notice.id, "default");
  QTest::qWait(200);
  EXPECT_TRUE(opened.empty());
  services.InvokeAction(notice.id, kOpenFolderAction);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.empty(); }, 5000));
  EXPECT_EQ(opened, std::vector<std::string>{"file:///videos/out"});
}

TEST_F(DesktopBusTest, WithoutServicesOrBusesNothingHappens) {
  DesktopBus empty(open, Addresses());
  EXPECT_EQ(empty.BlockSleep(kSleepBlockReason), nullptr);
  empty.NoticeRunEnd("Complete!", "/videos/out");

  test::TempDir dir;
  const QString nowhere = QString::fromStdString("unix:path=" + dir / "no-bus");
  DesktopBus absent(open, {nowhere, nowhere});
  EXPECT_EQ(absent.BlockSleep(kSleepBlockReason), nullptr);
  absent.NoticeRunEnd("Complete!", "/videos/out");
  QTest::qWait(200);
  EXPECT_TRUE(opened.empty());
}

// The window holds sleep off exactly while it converts: taken when the run
// starts, given back when it completes, is stopped, or the window goes.
TEST_F(DesktopBusTest, TheWindowHoldsSleepOffWhileConvertingAndNoticesACompleteRun) {
  test::FakeDesktopServices services(system.address(), session.address());
  test::TempDir dir;
  test::ScriptedShell shell;
  const Installation installation = test::InstallEngine(dir.path(), ORV_FAKE_ENGINE);
  AppSettings settings{1, dir / "out"};
  DesktopBus desktop([&shell](const std::string& url) { shell.OpenUrl(url); }, Addresses());
  auto window = std::make_unique<MainWindow>(installation, settings, shell);
  window->SetExitHook([](int) {});
  window->SetDesktop(&desktop);
  WriteText(dir / "fake.cfg",
            "duration=10\nwidth=320\nheight=240\nrun_ms=600\nstep=0.25\nwrite_output=1\n");
  for (const char* name : {"a.avi", "b.avi"}) WriteText(dir / name, "x");
  shell.openFiles.push_back({dir / "a.avi", dir / "b.avi"});
  window->OnCommand(ids::kAdd);
  ASSERT_EQ(window->items().size(), 2u);

  auto converting = [&] { return window->Activity() == EngineActivity::Converting; };
  auto ended = [&] { return !window->batchRun().ThreadRunning(); };
  window->OnCommand(ids::kConvert);
  ASSERT_TRUE(QTest::qWaitFor(converting, 10000));
  ASSERT_EQ(services.login->Count(), 1);
  EXPECT_TRUE(services.login->Held(0));
  ASSERT_TRUE(QTest::qWaitFor(ended, 30000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !services.login->Held(0); }, 5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !services.notices->Notices().empty(); }, 5000));
  QTest::qWait(200);
  ASSERT_EQ(services.notices->Notices().size(), 1u);
  EXPECT_EQ(services.notices->Notices()[0].body, "Complete!");
  services.InvokeAction(services.notices->Notices()[0].id, kOpenFolderAction);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !shell.urls.empty(); }, 5000));
  EXPECT_EQ(shell.urls.back(), "file://" + dir / "out");

  // Stopped: the inhibitor goes, and no notice comes for the user's own act.
  WriteText(dir / "fake.cfg", "duration=10\nwidth=320\nheight=240\nrun_ms=60000\nstep=0.01\n");
  window->OnCommand(ids::kConvert);
  ASSERT_TRUE(QTest::qWaitFor(converting, 10000));
  ASSERT_EQ(services.login->Count(), 2);
  EXPECT_TRUE(services.login->Held(1));
  window->OnCommand(ids::kStop);
  ASSERT_TRUE(QTest::qWaitFor(ended, 30000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !services.login->Held(1); }, 5000));

  // The window closing during a run ends the run and the inhibitor with it.
  window->OnCommand(ids::kConvert);
  ASSERT_TRUE(QTest::qWaitFor(converting, 10000));
  ASSERT_EQ(services.login->Count(), 3);
  EXPECT_TRUE(services.login->Held(2));
  window.reset();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !services.login->Held(2); }, 5000));
  QTest::qWait(200);
  EXPECT_EQ(services.notices->Notices().size(), 1u);
}

// orvantic --convert holds sleep off too, on the buses the environment names,
// and leaves the end to the terminal.
TEST_F(DesktopBusTest, TheConsoleRunHoldsSleepOffWhileItConverts) {
  test::FakeDesktopServices services(system.address(), session.address());
  test::TempDir dir;
  test::InstallEngine(dir.path(), ORV_FAKE_ENGINE);
  std::filesystem::copy_file(ORV_ORVANTIC, dir / "orvantic");
  WriteText(dir / "fake.cfg",
            "duration=10\nwidth=320\nheight=240\nrun_ms=1500\nstep=0.1\nwrite_output=1\n");
  WriteText(dir / "a.avi", "x");
  QProcess console;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("DBUS_SYSTEM_BUS_ADDRESS", system.address());
  environment.insert("DBUS_SESSION_BUS_ADDRESS", session.address());
  environment.insert("ORVANTIC_INSTANCE_NAME", "orvantic-test-desktop-bus");
  console.setProcessEnvironment(environment);
  console.start(QString::fromStdString(dir / "orvantic"),
                {"--convert", "--output", QString::fromStdString(dir / "out"),
                 QString::fromStdString(dir / "a.avi")});
  ASSERT_TRUE(console.waitForStarted(5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return services.login->Count() == 1; }, 10000));
  EXPECT_TRUE(services.login->Held(0));
  EXPECT_EQ(services.login->Arguments(0)[2], "Converting videos");
  ASSERT_TRUE(QTest::qWaitFor([&] { return console.state() == QProcess::NotRunning; }, 30000));
  EXPECT_EQ(console.exitCode(), 0) << console.readAllStandardError().toStdString();
  EXPECT_FALSE(services.login->Held(0));
  EXPECT_TRUE(services.notices->Notices().empty());
}

}  // namespace
}  // namespace orv
