#include "chooser/chooser_layout.h"

namespace instdll {
namespace {

constexpr int kDialogMarginBelowRow = 10;

ScreenRect MovedToTop(const ScreenRect& rect, int top) {
    return {rect.left, top, rect.right, top + rect.height()};
}

}  // namespace

ChooserPlacement LayOutChooser(const ChooserPlacement& measured) {
    const int anchor = measured.anchorTop;
    ChooserPlacement laidOut = measured;
    laidOut.placeholder.bottom = anchor;
    laidOut.label = MovedToTop(measured.label, anchor + measured.label.height() / 3);
    laidOut.edit = MovedToTop(measured.edit, anchor);
    laidOut.dialog.bottom = laidOut.edit.bottom + kDialogMarginBelowRow;
    return laidOut;
}

}  // namespace instdll
