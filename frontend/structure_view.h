// The structure view beside the form: the cell of the last calculation drawn with its atoms,
// the bonds of the valence summary and the cations' polyhedra coloured by ΔV/V, turned with the
// mouse; a picked atom selects its site, whose bonds show in a small table below.
//
// Drawn with QPainter as an orthographic projection, back to front: the same picture on every
// platform Qt runs on (offscreen, Xvfb, a remote X display) with no OpenGL context to create, so
// that a test can render it and pick on it. A cell of a few hundred atoms and polyhedra draws in
// milliseconds.
#pragma once

#include <QImage>
#include <QWidget>
#include <filesystem>

#include "frontend/engine_result.h"
#include "frontend/message_sink.h"
#include "frontend/structure_model.h"

class QLabel;
class QTableWidget;

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

// The canvas with its commands (reset, views along a, b, c, export) and the bonds of the site
// selected.
class CStructureView : public QWidget {
    Q_OBJECT

public:
    CStructureView(MessageSink showMessage, QWidget* parent = nullptr);

    void ShowResult(const EngineResult& result);
    // Highlights site `site` and lists its bonds; -1 for none.
    void SelectSite(int site);
    CStructureCanvas* Canvas() const { return m_canvas; }
    // Writes the picture as PNG; false, with a message, when it cannot.
    bool ExportPicture(const std::filesystem::path& file);

signals:
    void sitePicked(int site);

public slots:
    void OnExportPicture();

private:
    void ShowBonds(int site);

    CStructureCanvas* m_canvas;
    QLabel* m_caption;
    QTableWidget* m_bonds;
    MessageSink m_showMessage;
};

}  // namespace tarnell
