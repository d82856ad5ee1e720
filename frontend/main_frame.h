// Kestrin's one window: menu, tool bar and status bar around the structure form, fixed at the
// form's size.
#pragma once

#include <QMainWindow>
#include <filesystem>

#include "settings/settings_file.h"

class QLabel;
class QToolBar;

namespace tarnell {

class CKestrinView;

class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    // The form works in `workDir`; its messages go to `showMessage`, or to message boxes.
    explicit CMainFrame(const std::filesystem::path& workDir, MessageSink showMessage = {});

    CKestrinView* View() const { return m_view; }

public slots:
    void OnAppAbout();

protected:
    // Follows the lock keys for the status bar's indicators.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* AddCommand(const char* id, const char* text, const char* prompt,
                        const char* icon = nullptr);
    void CreateCommands();
    void CreateStatusBar();
    void EnableLoadedCommands(bool loaded);

    CKestrinView* m_view;
    QToolBar* m_toolBar = nullptr;
    QList<QAction*> m_loadedCommands;  // enabled only while the form shows a structure
    QLabel* m_capsIndicator = nullptr;
    QLabel* m_numIndicator = nullptr;
    bool m_readsLockKeys;
};

}  // namespace tarnell
