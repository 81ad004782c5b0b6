// The run and the desktop session: logind's sleep inhibitor held while the
// list converts, one notice at the end whose action opens the output folder,
// and silence where the buses or the services are missing. Everything runs on
// private buses with stand-in services.
#include "gui/desktop_bus.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTest>
#include <filesystem>
#include <memory>

#include "gui/main_window.h"
#include "gui/main_window_ids.h"
#include "tests/support/test_support.h"
#include "tests/widget/widget_support.h"
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

// A window on the private buses, with two files in its list for the fake
// engine.
class WindowOnBusTest : public DesktopBusTest {
 protected:
  void SetUp() override {
    DesktopBusTest::SetUp();
    if (IsSkipped()) return;
    services = std::make_unique<test::FakeDesktopServices>(system.address(), session.address());
    desktop = std::make_unique<DesktopBus>(
        [this](const std::string& url) { shell.OpenUrl(url); }, Addresses());
    window = std::make_unique<MainWindow>(installation, settings, shell);
    window->SetExitHook([](int) {});
    window->SetDesktop(desktop.get());
    for (const char* name : {"a.avi", "b.avi"}) WriteText(dir / name, "x");
    Engine("run_ms=600\nstep=0.25\nwrite_output=1\n");
    shell.openFiles.push_back({dir / "a.avi", dir / "b.avi"});
    window->OnCommand(ids::kAdd);
    ASSERT_TRUE(test::WaitUntilRead(*window));
    ASSERT_EQ(window->items().size(), 2u);
  }
  void Engine(const std::string& behaviour) {
    WriteText(dir / "fake.cfg", "duration=10\nwidth=320\nheight=240\n" + behaviour);
  }
  // Starts a run and waits until its engine converts.
  void StartRun() {
    window->OnCommand(ids::kConvert);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->Activity() == EngineActivity::Converting; }, 10000));
  }
  bool WaitForRunEnd() {
    return QTest::qWaitFor([&] { return !window->batchRun().ThreadRunning(); }, 30000);
  }
  bool WaitForRelease(int inhibitor) {
    return QTest::qWaitFor([&] { return !services->login->Held(inhibitor); }, 5000);
  }

  test::TempDir dir;
  test::ScriptedShell shell;
  Installation installation = test::InstallEngine(dir.path(), ORV_FAKE_ENGINE);
  AppSettings settings{1, dir / "out"};
  std::unique_ptr<test::FakeDesktopServices> services;
  std::unique_ptr<DesktopBus> desktop;
  std::unique_ptr<MainWindow> window;
};

TEST_F(WindowOnBusTest, SleepIsHeldOffWhileConvertingAndACompleteRunGetsOneNotice) {
  StartRun();
  ASSERT_EQ(services->login->Count(), 1);
  EXPECT_EQ(services->login->Arguments(0),
            (QStringList{"sleep", "Orvantic", "Converting videos", "block"}));
  EXPECT_TRUE(services->login->Held(0));
  ASSERT_TRUE(WaitForRunEnd());
  EXPECT_TRUE(WaitForRelease(0));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !services->notices->Notices().empty(); }, 5000));
  QTest::qWait(200);
  ASSERT_EQ(services->notices->Notices().size(), 1u);
  const test::RecordedNotice notice = services->notices->Notices()[0];
  EXPECT_EQ(notice.summary, "Orvantic DVD Converter");
  EXPECT_EQ(notice.body, "Complete!");
  ASSERT_EQ(notice.actions.size(), 2);
  EXPECT_EQ(notice.actions[0], kOpenFolderAction);

  // Another notice's action, or another action of this one, opens nothing.
  services->InvokeAction(notice.id + 1, kOpenFolderAction);
  services->InvokeAction(notice.id, "default");
  QTest::qWait(200);
  EXPECT_TRUE(shell.urls.empty());
  services->InvokeAction(notice.id, kOpenFolderAction);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !shell.urls.empty(); }, 5000));
  EXPECT_EQ(shell.urls, std::vector<std::string>{"file://" + dir / "out"});
}

// Stopped, or the window closed during the run: the inhibitor goes with the
// run, and no notice comes for the user's own act.
TEST_F(WindowOnBusTest, AStoppedRunOrAClosedWindowGivesSleepBackWithoutANotice) {
  Engine("run_ms=60000\nstep=0.01\n");
  StartRun();
  ASSERT_EQ(services->login->Count(), 1);
  EXPECT_TRUE(services->login->Held(0));
  window->OnCommand(ids::kStop);
  ASSERT_TRUE(WaitForRunEnd());
  EXPECT_TRUE(WaitForRelease(0));

  StartRun();
  ASSERT_EQ(services->login->Count(), 2);
  EXPECT_TRUE(services->login->Held(1));
  window.reset();
  EXPECT_TRUE(WaitForRelease(1));
  QTest::qWait(200);
  EXPECT_TRUE(services->notices->Notices().empty());
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
