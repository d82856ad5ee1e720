// The form and the about box are laid out in dialog units: a quarter of their font's average
// character width across and an eighth of its height down. Converting through the metrics of
// the font actually in use keeps the templates' proportions whatever font the machine
// substitutes.
#pragma once

#include <QFont>
#include <QRect>

namespace tarnell {

struct DialogUnits {
    int baseX = 4;  // average character width, pixels
    int baseY = 8;  // character height, pixels

    // A rectangle given as x, y, width and height in dialog units, in pixels. Each edge is
    // converted on its own, so controls that touch in the template touch on the screen.
    QRect toPixels(int x, int y, int width, int height) const;

    // A width in pixels that was chosen for the form font on a 96-dpi screen (the grids'
    // column widths), scaled to the font in use.
    int scaledPixels(int pixels) const;
};

DialogUnits dialogUnitsOf(const QFont& font);

// "Times New Roman" 9 pt, or its metric twin Liberation Serif where it is not installed.
QFont formFont();

// The about box's Japanese gothic 9 pt, or a Japanese font the machine has.
QFont aboutBoxFont();

}  // namespace tarnell
