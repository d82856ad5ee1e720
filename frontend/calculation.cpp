// Running a calculation: the form goes back into the record and the conditions, these go to
// the engine through "Tarnell.$$$" and "Tarnell.ini", the engine runs while Kestrin waits, and
// its report is shown in the results window (and the editor of the settings, when it names one).
#include <QCoreApplication>
#include <QLockFile>
#include <algorithm>
#include <system_error>

#include "frontend/kestrin_view.h"
#include "frontend/path_text.h"
#include "frontend/program_start.h"
#include "frontend/results_window.h"
#include "settings/text.h"
#include "structure/native_file.h"

namespace tarnell {
namespace {

// The engine prints a few lines; a runaway one is cut to its last lines. Its prompt "Ok?" asks
// for a key on its own console, which a message box has no use for.
QString lastLines(const QString& output, qsizetype count) {
    QStringList lines = output.trimmed().split(QLatin1Char('\n'));
    lines.removeIf([](const QString& line) { return line.trimmed() == QLatin1String("Ok?"); });
    if (lines.size() > count) lines = lines.mid(lines.size() - count);
    return lines.join(QLatin1Char('\n'));
}

// The sites whose valence is 0, by name.
std::string sitesWithoutCharge(const CrystalStructure& structure) {
    std::string names;
    int count = 0;
    for (const Site& site : structure.sites) {
        if (site.charge != 0.0) continue;
        if (++count > 8) {
            names += ", ...";
            break;
        }
        names += (names.empty() ? "" : ", ") + site.name;
    }
    return names;
}

}  // namespace

void CKestrinView::OnCalculation() {
    if (m_calculating || !CanCalculate() || !ReadForm()) return;
    // A form without any valence is calculated at once: the engine assigns them all by bond
    // valence. Some missing beside others typed is more likely an oversight.
    const std::string uncharged = sitesWithoutCharge(m_structure);
    const bool noneTyped =
        std::none_of(m_structure.sites.begin(), m_structure.sites.end(),
                     [](const Site& site) { return formalValence(site) != 0.0; });
    if (!uncharged.empty() && !noneTyped &&
        !AskQuestion("Valence 0 at: " + uncharged +
                     ".\nThe engine assigns these sites valences by bond valence, beside those "
                     "typed.\nCalculate all the same?")) {
        return;
    }

    QLockFile lock(pathText(m_workDir / "Tarnell.lock"));
    if (!LockWorkDir(lock)) return;
    // The engine reads whatever these files hold: if either cannot be written as the form now
    // stands, running it would give the report of an earlier structure or conditions.
    Status saved = writeStructureFile(m_structure, m_inputPath);
    if (saved.ok()) saved = saveConditions(m_settingsPath, m_settings);
    if (!saved.ok()) {
        ShowMessage(saved.text(Program::FrontEnd));
        return;
    }
    SetHasReport(false);
    if (!RunEngine()) return;
    SetHasReport(true);
    ShowResults();
    // The result read, the command that uses its assigned valences may apply.
    emit commandsChanged();
    // The engine says "Calculation completed !" whatever its report holds.
    const QString failure = m_results->Failure();
    if (failure.isEmpty()) {
        emit statusMessage(QStringLiteral("Calculation completed !"), 5000);
    } else {
        emit statusMessage(QStringLiteral("The calculation failed: ") + failure);
    }
}

bool CKestrinView::LockWorkDir(QLockFile& lock) {
    // Two Kestrins in one folder would write the same input and read the same report.
    lock.setStaleLockTime(0);  // a calculation may take long; only a dead owner frees it
    if (lock.tryLock(0)) return true;
    ShowMessage(
        formatText("  Another calculation is running in %s !!!\n"
                   "  Calculate again when it has finished.\n",
                   m_workDir.string().c_str()));
    return false;
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
    for (const std::filesystem::path& old : {m_outputPath, m_jsonPath}) {
        std::filesystem::remove(old, error);
        if (std::filesystem::exists(old, error)) {
            ShowMessage(formatText("  %s cannot be replaced !!!\n", old.string().c_str()));
            return false;
        }
    }

    const std::filesystem::path engine = EnginePath();
    m_calculating = true;
    const ProgramRun run = runProgramAndWait(
        pathText(engine),
        {QStringLiteral("-b"), QStringLiteral("Tarnell.$$$"), QStringLiteral("Tarnell.out"),
         QStringLiteral("-j"), QStringLiteral("Tarnell.json")},
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
    } else if (!std::filesystem::is_regular_file(m_jsonPath, error)) {
        failure = formatText("  Tarnell wrote no results %s !!!\n", m_jsonPath.string().c_str());
    }
    if (failure.empty()) return true;
    emit statusMessage(QString::fromStdString(failure).trimmed());
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
