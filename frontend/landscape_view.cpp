#include "frontend/landscape_view.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "frontend/path_text.h"
#include "frontend/picture_export.h"
#include "settings/text.h"
#include "structure/site_label.h"

namespace tarnell {
namespace {

using Vec = std::array<double, 3>;

// Atoms this close to the slice's plane are drawn on it.
constexpr double AtomDistance = 0.5;  // Å
// The threshold slider's resolution, finer than the grid's own (the engine rounds to 1e-4).
constexpr double ThresholdStep = 0.001;

const char* AxisNames[] = {"a", "b", "c"};

double dot(const Vec& u, const Vec& v) {
    return u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
}
Vec cross(const Vec& u, const Vec& v) {
    return {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
}

// The element's number of an ion written as a chemist writes it ("Li+", "Mg2+"), or 0.
int atomicNumberOfIon(const std::string& ion) {
    std::size_t length = 0;
    while (length < ion.size() && std::isalpha(static_cast<unsigned char>(ion[length]))) ++length;
    return atomicNumber(ion.substr(0, length));
}

// |V| of "Li+", "Mg2+", "O2-": the mismatch of a point no counter-ion reaches.
double valenceOfIon(const std::string& ion) {
    std::size_t at = 0;
    while (at < ion.size() && std::isalpha(static_cast<unsigned char>(ion[at]))) ++at;
    int valence = 0;
    while (at < ion.size() && std::isdigit(static_cast<unsigned char>(ion[at])))
        valence = valence * 10 + (ion[at++] - '0');
    return valence == 0 ? 1.0 : valence;
}

// Low mismatch (where the ion fits) bright, high dark: viridis turned round.
QColor mismatchColour(double fraction) {
    static const QColor stops[] = {
        {253, 231, 37}, {94, 201, 98}, {33, 145, 140}, {59, 82, 139}, {68, 1, 84}};
    const double t = std::clamp(fraction, 0.0, 1.0) * 4.0;
    const int low = std::min(static_cast<int>(t), 3);
    const double w = t - low;
    const QColor& a = stops[low];
    const QColor& b = stops[low + 1];
    return QColor::fromRgbF(static_cast<float>(a.redF() + w * (b.redF() - a.redF())),
                            static_cast<float>(a.greenF() + w * (b.greenF() - a.greenF())),
                            static_cast<float>(a.blueF() + w * (b.blueF() - a.blueF())));
}

QColor atomColour(int z, int mobile) {
    if (z == mobile) return QColor(220, 40, 200);
    switch (z) {
        case 8:
            return QColor(230, 30, 30);
        case 9:
            return QColor(120, 220, 80);
        case 15:
            return QColor(255, 140, 0);
        case 26:
            return QColor(170, 90, 40);
        default:
            return QColor(150, 150, 160);
    }
}

// The slice's two in-plane axes, in the order that keeps them right-handed with the axis across.
std::array<int, 2> planeAxes(int axis) {
    return {(axis + 1) % 3, (axis + 2) % 3};
}

}  // namespace

CLandscapeCanvas::CLandscapeCanvas(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("landscapeCanvas"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CLandscapeCanvas::ShowGrid(const CubeGrid* grid, int mobileAtomicNumber, double scaleTop) {
    m_grid = grid;
    m_mobile = mobileAtomicNumber;
    m_scaleTop = scaleTop > 0.0 ? scaleTop : 1.0;
    m_axis = 2;
    m_index = 0;
    update();
}

void CLandscapeCanvas::SetSlice(int axis, int index) {
    m_axis = std::clamp(axis, 0, 2);
    m_index = m_grid ? std::clamp(index, 0, m_grid->points[m_axis] - 1) : 0;
    update();
}

void CLandscapeCanvas::SetThreshold(double threshold) {
    m_threshold = threshold;
    update();
}

QImage CLandscapeCanvas::Picture() const {
    QImage picture(size().expandedTo(QSize(200, 200)), QImage::Format_RGB32);
    QPainter painter(&picture);
    Draw(painter, picture.size());
    return picture;
}

void CLandscapeCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Draw(painter, size());
}

void CLandscapeCanvas::Draw(QPainter& painter, const QSize& size) const {
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!m_grid || m_grid->values.empty()) {
        painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter,
                         QStringLiteral("No landscape calculated yet."));
        return;
    }
    const CubeGrid& grid = *m_grid;
    const auto [u, v] = planeAxes(m_axis);
    const int nu = grid.points[u];
    const int nv = grid.points[v];

    // The slice in its own plane: edge u along x, edge v at its true angle, y up.
    const Vec& eu = grid.edges[u];
    const Vec& ev = grid.edges[v];
    const double lu = std::sqrt(dot(eu, eu));
    const double vAlong = dot(ev, eu) / lu;
    const double vAcross = std::sqrt(std::max(dot(ev, ev) - vAlong * vAlong, 1e-12));
    const double left = std::min(0.0, vAlong);
    const double width = std::max(lu, lu + vAlong) - left;
    const int legendHeight = 46;
    const int margin = 28;
    const double scale = std::min((size.width() - 2.0 * margin) / width,
                                  (size.height() - 2.0 * margin - legendHeight) / vAcross);
    const QPointF origin(
        margin + (size.width() - 2.0 * margin - width * scale) / 2.0 - left * scale,
        margin + vAcross * scale);
    const QPointF stepU(lu * scale / nu, 0.0);
    const QPointF stepV(vAlong * scale / nv, -vAcross * scale / nv);
    auto at = [&](double fu, double fv) { return origin + fu * nu * stepU + fv * nv * stepV; };

    auto value = [&](int i, int j) {
        int index[3];
        index[m_axis] = m_index;
        index[u] = ((i % nu) + nu) % nu;
        index[v] = ((j % nv) + nv) % nv;
        return static_cast<double>(grid.at(index[0], index[1], index[2]));
    };

    // Each point's colour fills the voxel around it; the first row and column come again past
    // the last, and the cell's edges cut the picture, as the grid is periodic.
    QImage slice(nu + 1, nv + 1, QImage::Format_RGB32);
    for (int j = 0; j <= nv; ++j)
        for (int i = 0; i <= nu; ++i)
            slice.setPixel(i, nv - j, mismatchColour(value(i, j) / m_scaleTop).rgb());
    painter.save();
    painter.setClipPath([&] {
        QPainterPath cell;
        cell.addPolygon(QPolygonF{at(0, 0), at(1, 0), at(1, 1), at(0, 1)});
        return cell;
    }());
    const QPointF corner = origin - 0.5 * stepU + (nv + 0.5) * stepV;
    painter.setTransform(
        QTransform(stepU.x(), stepU.y(), -stepV.x(), -stepV.y(), corner.x(), corner.y()));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QPointF(0, 0), slice);
    painter.restore();

    // The edge of the accessible region: marching squares over the periodic slice, each crossing
    // placed where the values between two points reach the threshold.
    QPainterPath contour;
    const double t = m_threshold;
    auto crossing = [&](int i0, int j0, int i1, int j1) {
        const double a = value(i0, j0);
        const double b = value(i1, j1);
        const double w = a == b ? 0.5 : std::clamp((t - a) / (b - a), 0.0, 1.0);
        return at((i0 + w * (i1 - i0)) / nu, (j0 + w * (j1 - j0)) / nv);
    };
    for (int j = 0; j < nv; ++j) {
        for (int i = 0; i < nu; ++i) {
            // Corners 0 (i, j), 1 (i+1, j), 2 (i+1, j+1), 3 (i, j+1) and the edges between them.
            const int ci[4] = {i, i + 1, i + 1, i};
            const int cj[4] = {j, j, j + 1, j + 1};
            int mask = 0;
            for (int c = 0; c < 4; ++c) mask |= (value(ci[c], cj[c]) <= t ? 1 : 0) << c;
            if (mask == 0 || mask == 15) continue;
            std::vector<QPointF> points;
            for (int e = 0; e < 4; ++e) {
                const int c0 = e;
                const int c1 = (e + 1) % 4;
                if (((mask >> c0) & 1) != ((mask >> c1) & 1))
                    points.push_back(crossing(ci[c0], cj[c0], ci[c1], cj[c1]));
            }
            // Two crossings, or four at a saddle: joined in pairs along the square's edges.
            for (std::size_t p = 0; p + 1 < points.size(); p += 2) {
                contour.moveTo(points[p]);
                contour.lineTo(points[p + 1]);
            }
        }
    }
    painter.setPen(QPen(QColor(0, 0, 0), 3.5));
    painter.drawPath(contour);
    painter.setPen(QPen(QColor(255, 255, 255), 1.6));
    painter.drawPath(contour);

    // The cell's edges in the plane.
    painter.setPen(QPen(Qt::black, 1.2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolygon(QPolygonF{at(0, 0), at(1, 0), at(1, 1), at(0, 1)});
    painter.drawText(at(0.5, 0) + QPointF(-4, 16), QString::fromLatin1(AxisNames[u]));
    painter.drawText(at(0, 0.5) + QPointF(-16, 4), QString::fromLatin1(AxisNames[v]));

    // The atoms near the plane, with their periodic twins on the cell's edges.
    const Vec normal = cross(eu, ev);
    const double area = std::sqrt(dot(normal, normal));
    const double spacing = std::fabs(dot(grid.edges[m_axis], normal)) / area;
    const double plane = static_cast<double>(m_index) / grid.points[m_axis];
    // Fractional coordinates through the reciprocal axes.
    const double volume = dot(grid.edges[0], cross(grid.edges[1], grid.edges[2]));
    const Vec reciprocal[3] = {cross(grid.edges[1], grid.edges[2]),
                               cross(grid.edges[2], grid.edges[0]),
                               cross(grid.edges[0], grid.edges[1])};
    QFont font = painter.font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    painter.setFont(font);
    for (const CubeAtom& atom : grid.atoms) {
        double f[3];
        for (int k = 0; k < 3; ++k) f[k] = dot(atom.position, reciprocal[k]) / volume;
        double across = f[m_axis] - plane;
        across -= std::floor(across + 0.5);
        if (std::fabs(across) * spacing > AtomDistance) continue;
        const double fu = f[u] - std::floor(f[u]);
        const double fv = f[v] - std::floor(f[v]);
        for (double su : {0.0, 1.0}) {
            for (double sv : {0.0, 1.0}) {
                if ((su > 0 && fu > 1e-3) || (sv > 0 && fv > 1e-3)) continue;
                const QPointF centre = at(fu + su, fv + sv);
                const int z = atom.atomicNumber;
                painter.setPen(QPen(Qt::black, 1));
                painter.setBrush(atomColour(z, m_mobile));
                painter.drawEllipse(centre, 5.0, 5.0);
                if (const std::string symbol = elementOfAtomicNumber(z); !symbol.empty())
                    painter.drawText(centre + QPointF(6, -4), QString::fromStdString(symbol));
            }
        }
    }

    // The colour scale and what the picture shows.
    const QRect bar(margin, size.height() - legendHeight + 6, size.width() - 2 * margin, 12);
    QLinearGradient gradient(bar.topLeft(), bar.topRight());
    for (int s = 0; s <= 8; ++s) gradient.setColorAt(s / 8.0, mismatchColour(s / 8.0));
    painter.setPen(Qt::black);
    painter.setBrush(gradient);
    painter.drawRect(bar);
    const double mark = std::clamp(t / m_scaleTop, 0.0, 1.0);
    const double x = bar.left() + mark * bar.width();
    painter.setPen(QPen(Qt::black, 2));
    painter.drawLine(QPointF(x, bar.top() - 3), QPointF(x, bar.bottom() + 3));
    painter.setPen(Qt::black);
    const int textTop = bar.bottom() + 2;
    painter.drawText(QRect(bar.left(), textTop, 80, 16), Qt::AlignLeft, QStringLiteral("0"));
    painter.drawText(QRect(bar.right() - 120, textTop, 120, 16), Qt::AlignRight,
                     QString::asprintf("%.2f v.u. and above", m_scaleTop));
    painter.drawText(QRect(bar.left(), textTop, bar.width(), 16), Qt::AlignHCenter,
                     QString::asprintf("|BVS - V|, outlined at %.3f", t));
    painter.drawText(QRect(margin, 4, size.width() - 2 * margin, 18), Qt::AlignLeft,
                     QString::asprintf("%s = %.3f (point %d of %d)", AxisNames[m_axis], plane,
                                       m_index + 1, grid.points[m_axis]));
}

CLandscapeView::CLandscapeView(MessageSink showMessage, QWidget* parent)
    : QWidget(parent, Qt::Window), m_showMessage(std::move(showMessage)) {
    setObjectName(QStringLiteral("landscapeView"));
    setWindowTitle(QStringLiteral("Landscape"));
    m_canvas = new CLandscapeCanvas(this);

    m_axis = new QComboBox(this);
    m_axis->setObjectName(QStringLiteral("sliceAxis"));
    for (const char* name : AxisNames)
        m_axis->addItem(QStringLiteral("across ") + QString::fromLatin1(name));
    m_slice = new QSlider(Qt::Horizontal, this);
    m_slice->setObjectName(QStringLiteral("slicePosition"));
    m_sliceText = new QLabel(this);
    m_threshold = new QSlider(Qt::Horizontal, this);
    m_threshold->setObjectName(QStringLiteral("thresholdSlider"));
    m_thresholdText = new QLabel(this);
    m_thresholdText->setObjectName(QStringLiteral("thresholdText"));

    auto* thresholds = new QGroupBox(QStringLiteral("Percolation thresholds"), this);
    auto* thresholdRows = new QFormLayout(thresholds);
    const char* ids[] = {"threshold1d", "threshold2d", "threshold3d"};
    const char* names[] = {"1D", "2D", "3D"};
    for (int d = 0; d < 3; ++d) {
        m_thresholds[d] = new QLabel(thresholds);
        m_thresholds[d]->setObjectName(QString::fromLatin1(ids[d]));
        m_thresholds[d]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto* show = new QPushButton(QString::fromLatin1(names[d]), thresholds);
        show->setObjectName(QStringLiteral("show") + QString::fromLatin1(names[d]));
        show->setToolTip(QStringLiteral("Outline the region at this threshold"));
        show->setAutoDefault(false);
        connect(show, &QPushButton::clicked, this, [this, d] {
            if (m_summary.thresholds[d])
                m_threshold->setValue(ThresholdSteps(*m_summary.thresholds[d]));
        });
        thresholdRows->addRow(show, m_thresholds[d]);
    }
    m_about = new QLabel(this);
    m_about->setWordWrap(true);
    auto* exportButton = new QPushButton(QStringLiteral("Export picture..."), this);
    exportButton->setObjectName(QStringLiteral("exportPicture"));
    exportButton->setToolTip(QStringLiteral("Save the slice as a PNG picture"));
    exportButton->setAutoDefault(false);

    auto* side = new QVBoxLayout;
    side->addWidget(new QLabel(QStringLiteral("Slice"), this));
    side->addWidget(m_axis);
    side->addWidget(m_slice);
    side->addWidget(m_sliceText);
    side->addSpacing(8);
    side->addWidget(new QLabel(QStringLiteral("Threshold of the outlined region"), this));
    side->addWidget(m_threshold);
    side->addWidget(m_thresholdText);
    side->addSpacing(8);
    side->addWidget(thresholds);
    side->addWidget(m_about);
    side->addStretch(1);
    side->addWidget(exportButton);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_canvas, 1);
    layout->addLayout(side);

    connect(m_axis, &QComboBox::currentIndexChanged, this, [this](int axis) {
        if (m_grid.values.empty()) return;
        const QSignalBlocker blocked(m_slice);
        m_slice->setRange(0, m_grid.points[axis] - 1);
        m_slice->setValue(std::min(m_slice->value(), m_slice->maximum()));
        ShowSlice();
    });
    connect(m_slice, &QSlider::valueChanged, this, &CLandscapeView::ShowSlice);
    connect(m_threshold, &QSlider::valueChanged, this, [this](int steps) {
        m_canvas->SetThreshold(steps * ThresholdStep);
        m_thresholdText->setText(QString::asprintf("%.3f ", steps * ThresholdStep) +
                                 QString::fromStdString(m_summary.unit));
    });
    connect(exportButton, &QPushButton::clicked, this, &CLandscapeView::OnExportPicture);
}

int CLandscapeView::ThresholdSteps(double value) const {
    return static_cast<int>(std::lround(value / ThresholdStep));
}

void CLandscapeView::ShowLandscape(CubeGrid grid, LandscapeSummary summary) {
    m_grid = std::move(grid);
    m_summary = std::move(summary);
    setWindowTitle(QStringLiteral("Landscape of ") + QString::fromStdString(m_summary.ion));

    // The scale spends its colours where paths are decided: up to half the ion's valence (the
    // mismatch where no counter-ion is near is the whole of it), and well past every threshold.
    double top = 0.5 * valenceOfIon(m_summary.ion);
    for (const auto& t : m_summary.thresholds)
        if (t) top = std::max(top, 1.5 * *t);
    m_canvas->ShowGrid(&m_grid, atomicNumberOfIon(m_summary.ion), top);

    // Across an axis the 1D path does not leave, so that the path lies in the slices.
    int axis = 2;
    if (m_summary.direction1d) {
        for (int candidate : {2, 0, 1}) {
            if ((*m_summary.direction1d)[candidate] == 0) {
                axis = candidate;
                break;
            }
        }
    }
    // Through a site the ion was taken from, where its path passes; else the lowest point.
    int index = 0;
    const int mobile = atomicNumberOfIon(m_summary.ion);
    const auto site =
        std::find_if(m_grid.atoms.begin(), m_grid.atoms.end(),
                     [&](const CubeAtom& atom) { return atom.atomicNumber == mobile; });
    if (site != m_grid.atoms.end() && !m_summary.removed.empty()) {
        const Vec across = cross(m_grid.edges[(axis + 1) % 3], m_grid.edges[(axis + 2) % 3]);
        double f = dot(site->position, across) / dot(m_grid.edges[axis], across);
        f -= std::floor(f);
        index = static_cast<int>(std::lround(f * m_grid.points[axis])) % m_grid.points[axis];
    } else if (!m_grid.values.empty()) {
        const auto lowest = std::min_element(m_grid.values.begin(), m_grid.values.end());
        std::size_t point = static_cast<std::size_t>(lowest - m_grid.values.begin());
        int ijk[3];
        for (int k = 2; k >= 0; --k) {
            ijk[k] = static_cast<int>(point % static_cast<std::size_t>(m_grid.points[k]));
            point /= static_cast<std::size_t>(m_grid.points[k]);
        }
        index = ijk[axis];
    }
    {
        const QSignalBlocker blockedAxis(m_axis);
        const QSignalBlocker blockedSlice(m_slice);
        m_axis->setCurrentIndex(axis);
        m_slice->setRange(0, std::max(0, m_grid.points[axis] - 1));
        m_slice->setValue(index);
    }
    ShowSlice();

    m_threshold->setRange(0, ThresholdSteps(top));
    const std::optional<double> lowest = m_summary.lowestThreshold();
    // Without a path, a little above the lowest point: the pockets where the ion would sit.
    double start = lowest ? *lowest : 0.05 * top;
    if (!lowest && !m_grid.values.empty())
        start += *std::min_element(m_grid.values.begin(), m_grid.values.end());
    m_threshold->setValue(ThresholdSteps(start));
    emit m_threshold->valueChanged(m_threshold->value());  // also when the value stayed
    ShowThresholds();
}

void CLandscapeView::ShowSlice() {
    m_canvas->SetSlice(m_axis->currentIndex(), m_slice->value());
    const int axis = m_canvas->Axis();
    const int points = m_grid.values.empty() ? 1 : m_grid.points[axis];
    m_sliceText->setText(QString::asprintf("%s = %.3f", AxisNames[axis],
                                           static_cast<double>(m_canvas->Index()) / points));
}

void CLandscapeView::ShowThresholds() {
    const QString unit = QStringLiteral(" ") + QString::fromStdString(m_summary.unit);
    for (int d = 0; d < 3; ++d) {
        const std::optional<double>& t = m_summary.thresholds[d];
        QString text = t ? QString::asprintf("%.4f", *t) + unit : QStringLiteral("none");
        if (d == 0 && t && m_summary.direction1d)
            text += QStringLiteral(" along ") +
                    QString::fromStdString(directionText(*m_summary.direction1d));
        if (d == 1 && t && m_summary.plane2d) {
            text += QStringLiteral(" in ") +
                    QString::fromStdString(directionText((*m_summary.plane2d)[0]) + " " +
                                           directionText((*m_summary.plane2d)[1]));
        }
        m_thresholds[d]->setText(text);
    }
    QString about = QString::fromStdString(m_summary.ion) +
                    QString::asprintf(" on %d x %d x %d points", m_grid.points[0], m_grid.points[1],
                                      m_grid.points[2]);
    if (!m_summary.removed.empty()) {
        QStringList removed;
        for (const std::string& label : m_summary.removed) removed << QString::fromStdString(label);
        about += QStringLiteral("; taken out: ") + removed.join(QStringLiteral(", "));
    }
    if (!m_summary.lowestThreshold()) about += QStringLiteral(". No path percolates.");
    m_about->setText(about);
}

bool CLandscapeView::ExportPicture(const std::filesystem::path& file) {
    return savePicture(m_canvas->Picture(), file, m_showMessage, this);
}

void CLandscapeView::OnExportPicture() {
    exportPicture(m_canvas->Picture(), m_showMessage, this);
}

}  // namespace tarnell
