// The window of a mobile ion's bond valence landscape: slices of the cell coloured by the
// mismatch |BVS - V|, the region the ion can reach at a chosen threshold outlined, and the
// thresholds at which that region percolates in one, two and three dimensions beside it.
#pragma once

#include <QImage>
#include <QWidget>
#include <filesystem>

#include "frontend/cube_reader.h"
#include "frontend/landscape_summary.h"
#include "frontend/message_sink.h"

class QComboBox;
class QLabel;
class QSlider;

namespace tarnell {

// One slice of the grid across axis `axis` (0 a, 1 b, 2 c) at its point `index`, drawn in the
// slice's true shape (its two edges at their lengths and angle), with the outline of the points
// at or below the threshold and the atoms within half an Å of the plane.
class CLandscapeCanvas : public QWidget {
    Q_OBJECT

public:
    explicit CLandscapeCanvas(QWidget* parent = nullptr);

    void ShowGrid(const CubeGrid* grid, int mobileAtomicNumber, double scaleTop);
    void SetSlice(int axis, int index);
    void SetThreshold(double threshold);
    int Axis() const { return m_axis; }
    int Index() const { return m_index; }
    double Threshold() const { return m_threshold; }
    double ScaleTop() const { return m_scaleTop; }
    // The canvas as drawn now, for the export and the tests.
    QImage Picture() const;

    QSize sizeHint() const override { return {560, 520}; }
    QSize minimumSizeHint() const override { return {240, 220}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Draw(QPainter& painter, const QSize& size) const;

    const CubeGrid* m_grid = nullptr;
    int m_mobile = 0;
    double m_scaleTop = 1.0;
    int m_axis = 2;
    int m_index = 0;
    double m_threshold = 0.0;
};

class CLandscapeView : public QWidget {
    Q_OBJECT

public:
    explicit CLandscapeView(MessageSink showMessage, QWidget* parent = nullptr);

    // Shows a landscape just read: a slice across an axis that the 1D path does not leave,
    // through a site the mobile ion was taken from (else the grid's lowest point), outlined at
    // the lowest threshold that percolates.
    void ShowLandscape(CubeGrid grid, LandscapeSummary summary);
    const LandscapeSummary& Summary() const { return m_summary; }
    CLandscapeCanvas* Canvas() const { return m_canvas; }
    // Writes the picture as PNG; false, with a message, when it cannot.
    bool ExportPicture(const std::filesystem::path& file);

public slots:
    void OnExportPicture();

private:
    void ShowSlice();
    void ShowThresholds();
    int ThresholdSteps(double value) const;

    CubeGrid m_grid;
    LandscapeSummary m_summary;
    CLandscapeCanvas* m_canvas;
    QComboBox* m_axis;
    QSlider* m_slice;
    QLabel* m_sliceText;
    QSlider* m_threshold;
    QLabel* m_thresholdText;
    QLabel* m_thresholds[3];
    QLabel* m_about;
    MessageSink m_showMessage;
};

}  // namespace tarnell
