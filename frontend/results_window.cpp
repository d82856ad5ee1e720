#include "frontend/results_window.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QShortcut>
#include <QTableWidget>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>

#include "frontend/path_text.h"
#include "settings/text.h"

namespace tarnell {
namespace {

constexpr const char* Columns[] = {"Site", "V", "BVS", "± sigma", "CN", "ΔV", "ΔV/V (%)"};
const QColor OverBonded(255, 210, 200);
const QColor UnderBonded(205, 220, 255);

QTableWidgetItem* cellOf(const QString& text, bool number) {
    auto* cell = new QTableWidgetItem(text);
    cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (number) cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return cell;
}

}  // namespace

CResultsWindow::CResultsWindow(QWidget* owner, MessageSink showMessage)
    : QWidget(owner, Qt::Window), m_showMessage(std::move(showMessage)) {
    setObjectName(QStringLiteral("ResultsWindow"));
    setWindowTitle(QStringLiteral("Kestrin --- Results"));
    setAttribute(Qt::WA_QuitOnClose, false);

    m_outcome = new QLabel(this);
    m_outcome->setObjectName(QStringLiteral("outcome"));
    m_outcome->setWordWrap(true);
    m_outcome->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_noSummary = new QLabel(QStringLiteral("No valence summary in this report"), this);
    m_noSummary->setObjectName(QStringLiteral("noSummary"));
    m_table = new QTableWidget(0, static_cast<int>(std::size(Columns)), this);
    m_table->setObjectName(QStringLiteral("summaryTable"));
    QStringList titles;
    for (const char* title : Columns) titles << QString::fromUtf8(title);
    m_table->setHorizontalHeaderLabels(titles);
    m_table->verticalHeader()->hide();
    // Rows as tall as a line of text, so that a structure of many sites shows many at once.
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_gii = new QLabel(this);
    m_gii->setObjectName(QStringLiteral("gii"));

    m_copyButton = new QPushButton(QStringLiteral("Copy table"), this);
    m_saveButton = new QPushButton(QStringLiteral("Save table as CSV..."), this);
    connect(m_copyButton, &QPushButton::clicked, this, &CResultsWindow::CopyTable);
    connect(m_saveButton, &QPushButton::clicked, this, &CResultsWindow::OnSaveTable);

    m_findEdit = new QLineEdit(this);
    m_findEdit->setObjectName(QStringLiteral("find"));
    m_findEdit->setPlaceholderText(QStringLiteral("Find in the report (Ctrl+F)"));
    auto* next = new QPushButton(QStringLiteral("Next"), this);
    auto* previous = new QPushButton(QStringLiteral("Previous"), this);
    m_findState = new QLabel(this);
    connect(m_findEdit, &QLineEdit::returnPressed, this, &CResultsWindow::FindNext);
    connect(next, &QPushButton::clicked, this, &CResultsWindow::FindNext);
    connect(previous, &QPushButton::clicked, this, &CResultsWindow::FindPrevious);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        m_findEdit->setFocus(Qt::ShortcutFocusReason);
        m_findEdit->selectAll();
    });
    connect(new QShortcut(QKeySequence::FindNext, this), &QShortcut::activated, this,
            &CResultsWindow::FindNext);
    connect(new QShortcut(QKeySequence::FindPrevious, this), &QShortcut::activated, this,
            &CResultsWindow::FindPrevious);

    m_report = new QPlainTextEdit(this);
    m_report->setObjectName(QStringLiteral("report"));
    m_report->setReadOnly(true);
    m_report->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_report->setCenterOnScroll(true);
    m_report->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* tableButtons = new QHBoxLayout;
    tableButtons->addWidget(m_gii, 1);
    tableButtons->addWidget(m_copyButton);
    tableButtons->addWidget(m_saveButton);
    auto* findBar = new QHBoxLayout;
    findBar->addWidget(m_findEdit, 1);
    findBar->addWidget(previous);
    findBar->addWidget(next);
    findBar->addWidget(m_findState);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_outcome);
    layout->addWidget(m_noSummary);
    layout->addWidget(m_table, 2);
    layout->addLayout(tableButtons);
    layout->addLayout(findBar);
    layout->addWidget(m_report, 3);

    resize(760, 620);
    Clear();
}

void CResultsWindow::ShowReport(const QString& report, const std::optional<QString>& failure) {
    m_report->setPlainText(report);
    m_findState->clear();
    m_failure = failure.value_or(QString());
    if (failure) {
        m_outcome->setText(QStringLiteral("The calculation failed: ") + *failure);
        m_outcome->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
    } else {
        m_outcome->setText(QStringLiteral("Calculation completed !"));
        m_outcome->setStyleSheet(QString());
    }
    ShowSummary(parseValenceSummary(report.toStdString()));
}

void CResultsWindow::Clear() {
    m_report->clear();
    m_failure.clear();
    m_findState->clear();
    m_outcome->setText(QStringLiteral("No report: the form has not been calculated yet."));
    m_outcome->setStyleSheet(QString());
    ShowSummary({});
}

void CResultsWindow::ShowSummary(const ReportSummary& summary) {
    m_summary = summary;
    const bool any = !summary.rows.empty();
    m_table->setVisible(any);
    m_noSummary->setVisible(!any);
    m_copyButton->setEnabled(any);
    m_saveButton->setEnabled(any);
    m_gii->setText(summary.gii ? QString::asprintf("GII = %.4f", *summary.gii) : QString());

    m_table->setRowCount(static_cast<int>(summary.rows.size()));
    for (int r = 0; r < m_table->rowCount(); ++r) {
        const SummaryRow& row = summary.rows[r];
        const QString texts[] = {
            QString::fromStdString(row.site),
            QString::asprintf("%.4f", row.valence),
            QString::asprintf("%.4f", row.bvs),
            QString::asprintf("%.4f", row.sigma),
            QString::number(row.cn),
            QString::asprintf("%+.4f", row.dV),
            QString::asprintf("%+.2f %s", row.dVPercent, row.markText.c_str()).trimmed()};
        for (int c = 0; c < m_table->columnCount(); ++c) {
            QTableWidgetItem* cell = cellOf(texts[c], c > 0);
            if (row.mark == BondingMark::Over) cell->setBackground(OverBonded);
            if (row.mark == BondingMark::Under) cell->setBackground(UnderBonded);
            m_table->setItem(r, c, cell);
        }
    }
}

void CResultsWindow::ShowBeside(QWidget* owner) {
    if (!m_placed && owner && owner->screen()) {
        m_placed = true;
        const QRect room = owner->screen()->availableGeometry();
        const QRect form = owner->frameGeometry();
        const QPoint right = form.topRight() + QPoint(8, 0);
        const QPoint below = form.bottomLeft() + QPoint(0, 8);
        if (below.y() + height() <= room.bottom() && right.x() + width() > room.right()) {
            move(below);
        } else {
            // On a small screen as far right as it goes: it covers less of the form.
            move(std::max(room.left(), std::min(right.x(), room.right() - width())), right.y());
        }
    }
    show();
    raise();
    activateWindow();
}

QString CResultsWindow::ReportText() const {
    return m_report->toPlainText();
}

QString CResultsWindow::OutcomeText() const {
    return m_outcome->text();
}

bool CResultsWindow::FindText(const QString& text, bool backward) {
    if (text.isEmpty()) return false;
    const QTextDocument::FindFlags flags =
        backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    bool found = m_report->find(text, flags);
    if (!found) {
        // Once more from the other end.
        QTextCursor restart = m_report->textCursor();
        restart.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
        m_report->setTextCursor(restart);
        found = m_report->find(text, flags);
    }
    // In the middle of the view, so that what follows the place found is in sight too.
    if (found) m_report->centerCursor();
    m_findState->setText(found ? QString() : QStringLiteral("Not found"));
    return found;
}

void CResultsWindow::FindNext() {
    FindText(m_findEdit->text());
}

void CResultsWindow::FindPrevious() {
    FindText(m_findEdit->text(), true);
}

void CResultsWindow::CopyTable() const {
    QApplication::clipboard()->setText(QString::fromStdString(summaryCsv(m_summary)));
}

bool CResultsWindow::SaveTable(const std::filesystem::path& file) {
    const std::string csv = summaryCsv(m_summary);
    QSaveFile out(pathText(file));
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size()) ||
        !out.commit()) {
        ShowMessage(formatText("  %s file cannot be created !!!\n", file.string().c_str()));
        return false;
    }
    return true;
}

void CResultsWindow::OnSaveTable() {
    const QString chosen =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save the valence summary"), QString(),
                                     QStringLiteral("CSV file (*.csv);;Other file (*)"));
    if (chosen.isEmpty()) return;
    QString file = chosen;
    if (QFileInfo(file).suffix().isEmpty()) file += QStringLiteral(".csv");
    SaveTable(pathOf(file));
}

void CResultsWindow::ShowMessage(const std::string& message) {
    if (m_showMessage) {
        m_showMessage(message);
        return;
    }
    QMessageBox::warning(this, QStringLiteral("Kestrin"),
                         QString::fromStdString(trimBlanks(message)).trimmed());
}

}  // namespace tarnell
