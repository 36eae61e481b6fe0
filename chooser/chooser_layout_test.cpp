#include "chooser/chooser_layout.h"

#include "gtest/gtest.h"

namespace instdll {
namespace {

// A file-name row at 400, as the open-file dialog leaves it, and the chooser's own row lower
// down in a dialog that is taller than it needs to be.
ChooserPlacement Measured(int labelHeight, int editHeight) {
    ChooserPlacement measured;
    measured.anchorTop = 400;
    measured.placeholder = {100, 150, 520, 415};
    measured.label = {103, 440, 211, 440 + labelHeight};
    measured.edit = {214, 437, 514, 437 + editHeight};
    measured.dialog = {90, 120, 620, 520};
    return measured;
}

TEST(ChooserLayout, RowMovesIntoTheFileNameRowAsInTheWorkedExample) {
    const ChooserPlacement laidOut = LayOutChooser(Measured(13, 20));
    EXPECT_EQ(laidOut.placeholder, (ScreenRect{100, 150, 520, 400}));
    EXPECT_EQ(laidOut.label, (ScreenRect{103, 404, 211, 417}));
    EXPECT_EQ(laidOut.edit, (ScreenRect{214, 400, 514, 420}));
    EXPECT_EQ(laidOut.dialog, (ScreenRect{90, 120, 620, 430}));
}

TEST(ChooserLayout, LabelDropsAThirdOfItsHeightWithTheRemainderDropped) {
    const struct {
        int labelHeight;
        int expectedTop;
    } cases[] = {{13, 404}, {14, 404}, {15, 405}, {2, 400}, {0, 400}};
    for (const auto& c : cases) {
        const ScreenRect label = LayOutChooser(Measured(c.labelHeight, 20)).label;
        EXPECT_EQ(label.top, c.expectedTop) << "label height " << c.labelHeight;
        EXPECT_EQ(label.height(), c.labelHeight) << "label height " << c.labelHeight;
    }
}

TEST(ChooserLayout, DialogEndsTenPixelsBelowTheEditBoxWhetherItGrowsOrShrinks) {
    for (int editHeight : {12, 20, 150}) {
        const ChooserPlacement laidOut = LayOutChooser(Measured(13, editHeight));
        EXPECT_EQ(laidOut.edit.height(), editHeight);
        EXPECT_EQ(laidOut.dialog.bottom, 400 + editHeight + 10) << "edit height " << editHeight;
    }
}

}  // namespace
}  // namespace instdll
