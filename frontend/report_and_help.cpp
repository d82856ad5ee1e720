// The report after a calculation: shown in the editor, saved under a name of the user's
// choosing; and the help page, shown by the desktop's browser.
#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>
#include <system_error>

#include "frontend/kestrin_view.h"
#include "frontend/path_text.h"
#include "frontend/program_start.h"
#include "settings/text.h"

namespace tarnell {
namespace {

constexpr const char* ReportMissing = "Output file cannot open !!!!";

QUrl fileUrl(const std::filesystem::path& path) {
    return QUrl::fromLocalFile(QString::fromStdU16String(path.generic_u16string()));
}

}  // namespace

void CKestrinView::OnShowResults() {
    ShowResults();
}

void CKestrinView::ShowResults() {
    std::error_code error;
    if (!std::filesystem::is_regular_file(m_outputPath, error)) {
        ShowMessage(ReportMissing);
        return;
    }
    const QString report = pathText(m_outputPath);
    const QString editor = QString::fromStdString(m_settings.editor).trimmed();
    if (editor.isEmpty()) {
        // No editor named: the desktop's own program for text files.
        if (!QDesktopServices::openUrl(fileUrl(m_outputPath))) {
            ShowMessage(formatText("  No program opens %s !!!\n", m_outputPath.string().c_str()));
        }
        return;
    }
    QString reason;
    if (!startProgramOn(editor, report, m_workDir, reason)) {
        ShowMessage(formatText("  Editor %s cannot be started (%s) !!!\n",
                               m_settings.editor.c_str(), reason.toStdString().c_str()));
    }
}

void CKestrinView::OnFileSaveAs() {
    // Without a report there is nothing to save: better said before a name is asked for.
    std::error_code error;
    if (!std::filesystem::is_regular_file(m_outputPath, error)) {
        ShowMessage(ReportMissing);
        return;
    }
    QFileDialog dialog(this, QString(), DialogFolder());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(
        {QStringLiteral("Text file (*.txt)"), QStringLiteral("Other file (*.*)")});
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const std::filesystem::path target =
        pathOf(QFileInfo(dialog.selectedFiles().first()).absoluteFilePath());
    m_lastFolder = target.parent_path();

    QFile report(pathText(m_outputPath));
    if (!report.open(QIODevice::ReadOnly)) {
        ShowMessage(ReportMissing);
        return;
    }
    const QByteArray bytes = report.readAll();
    report.close();
    // Written beside the target and put in its place only when whole, so that a save that
    // fails leaves a file of that name as it was.
    QSaveFile copy(pathText(target));
    if (!copy.open(QIODevice::WriteOnly) || copy.write(bytes) != bytes.size() || !copy.commit()) {
        ShowMessage(formatText("  %s file cannot be created !!!\n", target.string().c_str()));
    }
}

void CKestrinView::OnHelpHtml() {
    const std::filesystem::path help = m_workDir / "KestrinHelp.html";
    std::error_code error;
    if (!std::filesystem::is_regular_file(help, error) ||
        !QDesktopServices::openUrl(fileUrl(help))) {
        QApplication::beep();
        ShowMessage("Cannot execute html file !!!");
    }
}

}  // namespace tarnell
