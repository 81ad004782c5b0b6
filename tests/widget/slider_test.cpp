// The position slider and the clip range slider: mapping, dragging, keys,
// notifications and drawing.
#include <gtest/gtest.h>

#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <utility>

#include "gui/preview/position_slider.h"
#include "gui/preview/range_slider.h"
#include "gui/skin/skin_image.h"

namespace orv {
namespace {

// The main window's set-up: 169-pixel channel, 9-pixel thumb, left margin 1.
class PositionSliderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(slider.SetChannelBitmaps(131, 132, false, 0, 0, 0));
    ASSERT_TRUE(slider.SetThumbBitmaps(133, 130, true, kKeyFromPixel, 0, 0));
    slider.SetDrawFocusRect(false, false);
    slider.SetRange(0.0, 100.0, false);
    slider.SetPos(40.0);
    slider.SetMargins(1, 1, 0, 0);
    slider.show();
  }
  PositionSlider slider{1022, nullptr};
  QSignalSpy dragged{&slider, &PositionSlider::positionDragged};
  QSignalSpy released{&slider, &PositionSlider::positionReleased};
};

// The first column from the left that shows neither channel image: the
// thumb's left edge. The rows skip the thumb's keyed-out corners.
int ThumbLeftEdge(const QImage& shot) {
  const QImage channel = SkinImage(131).toImage(), active = SkinImage(132).toImage();
  for (int x = 0; x < shot.width(); ++x)
    for (int y = 2; y < shot.height() - 1; ++y) {
      const QRgb seen = shot.pixel(x, y) & 0xffffff;
      if (seen != (channel.pixel(x, y) & 0xffffff) && seen != (active.pixel(x, y) & 0xffffff))
        return x;
    }
  return -1;
}

TEST(PositionTrack, MapsBothWaysWithoutRounding) {
  PositionTrack t{169, 9, 1, 0, 0.0, 100.0};
  EXPECT_EQ(t.Length(), 159);
  EXPECT_EQ(t.PixelOf(0.0), 5);
  EXPECT_EQ(t.PixelOf(100.0), 164);
  EXPECT_EQ(t.PixelOf(50.0), 84);  // 84.5 truncated
  EXPECT_DOUBLE_EQ(t.PositionOf(5), 0.0);
  EXPECT_DOUBLE_EQ(t.PositionOf(164), 100.0);
  EXPECT_DOUBLE_EQ(t.PositionOf(84), 79.0 / 159.0 * 100.0);
  EXPECT_EQ(t.ClampCentre(-50), 5);
  EXPECT_EQ(t.ClampCentre(500), 165);
}

TEST(PositionTrack, EveryPixelATrackMapsToComesBackFromItsPosition) {
  for (const auto& [min, max] : {std::pair{0.0, 100.0}, {0.0, 5423.72}, {12.5, 13.1}}) {
    const PositionTrack t{169, 9, 1, 0, min, max};
    for (int x = 5; x <= 164; ++x) ASSERT_EQ(t.PixelOf(t.PositionOf(x)), x) << min << ".." << max;
  }
}

TEST(PositionTrack, EmptyRangeOrTrackStaysAtTheLeftEnd) {
  PositionTrack empty{169, 9, 1, 0, 7.0, 7.0};
  EXPECT_EQ(empty.PixelOf(7.0), 5);
  PositionTrack narrow{8, 9, 1, 0, 0.0, 10.0};
  EXPECT_EQ(narrow.PixelOf(5.0), 5);
  EXPECT_DOUBLE_EQ(narrow.PositionOf(40), 0.0);
}

TEST_F(PositionSliderTest, SizeComesFromTheChannelAndSetPosClamps) {
  EXPECT_EQ(slider.size(), QSize(169, 11));
  slider.SetPos(150);
  EXPECT_DOUBLE_EQ(slider.GetPos(), 100.0);
  slider.SetPos(-1);
  EXPECT_DOUBLE_EQ(slider.GetPos(), 0.0);
  // A new range does not clamp the position again.
  slider.SetPos(80);
  slider.SetRange(0, 10, false);
  EXPECT_DOUBLE_EQ(slider.GetPos(), 80.0);
}

TEST_F(PositionSliderTest, PressFarFromTheThumbJumpsThere) {
  QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(120, 5));
  EXPECT_DOUBLE_EQ(slider.GetPos(), 115.0 / 159.0 * 100.0);
  EXPECT_EQ(slider.ThumbCentre(), 120);
  ASSERT_EQ(dragged.count(), 1);
  EXPECT_EQ(dragged[0][0].toInt(), 1022);
  EXPECT_EQ(dragged[0][1].toInt(), 72);
  EXPECT_TRUE(slider.dragging());
}

TEST_F(PositionSliderTest, PressOnTheThumbGrabsItWhereHit) {
  ASSERT_EQ(slider.ThumbCentre(), 68);
  QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(70, 5));
  EXPECT_EQ(dragged.count(), 0);  // the thumb did not move
  QTest::mouseMove(&slider, QPoint(100, 5));
  EXPECT_EQ(slider.ThumbCentre(), 98);
  EXPECT_EQ(dragged.count(), 1);
}

TEST_F(PositionSliderTest, TheThumbIsDrawnWhereTheArithmeticPutsIt) {
  // Position 40 of 0..100: centre 0.4 x 159 + 4 + 1 = 68.6, truncated; left edge 68 - 4.
  EXPECT_EQ(ThumbLeftEdge(slider.grab().toImage()), 64);
  // Grabbed two pixels right of its centre and dragged to 152: centre 150.
  QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(70, 5));
  QTest::mouseMove(&slider, QPoint(152, 5));
  EXPECT_EQ(slider.ThumbCentre(), 150);
  EXPECT_EQ(ThumbLeftEdge(slider.grab().toImage()), 146);
  QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(152, 5));
  EXPECT_EQ(ThumbLeftEdge(slider.grab().toImage()), 146);
  ASSERT_EQ(dragged.count(), 1);
  EXPECT_EQ(dragged[0][1].toInt(), 91);  // 145 / 159 x 100, truncated

  // Wherever it is dragged, it stays where it was dropped.
  QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(148, 5));
  for (int centre = 5; centre <= 164; ++centre) {
    QTest::mouseMove(&slider, QPoint(centre - 2, 5));
    ASSERT_EQ(slider.ThumbCentre(), centre);
    ASSERT_EQ(ThumbLeftEdge(slider.grab().toImage()), centre - 4);
  }
  QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(162, 5));
}

TEST_F(PositionSliderTest, DraggingPastTheEndsStopsThere) {
  QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(120, 5));
  QTest::mouseMove(&slider, QPoint(400, 5));
  EXPECT_DOUBLE_EQ(slider.GetPos(), 100.0);
  QTest::mouseMove(&slider, QPoint(-300, 5));
  EXPECT_DOUBLE_EQ(slider.GetPos(), 0.0);
  EXPECT_EQ(slider.ThumbCentre(), 5);
}

TEST_F(PositionSliderTest, EveryReleaseNotifiesEvenWithoutAPress) {
  QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(30, 5));
  ASSERT_EQ(released.count(), 1);
  EXPECT_EQ(released[0][1].toInt(), 40);
  EXPECT_EQ(dragged.count(), 0);
  EXPECT_DOUBLE_EQ(slider.GetPos(), 40.0);
}

TEST_F(PositionSliderTest, ChannelIsActiveLeftOfTheThumbAndTheThumbKeyedOut) {
  const QImage shot = slider.grab().toImage();
  const QImage channel = SkinImage(131).toImage(), active = SkinImage(132).toImage();
  EXPECT_EQ(shot.pixel(30, 5), active.pixel(30, 5));
  EXPECT_EQ(shot.pixel(120, 5), channel.pixel(120, 5));
  // The thumb's corner is its key colour, so the channel shows through it.
  const int thumbLeft = slider.ThumbCentre() - 4;
  EXPECT_EQ(shot.pixel(thumbLeft, 1), active.pixel(thumbLeft, 1));
  EXPECT_EQ(shot.pixel(thumbLeft + 4, 5), SkinImage(133).toImage().pixel(4, 4));
}

TEST(PositionSliderBitmaps, MissingImageFails) {
  PositionSlider slider(1022, nullptr);
  EXPECT_FALSE(slider.SetChannelBitmaps(99999, 0, false, 0, 0, 0));
  EXPECT_TRUE(slider.SetChannelBitmaps(0, 0, false, 0, 0, 0));
}

TEST(RangeSliderModel, SettersNormalise) {
  RangeSliderModel m;
  m.SetMinMax(10, 0);
  EXPECT_DOUBLE_EQ(m.RangeMin(), 0);
  EXPECT_DOUBLE_EQ(m.RangeMax(), 10);
  m.SetSelection(-5, 20);
  EXPECT_DOUBLE_EQ(m.GetLeft(), 0);
  EXPECT_DOUBLE_EQ(m.GetRight(), 10);
  m.SetSelection(15, 20);  // wholly above the range
  EXPECT_DOUBLE_EQ(m.GetLeft(), 10);
  EXPECT_DOUBLE_EQ(m.GetRight(), 10);
  m.SetSelection(-8, -2);  // wholly below
  EXPECT_DOUBLE_EQ(m.GetLeft(), 0);
  EXPECT_DOUBLE_EQ(m.GetRight(), 0);
  m.SetSelection(7, 3);  // reversed inside the range stays as given
  EXPECT_DOUBLE_EQ(m.GetLeft(), 7);
  EXPECT_DOUBLE_EQ(m.GetRight(), 3);
}

// The main window's slider: 185 x 15, thumbs 11 wide, track 163.
class RangeSliderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    slider.resize(185, 15);
    slider.SetMinMax(0, 100);
    slider.SetSelection(20, 40);
    slider.show();
  }
  const RangeSliderModel& m() { return slider.model(); }
  RangeSlider slider{nullptr};
  QSignalSpy changed{&slider, &RangeSlider::clipRangeChanged};
};

TEST_F(RangeSliderTest, LayoutOfTheThumbs) {
  EXPECT_EQ(m().ArrowWidth(), 11);
  EXPECT_EQ(m().TrackLength(), 163);
  EXPECT_EQ(m().LeftThumbRect().left, 33);
  EXPECT_EQ(m().RightThumbRect().left, 65 + 11);
  EXPECT_EQ(m().RightThumbRect().right, 65 + 22);
}

TEST_F(RangeSliderTest, LeftThumbStopsAtTheRightThumb) {
  QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(38, 7));
  ASSERT_TRUE(m().Tracking());
  QTest::mouseMove(&slider, QPoint(150, 7));
  EXPECT_DOUBLE_EQ(slider.GetLeft(), 40);
  EXPECT_DOUBLE_EQ(slider.GetRight(), 40);
  QTest::mouseMove(&slider, QPoint(-40, 7));
  EXPECT_DOUBLE_EQ(slider.GetLeft(), 0);
  ASSERT_EQ(changed.count(), 2);
  EXPECT_EQ(changed[0][0].toInt(), 0);
  QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(-40, 7));
  EXPECT_FALSE(m().Tracking());
  EXPECT_EQ(changed.count(), 2);  // a release sends nothing
}

TEST_F(RangeSliderTest, RightThumbReportsWhetherItMoved) {
  const int centre = m().RightThumbRect().CentreX();
  QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(centre, 7));
  QTest::mouseMove(&slider, QPoint(centre + 30, 7));
  QTest::mouseMove(&slider, QPoint(centre + 30, 9));
  ASSERT_EQ(changed.count(), 2);
  EXPECT_EQ(changed[0][0].toInt(), 1);
  EXPECT_EQ(changed[1][0].toInt(), 0);  // sent again though nothing changed
  QTest::mouseMove(&slider, QPoint(0, 7));
  EXPECT_DOUBLE_EQ(slider.GetRight(), 20);  // not before the left thumb
}

TEST_F(RangeSliderTest, BandPinnedAtAnEndKeepsItsWidth) {
  const int centre = m().MiddleBandRect().CentreX();
  QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(centre, 7));
  ASSERT_EQ(m().TrackedPart(), RangeSliderModel::kMiddleBand);
  QTest::mouseMove(&slider, QPoint(-100, 7));
  EXPECT_DOUBLE_EQ(slider.GetLeft(), 0);
  EXPECT_DOUBLE_EQ(slider.GetRight(), 20);
  QTest::mouseMove(&slider, QPoint(1000, 7));
  EXPECT_DOUBLE_EQ(slider.GetLeft(), 80);
  EXPECT_DOUBLE_EQ(slider.GetRight(), 100);
  EXPECT_EQ(changed.last()[0].toInt(), 2);
}

TEST_F(RangeSliderTest, WhereTheThumbsMeetTheLeftOneIsTaken) {
  slider.SetSelection(50, 50);
  const int meet = m().LeftThumbRect().right;
  ASSERT_EQ(meet, m().RightThumbRect().left);
  QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(meet, 7));
  EXPECT_EQ(m().TrackedPart(), RangeSliderModel::kLeftThumb);
  QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(meet, 7));
  QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(meet + 1, 7));
  EXPECT_EQ(m().TrackedPart(), RangeSliderModel::kRightThumb);
}

TEST_F(RangeSliderTest, PressOutsideThePartsGrabsNothing) {
  QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(150, 7));
  EXPECT_FALSE(m().Tracking());
  QTest::mouseMove(&slider, QPoint(160, 7));
  EXPECT_EQ(changed.count(), 0);
}

TEST_F(RangeSliderTest, ArrowKeysMoveByWholePixels) {
  const double p = 100.0 / 163;
  QTest::keyClick(&slider, Qt::Key_Right);
  EXPECT_DOUBLE_EQ(slider.GetLeft(), 34 * p);
  EXPECT_DOUBLE_EQ(slider.GetRight(), 66 * p);
  EXPECT_EQ(changed.last()[0].toInt(), 2);
  QTest::keyClick(&slider, Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_DOUBLE_EQ(slider.GetLeft(), 34 * p);
  EXPECT_DOUBLE_EQ(slider.GetRight(), 65 * p);
  EXPECT_EQ(changed.last()[0].toInt(), 0);
  const int before = changed.count();
  QTest::keyClick(&slider, Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(changed.count(), before);
}

TEST_F(RangeSliderTest, RightArrowAtTheEndStillNotifies) {
  slider.SetSelection(80, 100);
  QTest::keyClick(&slider, Qt::Key_Right);
  EXPECT_DOUBLE_EQ(slider.GetLeft(), 80);
  EXPECT_DOUBLE_EQ(slider.GetRight(), 100);
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed[0][0].toInt(), 2);
}

TEST_F(RangeSliderTest, ShiftLeftNeverPutsTheEndBeforeTheStart) {
  slider.SetSelection(50, 50);
  QTest::keyClick(&slider, Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_GE(slider.GetRight(), slider.GetLeft());
}

TEST_F(RangeSliderTest, PaintsTheShapesInTheirColours) {
  const QImage shot = slider.grab().toImage();
  const int l = m().LeftThumbRect().left;
  EXPECT_EQ(QColor(shot.pixel(0, 0)), QColor(Qt::black));
  EXPECT_EQ(QColor(shot.pixel(10, 7)), QColor(229, 231, 239));     // track left of the clip
  EXPECT_EQ(QColor(shot.pixel(l + 9, 7)), QColor(245, 246, 248));  // thumb face
  EXPECT_EQ(QColor(shot.pixel(l + 4, 7)), QColor(Qt::black));      // its arrow
  EXPECT_EQ(QColor(shot.pixel(60, 7)), QColor(Qt::white));         // the clip band
}

}  // namespace
}  // namespace orv
