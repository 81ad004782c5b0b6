// The preview with the real window and the real engine on whatever desktop
// session it is started in (X11, Wayland with or without XWayland, any scale
// factor): the panel shows the clip's picture, sharp at the panel's size in
// device pixels; pause shows the pause screen; a seek shows the later part;
// Stop leaves no engine and a black panel; a Play that cannot start says why.
// tests/e2e/session.sh starts the sessions; alone it runs on any platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "gui/main_window.h"
#include "tests/support/shown_window.h"
#include "gui/main_window_ids.h"
#include "gui/source_list_ctrl.h"
#include "platform/process_list.h"
#include "gui/preview/position_slider.h"
#include "gui/preview/video_panel.h"
#include "tests/support/test_support.h"
#include "tests/widget/widget_support.h"

namespace orv {
namespace {

enum class Colour { Red, Blue, Black, Other };

Colour Classify(QRgb c) {
  const int r = qRed(c), g = qGreen(c), b = qBlue(c);
  if (r > 200 && g < 60 && b < 60) return Colour::Red;
  if (b > 200 && r < 60 && g < 60) return Colour::Blue;
  if (r < 30 && g < 30 && b < 30) return Colour::Black;
  return Colour::Other;
}

class PreviewSession : public ::testing::Test, protected test::ShownWindow<test::ScriptedShell> {
 protected:
  static void SetUpTestSuite() {
    clipDir_ = new test::TempDir;
    int status = 0;
    // Red for 10 s, then blue for 10 s, with a tone.
    test::RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i color=c=red:s=320x240:r=25:d=10 "
                     "-f lavfi -i color=c=blue:s=320x240:r=25:d=10 -f lavfi -i sine=d=20 "
                     "-filter_complex '[0:v][1:v]concat=n=2:v=1:a=0[v]' -map '[v]' -map 2:a "
                     "-c:v libx264 -preset ultrafast -g 25 -c:a aac '" +
                         *clipDir_ / "redblue.mp4'",
                     &status);
    ASSERT_EQ(status, 0) << "ffmpeg could not make the clip";
  }
  static void TearDownTestSuite() { delete clipDir_; }

  PreviewSession() : test::ShownWindow<test::ScriptedShell>(ORV_REAL_ENGINE, 1) {
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    panel = static_cast<VideoPanel*>(window.Control(ids::kVideoPanel));
  }
  ~PreviewSession() override { window.StopPlaying(); }

  void AddAndSelect(const std::string& file) {
    shell.openFiles.push_back({file});
    window.OnCommand(ids::kAdd);
    EXPECT_TRUE(test::WaitUntilRead(window));
    const int row = window.list()->rowCount() - 1;
    window.list()->SelectRow(row);
    const QModelIndex index = window.list()->model()->index(row, 1);
    QTest::mouseClick(window.list()->viewport(), Qt::LeftButton, {},
                      window.list()->visualRect(index).center());
  }
  // The colour in the middle of the panel as the window paints it.
  Colour PanelColour() {
    const QImage shot = panel->grab().toImage();
    return Classify(shot.pixel(shot.width() / 2, shot.height() / 2));
  }
  bool WaitColour(Colour c, int ms = 10000) {
    return QTest::qWaitFor([&] { return PanelColour() == c; }, ms);
  }
  bool EngineRunning() { return IsEngineRunning(installation.EngineLocation()); }

  static test::TempDir* clipDir_;
  VideoPanel* panel = nullptr;
};
test::TempDir* PreviewSession::clipDir_ = nullptr;

TEST_F(PreviewSession, PlaysPausesSeeksAndStopsInThePanel) {
  if (!std::filesystem::exists(ORV_REAL_ENGINE)) GTEST_SKIP() << "no engine";
  AddAndSelect(*clipDir_ / "redblue.mp4");
  ASSERT_EQ(window.items().size(), 1u);

  window.OnCommand(ids::kPlayPause);
  ASSERT_TRUE(WaitColour(Colour::Red)) << "the panel never showed the picture";
  // Made for the panel in device pixels: one side fills it exactly, so the
  // picture is drawn as it is, never scaled up by the window.
  const QImage& picture = panel->Picture();
  const qreal ratio = panel->devicePixelRatioF();
  const int deviceWidth = qRound(panel->width() * ratio);
  const int deviceHeight = qRound(panel->height() * ratio);
  EXPECT_TRUE(picture.width() == deviceWidth || picture.height() == deviceHeight)
      << picture.width() << "x" << picture.height() << " for a panel of " << deviceWidth << "x"
      << deviceHeight << " device pixels";
  EXPECT_NEAR(double(picture.width()) / picture.height(), 4.0 / 3.0, 0.02);
  // For a look at the window: ORVANTIC_TEST_SHOTS=folder.
  if (const char* shots = std::getenv("ORVANTIC_TEST_SHOTS"))
    window.grab().save(QString::fromLocal8Bit(shots) + "/preview-" +
                       QGuiApplication::platformName() + ".png");

  window.OnCommand(ids::kPlayPause);  // pause
  QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(300, 8));
  QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(300, 8));
  EXPECT_TRUE(panel->PauseScreen());
  EXPECT_TRUE(WaitColour(Colour::Black, 3000)) << "no pause screen";
  const QImage pause = panel->grab().toImage();
  int light = 0;
  for (int y = 0; y < pause.height(); ++y)
    for (int x = 0; x < pause.width(); ++x) light += qGray(pause.pixel(x, y)) > 200;
  EXPECT_GT(light, 50) << "the pause screen has no text";

  window.OnCommand(ids::kPlayPause);  // resume
  EXPECT_TRUE(WaitColour(Colour::Red)) << "resume did not bring the picture back";

  auto* slider = static_cast<PositionSlider*>(window.Control(ids::kPositionSlider));
  // A click at three quarters of the slider: about 15 s, in the blue half.
  QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() * 3 / 4, slider->height() / 2));
  EXPECT_TRUE(WaitColour(Colour::Blue)) << "the seek did not show the later part";

  window.OnCommand(ids::kStopPlaying);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !EngineRunning(); }, 3000)) << "an engine is left";
  EXPECT_EQ(PanelColour(), Colour::Black);
  EXPECT_TRUE(shell.messages.empty()) << shell.messages.front();
}

TEST_F(PreviewSession, APlayThatCannotStartSaysWhy) {
  if (!std::filesystem::exists(ORV_REAL_ENGINE)) GTEST_SKIP() << "no engine";
  const std::string gone = dir / "gone.mp4";
  std::filesystem::copy_file(*clipDir_ / "redblue.mp4", gone);
  AddAndSelect(gone);
  ASSERT_EQ(window.items().size(), 1u);
  std::filesystem::remove(gone);
  window.OnCommand(ids::kPlayPause);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !shell.messages.empty(); }, 5000));
  EXPECT_EQ(shell.messages.front().rfind("The video cannot be played: ", 0), 0u)
      << shell.messages.front();
  EXPECT_FALSE(EngineRunning());
}

}  // namespace
}  // namespace orv

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
