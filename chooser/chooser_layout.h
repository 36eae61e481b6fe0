#pragma once

namespace instdll {

// A window's rectangle in screen pixels.
struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int height() const { return bottom - top; }
    bool operator==(const ScreenRect& other) const {
        return left == other.left && top == other.top && right == other.right &&
               bottom == other.bottom;
    }
};

// Where the chooser's controls stand once the open-file dialog has laid itself out, all in
// screen pixels. `anchorTop` is the top of the platform's file-name box, whose row the chooser
// takes over.
struct ChooserPlacement {
    int anchorTop = 0;
    ScreenRect placeholder;
    ScreenRect label;
    ScreenRect edit;
    ScreenRect dialog;
};

// The chooser's row moved into the file-name row: the placeholder ends at the anchor, the edit
// box starts there, the label sits a third of its height lower, and the dialog ends 10 pixels
// below the edit box. Left and right edges and the heights of the row's controls stay.
ChooserPlacement LayOutChooser(const ChooserPlacement& measured);

}  // namespace instdll
