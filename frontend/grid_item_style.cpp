#include "frontend/grid_item_style.h"

namespace tarnell {

CGridItemStyle::CGridItemStyle() : QProxyStyle() {}

int CGridItemStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                                const QWidget* widget) const {
    // The cell text keeps one pixel from each grid line (the margin is this value plus one).
    if (metric == PM_FocusFrameHMargin) return 0;
    return QProxyStyle::pixelMetric(metric, option, widget);
}

}  // namespace tarnell
