// The structure drawn: the cell of a result with its atoms, the bonds of the valence summary and
// the cations' polyhedra coloured by ΔV/V, turned and zoomed with the mouse, and picked.
//
// Drawn with QPainter as an orthographic projection, back to front: the same picture on every
// platform Qt runs on (offscreen, Xvfb, a remote X display) with no OpenGL context to create, so
// that a test can render it and pick on it. A cell of a few hundred atoms and polyhedra draws in
// milliseconds.
#pragma once

#include <QImage>
#include <QWidget>

#include "frontend/engine_result.h"
#include "frontend/structure_model.h"

namespace tarnell {

// The drawing itself, turned and zoomed with the mouse.
class CStructureCanvas : public QWidget {
    Q_OBJECT

public:
    explicit CStructureCanvas(QWidget* parent = nullptr);

    void ShowResult(const EngineResult& result);
    // The site drawn highlighted; -1 for none.
    void SelectSite(int site);
    int SelectedSite() const { return m_selected; }
    // The atom drawn frontmost at `point`, or -1.
    int AtomAt(const QPointF& point) const;
    // Where atom `atom` is drawn, its centre in widget pixels.
    QPointF AtomPixel(int atom) const;
    const StructureModel& Model() const { return m_model; }
    const EngineResult& Result() const { return m_result; }

    // The direction of view: along an edge of the cell (0 a, 1 b, 2 c), or the first one shown.
    void ViewAlong(int axis);
    void ResetView();
    // The picture as drawn at the canvas's size.
    QImage Picture();

    QSize sizeHint() const override { return {420, 380}; }
    QSize minimumSizeHint() const override { return {200, 160}; }

signals:
    // The user picked an atom of site `site`, or empty space (-1).
    void sitePicked(int site);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    struct Projected {
        QPointF point;
        double depth = 0.0;  // towards the viewer
    };
    Projected Project(const Vector3& position) const;
    double Scale() const;
    double RadiusOf(int site) const;
    void Draw(QPainter& painter);
    void Turn(double aboutX, double aboutY);

    EngineResult m_result;
    StructureModel m_model;
    Vector3 m_centre{};
    double m_extent = 1.0;  // the model's radius round its centre, Å
    Matrix3 m_rotation{};
    double m_zoom = 1.0;
    int m_selected = -1;
    QPoint m_pressedAt;
    QPoint m_lastAt;
    bool m_dragged = false;
};

}  // namespace tarnell
