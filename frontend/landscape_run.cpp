// The Landscape command: the form goes to the engine as a native file, `Tarnell --landscape`
// puts the chosen mobile ion at every point of the cell, and its cube file and JSON are shown in
// the landscape window.
#include <QCoreApplication>
#include <QInputDialog>
#include <QLockFile>
#include <cmath>
#include <system_error>

#include "frontend/kestrin_view.h"
#include "frontend/landscape_view.h"
#include "frontend/path_text.h"
#include "frontend/program_start.h"
#include "settings/text.h"
#include "structure/native_file.h"
#include "structure/site_label.h"

namespace tarnell {
namespace {

// The engine chooses its reader by the extension, so the form goes as ".inp", not as the
// calculation's "Tarnell.$$$".
constexpr const char* LandscapeInput = "Tarnell-landscape.inp";
constexpr const char* LandscapeCube = "Tarnell.cube";
constexpr const char* LandscapeJson = "Tarnell-landscape.json";

// The ion a user most likely means: the form's first cation, as "Li+" or "Mg2+".
QString firstCation(const CrystalStructure& structure) {
    for (const Site& site : structure.sites) {
        const double valence = site.valence != 0.0 ? site.valence : site.charge;
        const long charge = std::lround(valence);
        if (charge <= 0) continue;
        const std::string element = site.element.empty() ? elementOfLabel(site.name) : site.element;
        if (element.empty()) continue;
        return QString::fromStdString(element) +
               (charge == 1 ? QStringLiteral("+") : QString::number(charge) + QLatin1Char('+'));
    }
    return QStringLiteral("Li+");
}

// The engine's last lines without its "Ok?" prompt, which asks for a key on its own console.
QString engineLines(const QString& output) {
    QStringList lines = output.trimmed().split(QLatin1Char('\n'));
    lines.removeIf([](const QString& line) { return line.trimmed() == QLatin1String("Ok?"); });
    if (lines.size() > 40) lines = lines.mid(lines.size() - 40);
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

void CKestrinView::OnLandscape() {
    if (m_calculating || !CanCalculate() || !ReadForm()) return;
    bool chosen = false;
    const QString ion =
        QInputDialog::getText(this, QStringLiteral("Landscape"),
                              QStringLiteral("Mobile ion (as Li+, Na+, Mg2+, F-, O2-):"),
                              QLineEdit::Normal, firstCation(m_structure), &chosen)
            .trimmed();
    if (!chosen || ion.isEmpty()) return;

    QLockFile lock(pathText(m_workDir / "Tarnell.lock"));
    if (!LockWorkDir(lock)) return;
    const std::filesystem::path input = m_workDir / LandscapeInput;
    const std::filesystem::path cube = m_workDir / LandscapeCube;
    const std::filesystem::path json = m_workDir / LandscapeJson;
    Status saved = writeStructureFile(m_structure, input);
    if (saved.ok()) saved = saveConditions(m_settingsPath, m_settings);
    if (!saved.ok()) {
        ShowMessage(saved.text(Program::FrontEnd));
        return;
    }
    // An old landscape must never pass for the one of this form and ion.
    std::error_code error;
    for (const std::filesystem::path& old : {cube, json}) {
        std::filesystem::remove(old, error);
        if (std::filesystem::exists(old, error)) {
            ShowMessage(formatText("  %s cannot be replaced !!!\n", old.string().c_str()));
            return;
        }
    }

    const std::filesystem::path engine = EnginePath();
    m_calculating = true;
    const ProgramRun run =
        runProgramAndWait(pathText(engine),
                          {QStringLiteral("--landscape"), ion, QString::fromLatin1(LandscapeInput),
                           QString::fromLatin1(LandscapeCube), QStringLiteral("-j"),
                           QString::fromLatin1(LandscapeJson)},
                          m_workDir, [this](const QString& line) { emit statusMessage(line); });
    m_calculating = false;
    std::filesystem::remove(input, error);

    std::string failure;
    CubeGrid grid;
    LandscapeSummary summary;
    if (!run.started) {
        failure = formatText("  Tarnell cannot be started: %s (%s) !!!\n", engine.string().c_str(),
                             run.startError.toStdString().c_str());
    } else if (run.crashed) {
        failure = "  Tarnell stopped abnormally !!!\n";
    } else if (run.exitCode != 0) {
        // The engine's own lines below say why.
        failure = formatText("  Tarnell found no landscape of %s (status %d) !!!\n",
                             ion.toStdString().c_str(), run.exitCode);
    } else if (!std::filesystem::is_regular_file(cube, error)) {
        failure = formatText("  Tarnell wrote no landscape %s !!!\n", cube.string().c_str());
    } else if (!std::filesystem::is_regular_file(json, error)) {
        failure = formatText("  Tarnell wrote no results %s !!!\n", json.string().c_str());
    } else if (const std::string why = readCubeFile(cube, grid); !why.empty()) {
        failure = "  " + why + " !!!\n";
    } else if (const std::string whyNot = readLandscapeSummary(json, summary); !whyNot.empty()) {
        failure = "  " + whyNot + " !!!\n";
    }
    if (!failure.empty()) {
        emit statusMessage(QString::fromStdString(failure).trimmed());
        const QString printed = engineLines(run.output);
        if (!printed.isEmpty()) failure += '\n' + printed.toStdString() + '\n';
        ShowMessage(failure);
        return;
    }

    auto* window = findChild<CLandscapeView*>(QString(), Qt::FindDirectChildrenOnly);
    if (!window) {
        window = new CLandscapeView([this](const std::string& m) { ShowMessage(m); }, this);
        window->resize(900, 600);
    }
    window->ShowLandscape(std::move(grid), std::move(summary));
    window->show();
    window->raise();
    // The engine's summary line: the thresholds in one line.
    emit statusMessage(engineLines(run.output).section(QLatin1Char('\n'), -1).trimmed());
}

}  // namespace tarnell
