// The valence summary at a glance: ΔV/V of every site as a bar, coloured on the same diverging
// scale as the polyhedra of the structure view (blue under-bonded, white on target, red
// over-bonded), with the scale's legend.
#pragma once

#include <QColor>
#include <QWidget>
#include <optional>
#include <vector>

#include "frontend/engine_result.h"

class QPainter;

namespace tarnell {

// Where the colour scale saturates: |ΔV/V| of 20 %, the report's "**" mark.
inline constexpr double DeviationScale = 0.20;

// The colour of a relative deviation ΔV/V (a fraction): blue below 0, white at 0, red above,
// full at ±DeviationScale and beyond.
QColor deviationColour(double relative);

// Draws the scale as a horizontal bar in `area`, with its ends and middle labelled.
void drawDeviationLegend(QPainter& painter, const QRect& area);

class CDeltaVPlot : public QWidget {
    Q_OBJECT

public:
    explicit CDeltaVPlot(QWidget* parent = nullptr);

    // The bars of `result`'s summary; a site without a sum gets a grey mark and no bar.
    void ShowResult(const EngineResult& result);
    void SelectSite(const QString& label);

    QSize sizeHint() const override { return {260, 240}; }
    QSize minimumSizeHint() const override { return {160, 120}; }

signals:
    void siteChosen(const QString& label);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    struct Bar {
        QString label;
        std::optional<double> relative;
    };
    QRect PlotArea() const;
    int BarAt(const QPoint& point) const;

    std::vector<Bar> m_bars;
    QString m_selected;
};

}  // namespace tarnell
