#pragma once

// Sizes of the main window's chrome, derived from what the style and the fonts give.

// Tool-bar icon size for a style whose default icon height is defaultHeight: 32, or 64 once
// that is no longer larger than the default.
int toolBarIconSize(int defaultHeight);
// A point size scaled by factor, rounded half away from zero.
int scaledPointSize(double pointSize, double factor);
// The logo's pixmap height and right margin for a label height.
int logoPixmapHeight(int labelHeight);
int logoRightMargin(int labelHeight);
