// Placing controls from dialog units, as the Win32 dialog manager does, so the
// windows keep their proportions with whatever font the desktop uses.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

#include <initializer_list>

// One horizontal unit is a quarter of the font's average character width,
// one vertical unit an eighth of its height.
struct DialogUnits {
    int base_x;  // average character width, in pixels
    int base_y;  // character height, in pixels
};

DialogUnits dialog_units(const QFont& font);

// A fixed text and the width of its control, in dialog units.
struct FixedText {
    const char* text;
    int width;
};

// dialog_units, with the horizontal unit widened where one of `texts` would
// not fit its control in `font`: a wide desktop font then gives a wider
// window rather than cut labels. Texts are single lines.
DialogUnits dialog_units_fitting(const QFont& font, std::initializer_list<FixedText> texts);

// A control's rectangle or a window's client size in pixels; each of x, y,
// width and height is converted on its own and rounded to the nearest pixel.
QRect dialog_rect(const DialogUnits& units, int x, int y, int width, int height);
QSize dialog_size(const DialogUnits& units, int width, int height);
