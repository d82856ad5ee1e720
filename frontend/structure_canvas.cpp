#include "frontend/structure_canvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "frontend/delta_v_plot.h"

namespace tarnell {
namespace {

const QColor Background(252, 252, 250);
const QColor Highlight(255, 200, 0);

// Colours of the elements most structures hold, close to those viewers commonly use; any other
// element gets a colour of its own from its symbol.
QColor elementColour(const std::string& element) {
    static const std::pair<const char*, QColor> known[] = {
        {"O", {230, 30, 20}},    {"F", {140, 220, 80}},   {"Cl", {30, 200, 30}},
        {"S", {230, 200, 40}},   {"N", {50, 80, 230}},    {"C", {90, 90, 90}},
        {"H", {235, 235, 235}},  {"Ti", {150, 160, 180}}, {"Si", {240, 180, 110}},
        {"Mg", {70, 200, 40}},   {"Al", {170, 170, 190}}, {"Fe", {190, 110, 40}},
        {"Na", {170, 90, 240}},  {"K", {140, 60, 210}},   {"Ca", {80, 170, 220}},
        {"Nb", {80, 180, 180}},  {"Pb", {80, 80, 100}},   {"Zr", {120, 200, 200}},
        {"La", {100, 200, 230}}, {"Mn", {160, 80, 200}},  {"P", {250, 130, 0}},
        {"Ba", {0, 200, 100}},   {"Sr", {0, 255, 40}},    {"Li", {200, 130, 255}}};
    for (const auto& [symbol, colour] : known) {
        if (element == symbol) return colour;
    }
    const std::size_t hash = std::hash<std::string>{}(element);
    return QColor::fromHsv(static_cast<int>(hash % 360), 140, 210);
}

Vector3 sub(const Vector3& a, const Vector3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

Matrix3 turn(int axis, double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    Matrix3 m{};
    m[axis][axis] = 1.0;
    const int i = (axis + 1) % 3, j = (axis + 2) % 3;
    m[i][i] = c;
    m[i][j] = -s;
    m[j][i] = s;
    m[j][j] = c;
    return m;
}

Vector3 unit(const Vector3& v) {
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    return length > 0 ? Vector3{v[0] / length, v[1] / length, v[2] / length} : Vector3{0, 0, 1};
}

// The rotation that shows `out` towards the viewer with `up` upwards on the screen.
Matrix3 looking(const Vector3& outwards, const Vector3& upwards) {
    const Vector3 out = unit(outwards);
    const double along = upwards[0] * out[0] + upwards[1] * out[1] + upwards[2] * out[2];
    const Vector3 up = unit(
        {upwards[0] - along * out[0], upwards[1] - along * out[1], upwards[2] - along * out[2]});
    const Vector3 right{up[1] * out[2] - up[2] * out[1], up[2] * out[0] - up[0] * out[2],
                        up[0] * out[1] - up[1] * out[0]};
    return {right, up, out};
}

}  // namespace

CStructureCanvas::CStructureCanvas(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("structureCanvas"));
    setMouseTracking(false);
    ResetView();
}

void CStructureCanvas::ShowResult(const EngineResult& result) {
    m_result = result;
    m_model = buildStructureModel(m_result);
    // Centred on the cell, large enough for everything drawn.
    m_centre = {};
    for (const Vector3& axis : m_model.axes)
        for (int k = 0; k < 3; ++k) m_centre[k] += axis[k] / 2.0;
    // The cell fills the view; the neighbours outside it may reach past its edge.
    m_extent = 1.0;
    for (int corner = 0; corner < 8; ++corner) {
        Vector3 p{};
        for (int i = 0; i < 3; ++i)
            if (corner & (1 << i))
                for (int k = 0; k < 3; ++k) p[k] += m_model.axes[i][k];
        const Vector3 d = sub(p, m_centre);
        m_extent = std::max(m_extent, 1.1 * std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]));
    }
    m_selected = -1;
    update();
}

void CStructureCanvas::SelectSite(int site) {
    m_selected = site;
    update();
}

void CStructureCanvas::ViewAlong(int axis) {
    const Vector3 up = axis == 2 ? m_model.axes[1] : m_model.axes[2];
    m_rotation = looking(m_model.axes[static_cast<std::size_t>(axis)], up);
    m_zoom = 1.0;
    update();
}

void CStructureCanvas::ResetView() {
    // Along a, turned a little, so that all three edges show.
    m_rotation = looking({1, 0, 0}, {0, 0, 1});
    if (!m_model.atoms.empty() || m_model.axes[0][0] > 0)
        m_rotation = looking(m_model.axes[0], m_model.axes[2]);
    m_rotation = multiply(turn(0, 0.30), multiply(turn(1, -0.45), m_rotation));
    m_zoom = 1.0;
    update();
}

void CStructureCanvas::Turn(double aboutX, double aboutY) {
    m_rotation = multiply(turn(1, aboutY), multiply(turn(0, aboutX), m_rotation));
    update();
}

double CStructureCanvas::Scale() const {
    return m_zoom * 0.46 * std::min(width(), height()) / m_extent;
}

CStructureCanvas::Projected CStructureCanvas::Project(const Vector3& position) const {
    const Vector3 v = multiply(m_rotation, sub(position, m_centre));
    const double scale = Scale();
    return {QPointF(width() / 2.0 + v[0] * scale, height() / 2.0 - v[1] * scale), v[2]};
}

double CStructureCanvas::RadiusOf(int site) const {
    const ResultSite& s = m_result.sites[static_cast<std::size_t>(site)];
    const bool anion = s.valence < 0.0 || (s.valence == 0.0 && s.charge < 0.0);
    return (anion ? 0.42 : 0.32) * Scale();
}

QPointF CStructureCanvas::AtomPixel(int atom) const {
    return Project(m_model.atoms[static_cast<std::size_t>(atom)].position).point;
}

int CStructureCanvas::AtomAt(const QPointF& point) const {
    int found = -1;
    double nearest = -1e300;
    for (std::size_t i = 0; i < m_model.atoms.size(); ++i) {
        const Projected p = Project(m_model.atoms[i].position);
        const double r = RadiusOf(m_model.atoms[i].site);
        const QPointF d = point - p.point;
        if (d.x() * d.x() + d.y() * d.y() <= r * r && p.depth > nearest) {
            nearest = p.depth;
            found = static_cast<int>(i);
        }
    }
    return found;
}

QImage CStructureCanvas::Picture() {
    QImage image(size(), QImage::Format_ARGB32);
    QPainter painter(&image);
    Draw(painter);
    return image;
}

void CStructureCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Draw(painter);
}

void CStructureCanvas::Draw(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), Background);
    if (m_model.atoms.empty()) {
        painter.setPen(Qt::darkGray);
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("Open a structure to see it here."));
        return;
    }
    // Everything drawn back to front.
    enum class Kind { Edge, Face, Bond, Atom };
    struct Item {
        double depth;
        Kind kind;
        std::size_t index;
        std::size_t part;
    };
    std::vector<Item> items;
    std::vector<Projected> atoms;
    atoms.reserve(m_model.atoms.size());
    for (const ModelAtom& atom : m_model.atoms) atoms.push_back(Project(atom.position));
    for (std::size_t i = 0; i < atoms.size(); ++i)
        items.push_back({atoms[i].depth, Kind::Atom, i, 0});
    for (std::size_t i = 0; i < m_model.bonds.size(); ++i) {
        const ModelBond& bond = m_model.bonds[i];
        const double depth = (atoms[static_cast<std::size_t>(bond.from)].depth +
                              atoms[static_cast<std::size_t>(bond.to)].depth) /
                             2.0;
        items.push_back({depth - 1e-3, Kind::Bond, i, 0});
    }
    for (std::size_t p = 0; p < m_model.polyhedra.size(); ++p) {
        const ModelPolyhedron& polyhedron = m_model.polyhedra[p];
        for (std::size_t f = 0; f < polyhedron.faces.size(); ++f) {
            double depth = 0.0;
            for (const int corner : polyhedron.faces[f])
                depth += atoms[static_cast<std::size_t>(corner)].depth;
            items.push_back({depth / polyhedron.faces[f].size(), Kind::Face, p, f});
        }
    }
    // The cell's twelve edges: from each corner along each axis where that axis's bit is clear.
    std::array<Projected, 8> corners;
    for (int corner = 0; corner < 8; ++corner) {
        Vector3 p{};
        for (int i = 0; i < 3; ++i)
            if (corner & (1 << i))
                for (int k = 0; k < 3; ++k) p[k] += m_model.axes[i][k];
        corners[static_cast<std::size_t>(corner)] = Project(p);
    }
    for (std::size_t corner = 0; corner < 8; ++corner)
        for (std::size_t axis = 0; axis < 3; ++axis)
            if (!(corner & (1u << axis))) {
                const std::size_t other = corner | (1u << axis);
                items.push_back({(corners[corner].depth + corners[other].depth) / 2.0, Kind::Edge,
                                 corner, axis});
            }
    std::stable_sort(items.begin(), items.end(),
                     [](const Item& a, const Item& b) { return a.depth < b.depth; });

    const double scale = Scale();
    const QPen edgePen(QColor(60, 60, 60), 1.2);
    const QPen bondPen(QColor(120, 120, 120), std::max(1.5, 0.12 * scale), Qt::SolidLine,
                       Qt::RoundCap);
    for (const Item& item : items) {
        switch (item.kind) {
            case Kind::Edge:
                painter.setPen(edgePen);
                painter.drawLine(corners[item.index].point,
                                 corners[item.index | (std::size_t{1} << item.part)].point);
                break;
            case Kind::Bond: {
                const ModelBond& bond = m_model.bonds[item.index];
                painter.setPen(bondPen);
                painter.drawLine(atoms[static_cast<std::size_t>(bond.from)].point,
                                 atoms[static_cast<std::size_t>(bond.to)].point);
                break;
            }
            case Kind::Face: {
                const ModelPolyhedron& polyhedron = m_model.polyhedra[item.index];
                QPolygonF face;
                for (const int corner : polyhedron.faces[item.part])
                    face << atoms[static_cast<std::size_t>(corner)].point;
                QColor fill = polyhedron.relative ? deviationColour(*polyhedron.relative)
                                                  : QColor(200, 200, 200);
                fill.setAlpha(90);
                QColor line = fill.darker(150);
                line.setAlpha(140);
                painter.setPen(QPen(line, 0.8));
                painter.setBrush(fill);
                painter.drawPolygon(face);
                break;
            }
            case Kind::Atom: {
                const ModelAtom& atom = m_model.atoms[item.index];
                const ResultSite& site = m_result.sites[static_cast<std::size_t>(atom.site)];
                const double r = RadiusOf(atom.site);
                const QPointF centre = atoms[item.index].point;
                QColor colour = elementColour(site.element);
                if (!atom.inCell) colour = colour.lighter(125);
                QRadialGradient shade(centre - QPointF(r / 3, r / 3), r * 1.3);
                shade.setColorAt(0.0, colour.lighter(170));
                shade.setColorAt(0.6, colour);
                shade.setColorAt(1.0, colour.darker(170));
                const bool selected = atom.site == m_selected;
                painter.setPen(selected ? QPen(Highlight, std::max(2.0, r / 4))
                                        : QPen(colour.darker(200), 0.6));
                painter.setBrush(shade);
                painter.drawEllipse(centre, r, r);
                break;
            }
        }
    }
    // The atoms of the site chosen are marked above everything, also where others hide them.
    if (m_selected >= 0) {
        painter.setBrush(Qt::NoBrush);
        for (std::size_t i = 0; i < atoms.size(); ++i) {
            if (m_model.atoms[i].site != m_selected) continue;
            const double r = RadiusOf(m_selected) + 3;
            painter.setPen(QPen(Highlight, 2.5));
            painter.drawEllipse(atoms[i].point, r, r);
        }
    }
    // The edges' names at their far ends, from the origin.
    QFont labels = painter.font();
    labels.setBold(true);
    painter.setFont(labels);
    painter.setPen(Qt::black);
    const char* names[] = {"a", "b", "c"};
    for (std::size_t axis = 0; axis < 3; ++axis) {
        const QPointF from = corners[0].point;
        const QPointF to = corners[std::size_t{1} << axis].point;
        const QPointF away =
            to +
            (to - from) * (14.0 / std::max(1.0, std::hypot(to.x() - from.x(), to.y() - from.y())));
        painter.drawText(QRectF(away - QPointF(8, 8), QSizeF(16, 16)), Qt::AlignCenter,
                         QString::fromLatin1(names[axis]));
    }
    painter.drawText(QRectF(corners[0].point - QPointF(16, 0), QSizeF(14, 16)), Qt::AlignCenter,
                     QStringLiteral("0"));
    labels.setBold(false);
    painter.setFont(labels);
    const QFontMetrics metrics(labels);
    const QRect legend(8, height() - 2 * metrics.height() - 14, std::min(220, width() - 16),
                       metrics.height() + 10);
    painter.fillRect(legend.adjusted(-4, -4, 4, 4), QColor(255, 255, 255, 200));
    drawDeviationLegend(painter, legend);
}

void CStructureCanvas::mousePressEvent(QMouseEvent* event) {
    m_pressedAt = m_lastAt = event->position().toPoint();
    m_dragged = false;
}

void CStructureCanvas::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return;
    const QPoint at = event->position().toPoint();
    if ((at - m_pressedAt).manhattanLength() > 3) m_dragged = true;
    if (!m_dragged) return;
    const QPoint step = at - m_lastAt;
    m_lastAt = at;
    Turn(step.y() * 0.01, step.x() * 0.01);
}

void CStructureCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (m_dragged || event->button() != Qt::LeftButton) return;
    const int atom = AtomAt(event->position());
    const int site = atom >= 0 ? m_model.atoms[static_cast<std::size_t>(atom)].site : -1;
    SelectSite(site);
    emit sitePicked(site);
}

void CStructureCanvas::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / 120.0;
    m_zoom = std::clamp(m_zoom * std::pow(1.15, steps), 0.2, 20.0);
    update();
}

}  // namespace tarnell
