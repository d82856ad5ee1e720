// The report after a calculation: shown in the results window and the editor, saved under a
// name of the user's choosing; and the help page, shown by the desktop's browser.
#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QSaveFile>
#include <QUrl>
#include <system_error>

#include "frontend/engine_result.h"
#include "frontend/kestrin_view.h"
#include "frontend/path_text.h"
#include "frontend/program_start.h"
#include "frontend/results_window.h"
#include "settings/text.h"

namespace tarnell {
namespace {

constexpr const char* ReportMissing = "Output file cannot open !!!!";

QUrl fileUrl(const std::filesystem::path& path) {
    return QUrl::fromLocalFile(QString::fromStdU16String(path.generic_u16string()));
}

}  // namespace

void CKestrinView::OnShowResults() {
    if (!m_hasReport) return;
    ShowResults();
}

void CKestrinView::ShowResults() {
    QFile file(pathText(m_outputPath));
    if (!file.open(QIODevice::ReadOnly)) {
        ShowMessage(ReportMissing);
        return;
    }
    const QByteArray bytes = file.readAll();
    // What the run gave is read from its JSON; the report is shown as it is.
    QFile data(pathText(m_jsonPath));
    EngineResult result;
    std::string error;
    if (!data.open(QIODevice::ReadOnly) ||
        !parseEngineResult(data.readAll().toStdString(), result, error)) {
        result = EngineResult();
        result.message = formatText("%s cannot be read.", m_jsonPath.string().c_str());
    }
    m_result = result;
    m_results->ShowResult(QString::fromLocal8Bit(bytes), result);
    emit resultChanged();
    m_results->ShowBeside(window());
    StartEditor();
}

void CKestrinView::StartEditor() {
    const QString editor = QString::fromStdString(m_settings.editor).trimmed();
    if (editor.isEmpty()) return;
    const QPointer<CKestrinView> view(this);
    const std::string settings = m_settingsPath.string();
    startProgramOn(
        editor, pathText(m_outputPath), m_workDir, [view, editor, settings](const QString& reason) {
            if (!view) return;
            view->ShowMessage(formatText(
                "  Editor %s cannot show the report: %s !!!\n"
                "  Name a program that opens text files in the Editor key of %s,\n"
                "  or leave the key empty: the results window shows the report.\n",
                editor.toStdString().c_str(), reason.toStdString().c_str(), settings.c_str()));
        });
}

void CKestrinView::OnFileSaveAs() {
    // Without a report there is nothing to save: better said before a name is asked for.
    std::error_code error;
    if (!m_hasReport || !std::filesystem::is_regular_file(m_outputPath, error)) {
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
    const QPointer<CKestrinView> view(this);
    auto cannot = [view](const std::string& reason) {
        if (!view) return;
        QApplication::beep();
        view->ShowMessage("Cannot execute html file !!!\n" + reason);
    };
    std::error_code error;
    if (!std::filesystem::is_regular_file(help, error)) {
        cannot(formatText("  %s is missing.\n", help.string().c_str()));
        return;
    }
    const QString opener = desktopOpener();
    if (opener.isEmpty()) {
        if (!QDesktopServices::openUrl(fileUrl(help))) cannot("  No program opens HTML files.\n");
        return;
    }
    startProgramOn(opener, pathText(help), m_workDir, [cannot, opener](const QString& reason) {
        cannot(
            formatText("  %s found no program for HTML files (%s).\n"
                       "  Choose a default web browser on the desktop, for example with\n"
                       "  xdg-settings set default-web-browser firefox.desktop\n",
                       opener.toStdString().c_str(), reason.toStdString().c_str()));
    });
}

}  // namespace tarnell
