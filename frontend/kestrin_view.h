// The form that fills Kestrin's window, and the one owner of the front end's data: the crystal
// structure it shows, the values of the settings file, the working directory with the three
// files exchanged with the engine, and whether the form shows a structure read successfully.
#pragma once

#include <QRect>
#include <QStringList>
#include <QWidget>
#include <array>
#include <filesystem>
#include <optional>
#include <vector>

#include "crystal/crystal_structure.h"
#include "frontend/engine_result.h"
#include "frontend/message_sink.h"
#include "settings/settings_file.h"

class QLockFile;
class QLineEdit;
class QPushButton;

namespace tarnell {

class CGridListCtrl;
class CResultsWindow;

// Asks the user a question that is answered yes or no; true for yes.
using QuestionSink = std::function<bool(const std::string&)>;

class CKestrinView : public QWidget {
    Q_OBJECT

public:
    // Works in `workDir`; every message of the form goes to `showMessage`, and every question
    // to `askQuestion`, or to message boxes when none is given. The settings are read here, so
    // their messages come before the window is shown, and the form opens whatever they say.
    CKestrinView(const std::filesystem::path& workDir, MessageSink showMessage,
                 QWidget* parent = nullptr, QuestionSink askQuestion = {});
    // Deletes the structure file written for the engine; the report and the settings stay.
    ~CKestrinView() override;

    // Shows a structure that was read successfully from `file`: the form is emptied and filled,
    // the caption names the file and the commands that need a structure are enabled. A record
    // with more sites than the form takes is refused, and nothing changes.
    bool LoadStructure(const CrystalStructure& structure, const std::filesystem::path& file);
    // The start-up load: a switch "-b", "-r", "-i" or "-c" among the program's arguments, followed
    // by the structure file to read in that format. Without such a switch nothing is loaded.
    void LoadCommandLine(const QStringList& arguments);
    // Reads `file` in `mode` and shows it in the form; a failure is shown, naming the file, and
    // leaves the form, the caption and the report as they were.
    bool OpenStructureFile(ReaderMode mode, const std::filesystem::path& file);
    // Opens `file` with the reader its extension names, after asking whether edits of the
    // form may go: the way in for dropped files and the recent files.
    bool OpenFile(const std::filesystem::path& file);

    // Copies the controls back into the structure record and the five conditions. False, with
    // a message naming the first such cell and nothing changed, when a numeric cell holds no
    // number, a required one is empty, or the sites (down to the first empty Species cell) are
    // more than MaxSites. A cell may follow its number with an uncertainty in brackets, a sign
    // and, after a blank, a note: "0.2512(3)", "2+", "3.2 A".
    bool ReadForm();

    // Copies the structure record into the controls.
    void FillForm();
    // Empties the structure controls; the record, the conditions and the caption stay.
    void ClearForm();

    bool IsLoaded() const { return m_loaded; }
    // The form shows a structure that can be calculated: one read from a file, or one typed
    // in with a group number, a cell and at least one site.
    bool CanCalculate() const;
    // The report in the working directory belongs to the form: it was made from it.
    bool HasReport() const { return m_hasReport; }
    bool IsModified() const { return m_modified; }
    // Asks, when the form holds edits, whether they may be discarded; true when they may.
    bool ConfirmDiscard();
    CResultsWindow* ResultsWindow() const { return m_results; }
    const CrystalStructure& Structure() const { return m_structure; }
    // What the last calculation of the form gave; empty before one, and after a new structure.
    const EngineResult& Result() const { return m_result; }
    // The structure as the view draws it before a calculation: the record and its group.
    EngineResult Uncalculated() const;
    // Selects the form's row of site `row`, as a pick in the structure view does.
    void SelectSiteRow(int row);
    const Settings& CurrentSettings() const { return m_settings; }

public slots:
    void OnFileNew();
    void OnFileOpen();
    void OnFileSaveAs();
    void OnFileSaveStructureAs();
    void OnCalculation();
    // Asks for a mobile ion and shows the engine's landscape of it (landscape_run.cpp).
    void OnLandscape();
    void OnApplyDMax();
    void OnShowResults();
    // Writes the valences that the last calculation assigned by bond valence into the Valence
    // column; HasAssignedValences says whether it has any.
    void OnUseAssignedValences();
    bool HasAssignedValences() const;
    void OnHelpHtml();

    // Writes the form to `file`: a CIF when its extension is "cif", a native file otherwise.
    bool SaveStructure(const std::filesystem::path& file);

signals:
    void loadedChanged(bool loaded);
    // Which commands apply may have changed: CanCalculate, HasReport, IsModified.
    void commandsChanged();
    // A line for the status bar: what the engine prints while it runs, or how a run ended.
    // A timeout of 0 keeps it until the next one.
    void statusMessage(const QString& text, int timeout = 0);
    // A structure file was read or written; for the recent files.
    void fileUsed(const QString& file);
    // A new result to show, or none (after a new structure).
    void resultChanged();
    // The structure in the form changed: loaded, cleared or edited.
    void structureChanged();
    // The user made site `row` the current one in the form; -1 for none.
    void siteRowChosen(int row);

protected:
    // The grids grow with the window.
    void resizeEvent(QResizeEvent* event) override;

private:
    // Why the form's distance limits cannot be used, or an empty text.
    static std::string distanceLimitRefusal(const Settings& conditions);
    // The distance limit the sites of a file opened now get.
    double DistanceLimitForNewFiles() const;
    void FocusCell(CGridListCtrl* grid, int row, int column);
    // Fills the empty lattice values that the group number fixes once a is known.
    void FillFixedCell();
    void CreateControls();
    void LayOutGrids();
    // Grows or shrinks the site grid to hold `siteCount` sites and the spare rows below them.
    void FitSiteRows(int siteCount);
    void ShowConditions(int keysRead);
    void SetLoaded(bool loaded);
    void SetModified(bool modified);
    void SetHasReport(bool hasReport);
    void SetCaption(const QString& fileName);
    void ShowMessage(const std::string& message);
    bool AskQuestion(const std::string& question);
    // Marks a numeric cell that holds no number, or takes the mark away.
    void MarkCell(CGridListCtrl* grid, int row, int column);
    void MarkBox(QLineEdit* box);
    void OnCellCommitted(CGridListCtrl* grid, int row, int column);
    // Runs the engine on the files just written; true once it has written a new report.
    bool RunEngine();
    // Takes the working directory's lock, or says that another calculation holds it.
    bool LockWorkDir(QLockFile& lock);
    std::filesystem::path EnginePath() const;
    // Shows the report in the results window, and starts the settings' editor on it when the
    // key names one.
    void ShowResults();
    void StartEditor();
    bool OpenByExtension(const std::filesystem::path& file);
    // Where the open and save dialogs start: the folder of the last file chosen.
    QString DialogFolder() const;

    QLineEdit* m_titleEdit = nullptr;
    QLineEdit* m_sgNameEdit = nullptr;
    QLineEdit* m_sgNumberEdit = nullptr;
    QLineEdit* m_settingNumberEdit = nullptr;
    CGridListCtrl* m_latticeList = nullptr;
    CGridListCtrl* m_siteList = nullptr;
    QLineEdit* m_bvBEdit = nullptr;
    QLineEdit* m_dMinEdit = nullptr;
    QLineEdit* m_dMaxEdit = nullptr;
    QLineEdit* m_hMinEdit = nullptr;
    QLineEdit* m_hMaxEdit = nullptr;
    QPushButton* m_applyDMaxButton = nullptr;
    CResultsWindow* m_results = nullptr;

    CrystalStructure m_structure;
    EngineResult m_result;
    Settings m_settings;
    std::filesystem::path m_workDir;       // the working directory when the form was made
    std::filesystem::path m_inputPath;     // "Tarnell.$$$", the structure written for the engine
    std::filesystem::path m_outputPath;    // "Tarnell.out", the engine's report
    std::filesystem::path m_jsonPath;      // "Tarnell.json", the same run's results as data
    std::filesystem::path m_settingsPath;  // "Tarnell.ini"
    bool m_loaded = false;
    bool m_hasReport = false;
    bool m_modified = false;
    QString m_fileName;  // the file the caption names
    // The coordinate uncertainties the reader stored, by row: the form has no column for them.
    std::vector<std::array<double, 3>> m_rowSigmas;
    MessageSink m_showMessage;
    QuestionSink m_askQuestion;
    std::filesystem::path m_lastFolder;  // of the last file opened or saved
    bool m_calculating = false;
    // Every control's place at the form's smallest size, and where the conditions begin.
    std::vector<std::pair<QWidget*, QRect>> m_layout;
    int m_conditionsTop = 0;
};

}  // namespace tarnell
