#include "frontend/picture_export.h"

#include <QFileDialog>
#include <QMessageBox>

#include "frontend/path_text.h"
#include "settings/text.h"

namespace tarnell {

bool savePicture(const QImage& picture, const std::filesystem::path& file,
                 const MessageSink& showMessage, QWidget* parent) {
    if (picture.save(pathText(file), "PNG")) return true;
    const std::string message =
        formatText("  %s file cannot be created !!!\n", file.string().c_str());
    if (showMessage) {
        showMessage(message);
    } else {
        QMessageBox::warning(parent, QStringLiteral("Kestrin"),
                             QString::fromStdString(trimBlanks(message)));
    }
    return false;
}

void exportPicture(const QImage& picture, const MessageSink& showMessage, QWidget* parent) {
    QString file = QFileDialog::getSaveFileName(parent, QStringLiteral("Export picture"), QString(),
                                                QStringLiteral("PNG picture (*.png)"));
    if (file.isEmpty()) return;
    if (!file.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) file += QStringLiteral(".png");
    savePicture(picture, pathOf(file), showMessage, parent);
}

}  // namespace tarnell
