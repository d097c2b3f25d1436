// EtchedGroupBox: the etched frame and title over the dialog's background; mouse
// presses and double-clicks on it are swallowed; it lies below the controls it frames.

#include <QSignalSpy>

#include "controls_test_support.h"

namespace controlstest {
namespace {

class GroupBoxTest : public ControlsTest {
  protected:
    void SetUp() override {
        ControlsTest::SetUp();
        backdrop = makeBackdrop(260, 160);
    }
    void TearDown() override {
        backdrop.reset();
        ControlsTest::TearDown();
    }
    std::unique_ptr<Backdrop> backdrop;
};

TEST_F(GroupBoxTest, EtchedFrameWithItsTitleGap) {
    auto* box = new EtchedGroupBox("Options", backdrop.get());
    box->setGeometry(20, 20, 200, 100);
    show(*backdrop);
    const QImage image = shot(box);
    const int T = box->frameTop();
    const int R = 200;
    const int B = 100;
    const int W = box->fontMetrics().horizontalAdvance("Options");
    EXPECT_EQ(T, box->fontMetrics().height() / 2 + 2);

    // Left: dark grey outside, white inside.
    EXPECT_EQ(at(image, 0, 50), kDarkGrey);
    EXPECT_EQ(at(image, 1, 50), kWhite);
    EXPECT_EQ(at(image, 0, T), kDarkGrey);
    EXPECT_EQ(at(image, 1, T + 1), kWhite);
    // Top, before and after the title.
    EXPECT_EQ(at(image, 3, T), kDarkGrey);
    EXPECT_EQ(at(image, 3, T + 1), kWhite);
    EXPECT_NE(at(image, 4, T), kDarkGrey) << "the gap for the title starts at L+4";
    EXPECT_EQ(at(image, W + 7, T), kDarkGrey);
    EXPECT_EQ(at(image, W + 7, T + 1), kWhite);
    EXPECT_NE(at(image, W + 6, T), kDarkGrey);
    EXPECT_EQ(at(image, 150, T), kDarkGrey);
    EXPECT_EQ(at(image, 150, T + 1), kWhite);
    // Right: dark grey inside, white outside.
    EXPECT_EQ(at(image, R - 2, 50), kDarkGrey);
    EXPECT_EQ(at(image, R - 1, 50), kWhite);
    // Bottom: dark grey inside, white outside; the white line starts at the left edge.
    EXPECT_EQ(at(image, 100, B - 2), kDarkGrey);
    EXPECT_EQ(at(image, 100, B - 1), kWhite);
    EXPECT_EQ(at(image, 0, B - 1), kWhite);
    // Nothing above the frame but the title; inside, the dialog's background.
    EXPECT_NE(at(image, 150, T - 2), kDarkGrey);
    EXPECT_NE(at(image, 100, 50), kDarkGrey);
    EXPECT_NE(at(image, 100, 50), kWhite);
    // The title in black, from 5 pixels right of the left edge.
    const QRect title = bounds(image, QRect(0, 0, 100, T + 6), isDark);
    ASSERT_FALSE(title.isNull());
    const qreal ratio = image.devicePixelRatio();
    EXPECT_GE(title.left(), static_cast<int>(5 * ratio));
    EXPECT_LE(title.left(), static_cast<int>(7 * ratio));
    EXPECT_LE(title.right(), static_cast<int>((5 + W) * ratio));
}

TEST_F(GroupBoxTest, SwallowsPressesAndDoubleClicks) {
    auto* box = new EtchedGroupBox("Actions", backdrop.get());
    box->setGeometry(20, 20, 200, 100);
    show(*backdrop);
    QWindow* window = windowOf(box);
    const QPoint inside = inWindow(box, {100, 60});
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        QTest::mouseClick(window, button, {}, inside);
        QTest::mouseDClick(window, button, {}, inside);
    }
    EXPECT_EQ(backdrop->presses, 0);
    EXPECT_EQ(backdrop->doubleClicks, 0);
    // Outside the box, the dialog gets them.
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(5, 150));
    EXPECT_EQ(backdrop->presses, 1);
}

TEST_F(GroupBoxTest, LiesBelowTheControlsItFramesWhateverTheOrder) {
    auto* button = new HoverButton(ButtonKind::Push, "&Add...", backdrop.get());
    button->setGeometry(40, 40, 80, 24);
    button->setTransparent();
    // Made after the button, as the template lists group boxes after the controls.
    auto* box = new EtchedGroupBox("Actions", backdrop.get());
    box->setGeometry(20, 20, 200, 100);
    show(*backdrop);
    QSignalSpy clicks(button, &QAbstractButton::clicked);
    QTest::mouseClick(windowOf(button), Qt::LeftButton, {}, inWindow(button, {40, 12}));
    EXPECT_EQ(clicks.count(), 1);
    moveTo(button);
    EXPECT_TRUE(button->isMouseOver());
    // And the button's frame is painted over the group box's area.
    EXPECT_EQ(at(shot(button), 0, 12), kWhite);
    EXPECT_EQ(box->focusPolicy(), Qt::NoFocus);
}

}  // namespace
}  // namespace controlstest
