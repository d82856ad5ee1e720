// Running a calculation: the form goes back into the record and the conditions, these go to
// the engine through "Tarnell.$$$" and "Tarnell.ini", the engine runs while Kestrin waits, and
// its report opens in the editor of the settings.
#include <QCoreApplication>
#include <system_error>

#include "frontend/kestrin_view.h"
#include "frontend/path_text.h"
#include "frontend/program_start.h"
#include "settings/text.h"
#include "structure/native_file.h"

namespace tarnell {
namespace {

// The engine prints a few lines; a runaway one is cut to its last lines.
QString lastLines(const QString& output, qsizetype count) {
    QStringList lines = output.trimmed().split(QLatin1Char('\n'));
    if (lines.size() > count) lines = lines.mid(lines.size() - count);
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

void CKestrinView::OnCalculation() {
    if (m_calculating || !ReadForm()) return;
    // The engine reads whatever these files hold: if either cannot be written as the form now
    // stands, running it would give the report of an earlier structure or conditions.
    std::string message;
    if (writeStructureFile(m_structure, m_inputPath, message) != 0 ||
        saveConditions(m_settingsPath, m_settings, message) != 0) {
        ShowMessage(message);
        return;
    }
    if (RunEngine()) ShowResults();
}

std::filesystem::path CKestrinView::EnginePath() const {
    const std::filesystem::path name = pathOf(executableName(QStringLiteral("Tarnell")));
    std::error_code error;
    if (std::filesystem::is_regular_file(m_workDir / name, error)) return m_workDir / name;
    return pathOf(QCoreApplication::applicationDirPath()) / name;
}

bool CKestrinView::RunEngine() {
    // Whatever the engine does, an old report must never pass for its new one.
    std::error_code error;
    std::filesystem::remove(m_outputPath, error);
    if (std::filesystem::exists(m_outputPath, error)) {
        ShowMessage(formatText("  %s cannot be replaced !!!\n", m_outputPath.string().c_str()));
        return false;
    }

    const std::filesystem::path engine = EnginePath();
    m_calculating = true;
    const ProgramRun run = runProgramAndWait(
        pathText(engine),
        {QStringLiteral("-b"), QStringLiteral("Tarnell.$$$"), QStringLiteral("Tarnell.out")},
        m_workDir, [this](const QString& line) { emit statusMessage(line); });
    m_calculating = false;

    std::string failure;
    if (!run.started) {
        failure = formatText("  Tarnell cannot be started: %s (%s) !!!\n", engine.string().c_str(),
                             run.startError.toStdString().c_str());
    } else if (run.crashed) {
        failure = "  Tarnell stopped abnormally !!!\n";
    } else if (run.exitCode == 1) {
        // The engine's own line below says why; whatever stands at the path is no report of it.
        failure = formatText("  Tarnell could not write its report %s !!!\n",
                             m_outputPath.string().c_str());
    } else if (run.exitCode != 0) {
        failure = formatText("  Tarnell stopped with status %d !!!\n", run.exitCode);
    } else if (!std::filesystem::is_regular_file(m_outputPath, error)) {
        failure = formatText("  Tarnell wrote no report %s !!!\n", m_outputPath.string().c_str());
    }
    if (failure.empty()) return true;
    const QString printed = lastLines(run.output, 40);
    if (!printed.isEmpty()) {
        failure += '\n';
        failure += printed.toStdString();
        failure += '\n';
    }
    ShowMessage(failure);
    return false;
}

}  // namespace tarnell
