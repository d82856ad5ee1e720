// File > Save Structure As: the form, as it stands, kept as a native structure file or a CIF.
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>
#include <system_error>

#include "frontend/kestrin_view.h"
#include "frontend/path_text.h"
#include "frontend/structure_cif.h"
#include "settings/text.h"
#include "structure/native_file.h"

namespace tarnell {

void CKestrinView::OnFileSaveStructureAs() {
    if (m_calculating || !ReadForm()) return;
    QFileDialog dialog(this, QString(), DialogFolder());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(
        {QStringLiteral("Input File (*.inp)"), QStringLiteral("CIF File (*.cif)")});
    dialog.setDefaultSuffix(QStringLiteral("inp"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(filter.contains(QLatin1String("cif")) ? QStringLiteral("cif")
                                                                      : QStringLiteral("inp"));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const std::filesystem::path file =
        pathOf(QFileInfo(dialog.selectedFiles().first()).absoluteFilePath());
    m_lastFolder = file.parent_path();
    SaveStructure(file);
}

bool CKestrinView::SaveStructure(const std::filesystem::path& file) {
    if (!ReadForm()) return false;
    std::string message;
    const bool cif =
        QFileInfo(pathText(file)).suffix().compare(QLatin1String("cif"), Qt::CaseInsensitive) == 0;
    if (cif) {
        const std::string text = structureCifText(m_structure);
        QSaveFile out(pathText(file));
        if (!out.open(QIODevice::WriteOnly) ||
            out.write(text.data(), static_cast<qint64>(text.size())) !=
                static_cast<qint64>(text.size()) ||
            !out.commit()) {
            message = formatText("  %s file cannot be created !!!\n", file.string().c_str());
        }
    } else {
        // Written aside and put in place only when whole: a failed save leaves an older file
        // of that name as it was.
        std::filesystem::path part = file;
        part += ".part";
        if (const Status written = writeStructureFile(m_structure, part); !written.ok()) {
            // The message is about the file the user named.
            message = written.text(Program::FrontEnd);
            const std::size_t at = message.find(part.string());
            if (at != std::string::npos) message.replace(at, part.string().size(), file.string());
        } else {
            std::error_code error;
            std::filesystem::rename(part, file, error);
            if (error) {
                message = formatText("  %s file cannot be created !!!\n", file.string().c_str());
            }
        }
        std::error_code ignored;
        std::filesystem::remove(part, ignored);
    }
    if (!message.empty()) {
        ShowMessage(message);
        return false;
    }
    SetCaption(pathText(file));
    SetModified(false);
    emit fileUsed(pathText(file));
    return true;
}

}  // namespace tarnell
