// The results of the last calculation in a window of their own: how the run ended, the valence
// summary as a table beside its ΔV plot, and on a tab of its own the whole report, read-only,
// with Find. What is shown comes from the engine's JSON; the report is only shown.
#pragma once

#include <QStringList>
#include <QWidget>
#include <filesystem>
#include <optional>

#include "frontend/engine_result.h"
#include "frontend/message_sink.h"
#include "settings/settings_file.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTabWidget;

namespace tarnell {

class CDeltaVPlot;

class CResultsWindow : public QWidget {
    Q_OBJECT

public:
    // A window of its own beside `owner`, closed with it. Messages go to `showMessage`, or to
    // message boxes when none is given.
    CResultsWindow(QWidget* owner, MessageSink showMessage);

    // Shows `report` and the `result` of the same run.
    void ShowResult(const QString& report, const EngineResult& result);
    // No report: what was shown belonged to another structure.
    void Clear();
    // The form was edited after the calculation shown: its results no longer describe it.
    void MarkOutOfDate();
    bool IsOutOfDate() const { return m_outOfDate; }

    // Shows the window, the first time beside `owner` where the screen has room for it, so
    // that it does not hide the form.
    void ShowBeside(QWidget* owner);

    QString ReportText() const;
    QString OutcomeText() const;
    // The failure of the run shown, or an empty text.
    QString Failure() const { return m_failure; }
    QString GiiText() const;
    // The conditions of the run shown: program, input, table and settings.
    QString ConditionsText() const;
    // The bonds of the site chosen, one "|"-separated line per bond as the table shows it.
    QStringList BondRows() const;
    const EngineResult& Result() const { return m_result; }
    // Selects the summary's row of the site labelled `label` (none for an empty label).
    void SelectSite(const QString& label);

    // Selects the next (or previous) place of `text` in the report, going round at its end;
    // false when the report does not hold it.
    bool FindText(const QString& text, bool backward = false);
    // The table on the clipboard, its fields separated by tabs as spreadsheets paste them.
    void CopyTable() const;
    // Writes the table as CSV to `file`; false, with a message, when it cannot.
    bool SaveTable(const std::filesystem::path& file);

signals:
    // The user chose the site `label` in the table or the plot.
    void siteChosen(const QString& label);

public slots:
    void FindNext();
    void FindPrevious();
    void OnSaveTable();

private:
    void ShowMessage(const std::string& message);
    void ShowOutcome();
    void FillTable();
    void FillBonds(const QString& label);

    QLabel* m_outcome;
    QLabel* m_noSummary;
    QTableWidget* m_table;
    QLabel* m_gii;
    QLabel* m_conditions;
    QTableWidget* m_bonds;
    QPushButton* m_copyButton;
    QPushButton* m_saveButton;
    QLineEdit* m_findEdit;
    QLabel* m_findState;
    QPlainTextEdit* m_report;
    QTabWidget* m_tabs;
    CDeltaVPlot* m_plot;
    EngineResult m_result;
    bool m_hasResult = false;
    bool m_outOfDate = false;
    QString m_failure;
    bool m_placed = false;
    MessageSink m_showMessage;
};

}  // namespace tarnell
