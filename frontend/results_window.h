// The results of the last calculation in a window of their own: how the run ended, the valence
// summary as a table, and the whole report, read-only, with Find.
#pragma once

#include <QWidget>
#include <filesystem>
#include <optional>

#include "frontend/message_sink.h"
#include "frontend/report_summary.h"
#include "settings/settings_file.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace tarnell {

class CResultsWindow : public QWidget {
    Q_OBJECT

public:
    // A window of its own beside `owner`, closed with it. Messages go to `showMessage`, or to
    // message boxes when none is given.
    CResultsWindow(QWidget* owner, MessageSink showMessage);

    // Shows `report`; `failure`, when given, is the failure the run ended with.
    void ShowReport(const QString& report, const std::optional<QString>& failure);
    // No report: what was shown belonged to another structure.
    void Clear();
    // Fills the summary table; the report's own summary does this in ShowReport.
    void ShowSummary(const ReportSummary& summary);

    // Shows the window, the first time beside `owner` where the screen has room for it, so
    // that it does not hide the form.
    void ShowBeside(QWidget* owner);

    QString ReportText() const;
    QString OutcomeText() const;
    // The failure of the report shown, or an empty text.
    QString Failure() const { return m_failure; }
    const ReportSummary& Summary() const { return m_summary; }

    // Selects the next (or previous) place of `text` in the report, going round at its end;
    // false when the report does not hold it.
    bool FindText(const QString& text, bool backward = false);
    // The table as CSV on the clipboard.
    void CopyTable() const;
    // Writes the table as CSV to `file`; false, with a message, when it cannot.
    bool SaveTable(const std::filesystem::path& file);

public slots:
    void FindNext();
    void FindPrevious();
    void OnSaveTable();

private:
    void ShowMessage(const std::string& message);

    QLabel* m_outcome;
    QLabel* m_noSummary;
    QTableWidget* m_table;
    QLabel* m_gii;
    QPushButton* m_copyButton;
    QPushButton* m_saveButton;
    QLineEdit* m_findEdit;
    QLabel* m_findState;
    QPlainTextEdit* m_report;
    ReportSummary m_summary;
    QString m_failure;
    bool m_placed = false;
    MessageSink m_showMessage;
};

}  // namespace tarnell
