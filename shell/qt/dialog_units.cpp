// Dialog units from a font's metrics.
#include "shell/qt/dialog_units.h"

#include <QFontMetrics>
#include <QStringList>
#include <QStyle>

namespace {

// value * numerator / denominator, rounded half away from zero.
int scale(int value, int numerator, int denominator)
{
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

bool is_text(ControlKind kind)
{
    return kind == ControlKind::label || kind == ControlKind::right_text || kind == ControlKind::centred_text;
}

}  // namespace

DialogUnits dialog_units(const QFont& font)
{
    // The average over both alphabets, rounded the dialog manager's way.
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogUnits{(width / 26 + 1) / 2, metrics.height()};
}

DialogUnits dialog_units_fitting(const QFont& font, const DialogTemplate& dialog)
{
    DialogUnits units = dialog_units(font);
    const QFontMetrics metrics(font);
    for (const DialogControl& control : dialog.controls) {
        if (!is_text(control.kind)) continue;
        for (const QString& line : dialog_text(control.text).split(u'\n')) {
            const int needed = metrics.horizontalAdvance(line);
            while (scale(control.width, units.base_x, 4) < needed) ++units.base_x;
        }
    }
    return units;
}

QRect dialog_rect(const DialogUnits& units, int x, int y, int width, int height)
{
    return QRect(scale(x, units.base_x, 4), scale(y, units.base_y, 8), scale(width, units.base_x, 4),
                 scale(height, units.base_y, 8));
}

QRect dialog_rect(const DialogUnits& units, const DialogControl& control)
{
    return dialog_rect(units, control.x, control.y, control.width, control.height);
}

QSize dialog_size(const DialogUnits& units, int width, int height)
{
    return QSize(scale(width, units.base_x, 4), scale(height, units.base_y, 8));
}

QString dialog_text(const char* text)
{
    return QString::fromUtf8(text).remove(u'\r');
}

void place_control(QWidget* control, const QRect& place)
{
    const QWidget* parent = control->parentWidget();
    control->setGeometry(QStyle::visualRect(parent->layoutDirection(), parent->rect(), place));
}

Qt::Alignment window_alignment(const QWidget* parent, Qt::Alignment alignment)
{
    if (parent->layoutDirection() != Qt::RightToLeft) return alignment;
    const Qt::Alignment horizontal = alignment & Qt::AlignHorizontal_Mask;
    Qt::Alignment mirrored = (alignment & ~Qt::AlignHorizontal_Mask) | Qt::AlignAbsolute;
    if (horizontal & Qt::AlignRight)
        mirrored |= Qt::AlignLeft;
    else if (horizontal & Qt::AlignHCenter)
        mirrored |= Qt::AlignHCenter;
    else
        mirrored |= Qt::AlignRight;
    return mirrored;
}

QLabel* make_text(QWidget* parent, const QRect& place, const char* text, Qt::Alignment alignment)
{
    auto* label = new QLabel(dialog_text(text), parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(window_alignment(parent, alignment | Qt::AlignTop));
    place_control(label, place);
    return label;
}
