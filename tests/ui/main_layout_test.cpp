#include "ui/main_layout.h"

#include "queue/main_view.h"

#include <gtest/gtest.h>

namespace {

const QSize FRAME(8, 28);

} // namespace

// At the minimum size every control stays on the face and the captioned buttons fit, apart.
TEST(MainLayout, EverythingFitsTheMinimumSizeOfBothLayouts) {
    for (const auto& [largeFonts, scale] :
         std::vector<std::pair<bool, double>>{{false, 1.0}, {false, 1.25}, {true, 1.25}}) {
        const MainLayout layout = MakeMainLayout(largeFonts, scale, FRAME);
        const QSize face = layout.minimumWindow - FRAME;
        std::vector<QRect> buttons;
        for (const TemplateControl& control : layout.controls) {
            if (control.kind == ControlKind::Button) {
                buttons.push_back(control.rect);
                continue;
            }
            const QRect rect = AnchoredRect(control.rect, control.anchors, layout.faceSize, face);
            EXPECT_TRUE(QRect(QPoint(), face).contains(rect))
                << control.id << " " << largeFonts << " " << scale;
            EXPECT_FALSE(rect.isEmpty()) << control.id;
        }
        ASSERT_EQ(buttons.size(), 9u);
        const std::vector<QRect> placed =
            CentredButtonRow(buttons, layout.buttonGap, layout.buttonMargin, face.width(), 300);
        for (std::size_t i = 0; i < placed.size(); ++i) {
            EXPECT_EQ(placed[i].size(), buttons[i].size());
            EXPECT_GE(placed[i].left(), 0);
            EXPECT_LE(placed[i].right(), face.width() - 1);
            if (i > 0) {
                EXPECT_GT(placed[i].left(), placed[i - 1].right())
                    << "buttons " << i - 1 << ", " << i;
            }
        }
    }
}

TEST(MainLayout, AnchorsMoveAndStretchAndTheButtonGroupIsCentred) {
    const QSize from(600, 400);
    const QSize to(700, 450);
    const QRect rect(10, 20, 100, 30);
    EXPECT_EQ(AnchoredRect(rect, 15, from, to), QRect(10, 20, 200, 80));
    EXPECT_EQ(AnchoredRect(rect, 10, from, to), QRect(110, 70, 100, 30));
    EXPECT_EQ(AnchoredRect(rect, 9, from, to), QRect(10, 70, 100, 30));
    EXPECT_EQ(AnchoredRect(rect, 11, from, to), QRect(10, 70, 200, 30));
    EXPECT_EQ(AnchoredRect(rect, 24, from, to), QRect(60, 70, 100, 30));

    // The button group keeps its gap when there is room.
    const std::vector<QRect> buttons(3, QRect(0, 0, 50, 40));
    const std::vector<QRect> placed = CentredButtonRow(buttons, 6, 4, 400, 10);
    EXPECT_EQ(placed[0], QRect(119, 10, 50, 40));
    EXPECT_EQ(placed[1].left() - placed[0].right() - 1, 6);
    const std::vector<QRect> tight = CentredButtonRow(buttons, 6, 4, 160, 10);
    EXPECT_EQ(tight[1].left() - tight[0].right() - 1, 1);
}
