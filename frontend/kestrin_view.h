// The form that fills Kestrin's window, and the one owner of the front end's data: the crystal
// structure it shows, the values of the settings file, the working directory with the three
// files exchanged with the engine, and whether the form shows a structure read successfully.
#pragma once

#include <QStringList>
#include <QWidget>
#include <filesystem>

#include "settings/settings_file.h"
#include "structure/crystal_structure.h"

class QLineEdit;

namespace tarnell {

class CGridListCtrl;

class CKestrinView : public QWidget {
    Q_OBJECT

public:
    // Works in `workDir`; every message of the form goes to `showMessage`, or to a message box
    // when none is given. The settings are read here, so their messages come before the
    // window is shown, and the form opens whatever they say.
    CKestrinView(const std::filesystem::path& workDir, MessageSink showMessage,
                 QWidget* parent = nullptr);
    // Deletes the structure file written for the engine; the report and the settings stay.
    ~CKestrinView() override;

    // Shows a structure that was read successfully from `file`: the form is emptied and filled,
    // the caption names the file and the commands that need a structure are enabled. A record
    // with more sites than the form takes is refused, and nothing changes.
    bool LoadStructure(const CrystalStructure& structure, const std::filesystem::path& file);
    // The start-up load: a switch "-b", "-r", "-i" or "-c" among the program's arguments, followed by
    // the structure file to read in that format. Without such a switch nothing is loaded.
    void LoadCommandLine(const QStringList& arguments);
    // Empties the form and reads `file` in `mode` into it; a failure is shown and leaves the
    // form empty, with the caption as it was.
    bool OpenStructureFile(ReaderMode mode, const std::filesystem::path& file);

    // Copies the controls back into the structure record and the five conditions, each text
    // scanned for a leading number; a text that does not begin with one keeps the old value.
    // The sites run down to the first empty Species cell. False, with a message and nothing
    // changed, when that makes more than MaxSites sites.
    bool ReadForm();

    // Copies the structure record into the controls.
    void FillForm();
    // Empties the structure controls; the record, the conditions and the caption stay.
    void ClearForm();

    bool IsLoaded() const { return m_loaded; }
    const CrystalStructure& Structure() const { return m_structure; }
    const Settings& CurrentSettings() const { return m_settings; }

public slots:
    void OnFileNew();
    void OnFileOpen();
    void OnFileSaveAs();
    void OnCalculation();
    void OnShowResults();
    void OnHelpHtml();

signals:
    void loadedChanged(bool loaded);
    // A line for the status bar: what the engine prints while it runs.
    void statusMessage(const QString& text);

private:
    void CreateControls();
    void LayOutGrids();
    void ShowConditions(int keysRead);
    void SetLoaded(bool loaded);
    void SetCaption(const QString& fileName);
    void ShowMessage(const std::string& message);
    // Runs the engine on the files just written; true once it has written a new report.
    bool RunEngine();
    std::filesystem::path EnginePath() const;
    // Opens the report with the settings' editor, or the desktop's viewer for text files.
    void ShowResults();
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

    CrystalStructure m_structure;
    Settings m_settings;
    std::filesystem::path m_workDir;       // the working directory when the form was made
    std::filesystem::path m_inputPath;     // "Tarnell.$$$", the structure written for the engine
    std::filesystem::path m_outputPath;    // "Tarnell.out", the engine's report
    std::filesystem::path m_settingsPath;  // "Tarnell.ini"
    bool m_loaded = false;
    MessageSink m_showMessage;
    std::filesystem::path m_lastFolder;  // of the last file opened or saved
    bool m_calculating = false;
};

}  // namespace tarnell
