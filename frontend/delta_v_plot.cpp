#include "frontend/delta_v_plot.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace tarnell {

QColor deviationColour(double relative) {
    const double t = std::clamp(relative / DeviationScale, -1.0, 1.0);
    // From white towards a saturated blue or red, keeping some light at the ends so that a
    // translucent face over a dark sphere still reads as its colour.
    const QColor end = t < 0 ? QColor(40, 90, 220) : QColor(220, 40, 40);
    const double f = std::fabs(t);
    return QColor::fromRgbF(static_cast<float>(1.0 + f * (end.redF() - 1.0)),
                            static_cast<float>(1.0 + f * (end.greenF() - 1.0)),
                            static_cast<float>(1.0 + f * (end.blueF() - 1.0)));
}

void drawDeviationLegend(QPainter& painter, const QRect& area) {
    const QFontMetrics metrics(painter.font());
    const QRect bar(area.left(), area.top(), area.width(), area.height() - metrics.height());
    QLinearGradient gradient(bar.topLeft(), bar.topRight());
    for (const double stop : {0.0, 0.25, 0.5, 0.75, 1.0})
        gradient.setColorAt(stop, deviationColour((2.0 * stop - 1.0) * DeviationScale));
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(gradient);
    painter.drawRect(bar);
    const int percent = static_cast<int>(std::lround(100 * DeviationScale));
    const QRect text(area.left(), bar.bottom() + 1, area.width(), metrics.height());
    painter.drawText(text, Qt::AlignLeft, QStringLiteral("−%1 %").arg(percent));
    painter.drawText(text, Qt::AlignHCenter, QStringLiteral("ΔV/V 0"));
    painter.drawText(text, Qt::AlignRight, QStringLiteral("+%1 %").arg(percent));
}

CDeltaVPlot::CDeltaVPlot(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("deltaVPlot"));
    setToolTip(QStringLiteral("ΔV/V of each site; click a bar to select its site"));
}

void CDeltaVPlot::ShowResult(const EngineResult& result) {
    m_bars.clear();
    for (const ResultSummarySite& site : result.summary)
        m_bars.push_back({QString::fromStdString(site.site), site.relative});
    update();
}

void CDeltaVPlot::SelectSite(const QString& label) {
    m_selected = label;
    update();
}

QRect CDeltaVPlot::PlotArea() const {
    const QFontMetrics metrics(font());
    int labelWidth = metrics.horizontalAdvance(QStringLiteral("O10"));
    for (const Bar& bar : m_bars)
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(bar.label));
    const int legend = 2 * metrics.height() + 8;
    return QRect(labelWidth + 8, 4, std::max(10, width() - labelWidth - 14),
                 std::max(10, height() - legend - 8));
}

int CDeltaVPlot::BarAt(const QPoint& point) const {
    if (m_bars.empty()) return -1;
    const QRect area = PlotArea();
    if (point.y() < area.top() || point.y() > area.bottom()) return -1;
    const double rowHeight = static_cast<double>(area.height()) / m_bars.size();
    return std::clamp(static_cast<int>((point.y() - area.top()) / rowHeight), 0,
                      static_cast<int>(m_bars.size()) - 1);
}

void CDeltaVPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QFontMetrics metrics(font());
    if (m_bars.empty()) {
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("No valence summary"));
        return;
    }
    const QRect area = PlotArea();
    // The scale runs to the largest deviation, but at least to the colour scale's end.
    double reach = DeviationScale;
    for (const Bar& bar : m_bars)
        if (bar.relative) reach = std::max(reach, std::fabs(*bar.relative));
    const double middle = area.left() + area.width() / 2.0;
    const double perUnit = area.width() / (2.0 * reach);
    const double rowHeight = static_cast<double>(area.height()) / m_bars.size();
    const bool labelled = rowHeight >= metrics.height() * 0.8;

    painter.setPen(QColor(200, 200, 200));
    for (const double mark : {-0.1, 0.1, -0.2, 0.2}) {
        const double x = middle + mark * perUnit;
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
    for (std::size_t i = 0; i < m_bars.size(); ++i) {
        const Bar& bar = m_bars[i];
        const QRectF row(area.left(), area.top() + i * rowHeight, area.width(), rowHeight);
        if (bar.label == m_selected) painter.fillRect(row, QColor(255, 240, 160));
        if (labelled) {
            painter.setPen(palette().text().color());
            painter.drawText(QRectF(0, row.top(), area.left() - 4, rowHeight),
                             Qt::AlignRight | Qt::AlignVCenter, bar.label);
        }
        const double gap = std::min(2.0, rowHeight / 6);
        if (!bar.relative) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(170, 170, 170));
            painter.drawRect(QRectF(middle - 2, row.top() + gap, 4, rowHeight - 2 * gap));
            continue;
        }
        const double x = middle + *bar.relative * perUnit;
        painter.setPen(QPen(QColor(90, 90, 90), 0.5));
        painter.setBrush(deviationColour(*bar.relative));
        painter.drawRect(QRectF(QPointF(std::min(x, middle), row.top() + gap),
                                QPointF(std::max(x, middle), row.bottom() - gap)));
    }
    painter.setPen(palette().text().color());
    painter.drawLine(QPointF(middle, area.top()), QPointF(middle, area.bottom()));
    const int percent = static_cast<int>(std::lround(100 * reach));
    const QRect ends(area.left(), area.bottom() + 2, area.width(), metrics.height());
    painter.drawText(ends, Qt::AlignLeft, QStringLiteral("−%1 %").arg(percent));
    painter.drawText(ends, Qt::AlignRight, QStringLiteral("+%1 %").arg(percent));
    painter.drawText(ends, Qt::AlignHCenter, QStringLiteral("ΔV/V"));
    drawDeviationLegend(painter,
                        QRect(area.left(), ends.bottom() + 4, area.width(), metrics.height() + 8));
}

void CDeltaVPlot::mousePressEvent(QMouseEvent* event) {
    const int bar = BarAt(event->position().toPoint());
    if (bar < 0) return;
    SelectSite(m_bars[static_cast<std::size_t>(bar)].label);
    emit siteChosen(m_selected);
}

}  // namespace tarnell
