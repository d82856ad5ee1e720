// The structure view beside the form: the drawing of the structure (structure_canvas.h) with its
// commands, and the bonds of the site picked in a small table below it.
#pragma once

#include <QWidget>
#include <filesystem>

#include "frontend/engine_result.h"
#include "frontend/message_sink.h"
#include "frontend/structure_canvas.h"

class QLabel;
class QTableWidget;

namespace tarnell {

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
