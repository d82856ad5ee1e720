// Opening a structure file into the form: from the Open dialog, where the file's extension
// chooses the reader, and from the program's command line, where a switch in the engine's own
// style chooses it.
#include <QFileDialog>
#include <QFileInfo>
#include <optional>

#include "frontend/kestrin_view.h"
#include "frontend/path_text.h"
#include "settings/settings_file.h"
#include "settings/text.h"
#include "structure/structure_reader.h"

namespace tarnell {
void CKestrinView::OnFileOpen() {
    if (m_calculating || !ConfirmDiscard()) return;
    QFileDialog dialog(this, QString(), DialogFolder());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    QStringList filters;
    for (const InputFormat& format : inputFormats())
        filters.append(QString::fromUtf8(format.dialogFilter));
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QStringLiteral("inp"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;

    const QString chosen = dialog.selectedFiles().first();
    const std::filesystem::path file = pathOf(QFileInfo(chosen).absoluteFilePath());
    m_lastFolder = file.parent_path();
    OpenByExtension(file);
}

bool CKestrinView::OpenFile(const std::filesystem::path& file) {
    if (m_calculating || !ConfirmDiscard()) return false;
    return OpenByExtension(file);
}

bool CKestrinView::OpenByExtension(const std::filesystem::path& file) {
    const std::optional<ReaderMode> mode =
        readerModeForExtension(QFileInfo(pathText(file)).suffix().toStdString());
    if (!mode) {
        // No reader is guessed for a file that names none of the formats.
        ShowMessage("  " + file.string() + ":\n" +
                    messageText(message(MessageId::UnknownFormat), Program::FrontEnd));
        return false;
    }
    return OpenStructureFile(*mode, file);
}

void CKestrinView::LoadCommandLine(const QStringList& arguments) {
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        if (const std::optional<ReaderMode> mode =
                readerModeForOption(arguments[i].toStdString())) {
            OpenStructureFile(*mode, pathOf(arguments[i + 1]));
            return;
        }
    }
}

bool CKestrinView::OpenStructureFile(ReaderMode mode, const std::filesystem::path& file) {
    const std::filesystem::path sgTransFile = settingsFilePath(m_workDir, m_settings.sgTransFile);
    const ReaderContext context{DistanceLimitForNewFiles(), sgTransFile};
    // Read aside: a file that fails leaves the form, its caption and its report as they were.
    CrystalStructure structure;
    if (const Status read = readStructure(mode, file, structure, context); !read.ok()) {
        std::string message = read.text(Program::FrontEnd);
        // Not every reader's message names the file it is about.
        if (message.find(file.string()) == std::string::npos) {
            message = "  " + file.string() + ":\n" + message;
        }
        ShowMessage(message);
        return false;
    }
    if (!LoadStructure(structure, file)) {
        ShowMessage("  " + file.string() + ":\n" +
                    messageText(message(MessageId::SpeciesExceeds, MaxSites), Program::FrontEnd));
        return false;
    }
    // What the reader left out or renamed is told once, when the file is opened.
    std::string notes;
    for (const Message& note : structure.notes)
        notes += messageText(note, Program::FrontEnd) + '\n';
    if (!structure.convertedFrom.empty()) {
        notes += formatText(
            "  The file's axes %s were converted to the standard axes %s of group %d:\n"
            "  the form shows the cell and the coordinates in those.\n",
            trimBlanks(structure.convertedFrom).c_str(), trimBlanks(structure.sgName).c_str(),
            structure.sgNumber);
    }
    if (!notes.empty()) ShowMessage(notes);
    return true;
}

QString CKestrinView::DialogFolder() const {
    std::error_code error;
    return pathText(std::filesystem::is_directory(m_lastFolder, error) ? m_lastFolder : m_workDir);
}

}  // namespace tarnell
