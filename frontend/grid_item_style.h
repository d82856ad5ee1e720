// The style of the form's grids: the desktop's own, with the narrow cell margins of a list
// control, so that columns sized for a list control show their texts whole ("gamma" in the
// 40-pixel first column of the lattice grid).
#pragma once

#include <QProxyStyle>

namespace tarnell {

class CGridItemStyle : public QProxyStyle {
    Q_OBJECT

public:
    CGridItemStyle();

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
};

}  // namespace tarnell
