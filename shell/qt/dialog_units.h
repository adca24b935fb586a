// Placing controls from dialog units, as the Win32 dialog manager does, so the
// windows keep their proportions with whatever font the desktop uses.
#pragma once

#include <QFont>
#include <QLabel>
#include <QRect>
#include <QSize>
#include <QString>

#include "shell/dialog_templates.h"

// One horizontal unit is a quarter of the font's average character width,
// one vertical unit an eighth of its height.
struct DialogUnits {
    int base_x;  // average character width, in pixels
    int base_y;  // character height, in pixels
};

DialogUnits dialog_units(const QFont& font);

// dialog_units, with the horizontal unit widened where a line of one of the
// template's labels and texts would not fit its control in `font`: a wide
// desktop font then gives a wider window rather than cut labels.
DialogUnits dialog_units_fitting(const QFont& font, const DialogTemplate& dialog);

// A control's rectangle or a window's client size in pixels; each of x, y,
// width and height is converted on its own and rounded to the nearest pixel.
QRect dialog_rect(const DialogUnits& units, int x, int y, int width, int height);
QRect dialog_rect(const DialogUnits& units, const DialogControl& control);
QSize dialog_size(const DialogUnits& units, int width, int height);

// A template's text as Qt shows it: lines broken by "\n" alone.
QString dialog_text(const char* text);

// Puts `control` at `place`, a rectangle of its parent given left to right;
// in a right-to-left window (-reverse, or a right-to-left language) the place
// is mirrored, as a layout would mirror it. Set the parent's size first.
void place_control(QWidget* control, const QRect& place);

// `alignment` (left or right) as the window's direction has it, whatever the
// text's own: mirrored in a right-to-left window, so a label still stands
// against its field there.
Qt::Alignment window_alignment(const QWidget* parent, Qt::Alignment alignment);

// A template's static text in `parent` at `place` (placed by place_control): plain text, aligned to the
// top and as `alignment` says.
QLabel* make_text(QWidget* parent, const QRect& place, const char* text, Qt::Alignment alignment);
