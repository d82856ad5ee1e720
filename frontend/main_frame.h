// Kestrin's one window: menu, tool bar and status bar around the structure form, with the
// structure view docked beside it. The window resizes; the form keeps its layout at its smallest.
#pragma once

#include <QMainWindow>
#include <filesystem>
#include <functional>
#include <string>

#include "frontend/message_sink.h"
#include "settings/settings_file.h"

class QLabel;
class QToolBar;

namespace tarnell {

class CKestrinView;
class CStructureView;

class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    // The form works in `workDir`; its messages go to `showMessage` and its questions to
    // `askQuestion`, or to message boxes.
    explicit CMainFrame(const std::filesystem::path& workDir, MessageSink showMessage = {},
                        std::function<bool(const std::string&)> askQuestion = {});

    CKestrinView* View() const { return m_view; }
    CStructureView* StructureView() const { return m_structureView; }

public slots:
    void OnAppAbout();

protected:
    // Follows the lock keys for the status bar's indicators.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Edits of the form are not dropped without a word.
    void closeEvent(QCloseEvent* event) override;
    // A structure file dropped on the window opens it.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QAction* AddCommand(const char* id, const char* text, const char* prompt,
                        const char* icon = nullptr);
    void CreateCommands();
    void CreateStatusBar();
    void CreateStructureView(MessageSink showMessage);
    void EnableCommands();
    // The recent files: the file just used goes first; the menu follows.
    void RememberFile(const QString& file);
    void ShowRecentFiles();

    CKestrinView* m_view;
    CStructureView* m_structureView = nullptr;
    QToolBar* m_toolBar = nullptr;
    QAction* m_saveAs = nullptr;
    QAction* m_calculation = nullptr;
    QAction* m_showResults = nullptr;
    QAction* m_useAssigned = nullptr;
    QAction* m_saveStructureAs = nullptr;
    QList<QAction*> m_recentFiles;  // the File menu's entries, hidden while unused
    QAction* m_recentSeparator = nullptr;
    QLabel* m_capsIndicator = nullptr;
    QLabel* m_numIndicator = nullptr;
    bool m_readsLockKeys;
};

}  // namespace tarnell
