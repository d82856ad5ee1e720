#include "frontend/dialog_units.h"

#include <QFontMetrics>
#include <QString>
#include <QStringList>

namespace tarnell {
namespace {

// Multiplies and divides with rounding to the nearest pixel, halves away from zero.
int mulDiv(int value, int multiplier, int divisor) {
    const long long product = static_cast<long long>(value) * multiplier;
    const long long half = divisor / 2;
    return static_cast<int>(product >= 0 ? (product + half) / divisor : (product - half) / divisor);
}

// The average character width of the form font, Times New Roman 9 pt, on a 96-dpi screen:
// the width for which the grids' column widths were chosen.
constexpr int FormFontBaseX = 7;

}  // namespace

QRect DialogUnits::toPixels(int x, int y, int width, int height) const {
    const int left = mulDiv(x, baseX, 4);
    const int top = mulDiv(y, baseY, 8);
    const int right = mulDiv(x + width, baseX, 4);
    const int bottom = mulDiv(y + height, baseY, 8);
    return QRect(left, top, right - left, bottom - top);
}

int DialogUnits::scaledPixels(int pixels) const {
    return mulDiv(pixels, baseX, FormFontBaseX);
}

DialogUnits dialogUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average is taken over the 52 letters and rounded as the templates' own platform does.
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    DialogUnits units;
    units.baseX = (letters / 26 + 1) / 2;
    units.baseY = metrics.height();
    if (units.baseX < 1) units.baseX = 1;
    if (units.baseY < 1) units.baseY = 1;
    return units;
}

QFont formFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif")});
    font.setStyleHint(QFont::Serif);
    font.setPointSize(9);
    return font;
}

QFont aboutBoxFont() {
    QFont font;
    font.setFamilies({QStringLiteral(u"ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      QStringLiteral("Noto Sans CJK JP")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(9);
    return font;
}

}  // namespace tarnell
