// Dialog units from a font's metrics.
#include "shell/qt/dialog_units.h"

#include <QFontMetrics>
#include <QString>

namespace {

// value * numerator / denominator, rounded half away from zero.
int scale(int value, int numerator, int denominator)
{
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

}  // namespace

DialogUnits dialog_units(const QFont& font)
{
    // The average over both alphabets, rounded the dialog manager's way.
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogUnits{(width / 26 + 1) / 2, metrics.height()};
}

DialogUnits dialog_units_fitting(const QFont& font, std::initializer_list<FixedText> texts)
{
    DialogUnits units = dialog_units(font);
    const QFontMetrics metrics(font);
    for (const FixedText& fixed : texts) {
        const int needed = metrics.horizontalAdvance(QString::fromUtf8(fixed.text));
        while (scale(fixed.width, units.base_x, 4) < needed) ++units.base_x;
    }
    return units;
}

QRect dialog_rect(const DialogUnits& units, int x, int y, int width, int height)
{
    return QRect(scale(x, units.base_x, 4), scale(y, units.base_y, 8), scale(width, units.base_x, 4),
                 scale(height, units.base_y, 8));
}

QSize dialog_size(const DialogUnits& units, int width, int height)
{
    return QSize(scale(width, units.base_x, 4), scale(height, units.base_y, 8));
}
