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
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>

#include "frontend/delta_v_plot.h"
#include "frontend/path_text.h"
#include "settings/text.h"

namespace tarnell {
namespace {

constexpr const char* Columns[] = {"Site", "V", "BVS", "± sigma", "CN", "CN1", "ΔV", "ΔV/V (%)"};
constexpr int BvsColumn = 2;
constexpr const char* BondColumns[] = {"Neighbour", "Code", "d (Å)", "± sigma", "s",
                                       "± sigma",   "r0",   "b",     "Ref.",    "1st shell"};
const QColor OverBonded(255, 210, 200);
const QColor UnderBonded(205, 220, 255);
const QColor NoParameters(235, 235, 235);

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
    m_conditions = new QLabel(this);
    m_conditions->setObjectName(QStringLiteral("conditions"));
    m_conditions->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_bonds = new QTableWidget(0, static_cast<int>(std::size(BondColumns)), this);
    m_bonds->setObjectName(QStringLiteral("siteBonds"));
    QStringList bondTitles;
    for (const char* title : BondColumns) bondTitles << QString::fromUtf8(title);
    m_bonds->setHorizontalHeaderLabels(bondTitles);
    m_bonds->verticalHeader()->hide();
    m_bonds->verticalHeader()->setDefaultSectionSize(m_bonds->fontMetrics().height() + 6);
    m_bonds->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_bonds->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    m_copyButton = new QPushButton(QStringLiteral("Copy table"), this);
    m_copyButton->setObjectName(QStringLiteral("copyTable"));
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
        m_tabs->setCurrentIndex(1);
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

    m_plot = new CDeltaVPlot(this);
    connect(m_plot, &CDeltaVPlot::siteChosen, this, [this](const QString& label) {
        SelectSite(label);
        emit siteChosen(label);
    });
    connect(m_table, &QTableWidget::itemSelectionChanged, this, [this] {
        const QList<QTableWidgetItem*> chosen = m_table->selectedItems();
        if (chosen.isEmpty()) return;
        const QTableWidgetItem* site = m_table->item(chosen.first()->row(), 0);
        if (!site) return;
        m_plot->SelectSite(site->text());
        FillBonds(site->text());
        emit siteChosen(site->text());
    });
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);

    auto* tableButtons = new QHBoxLayout;
    tableButtons->addWidget(m_gii, 1);
    tableButtons->addWidget(m_copyButton);
    tableButtons->addWidget(m_saveButton);
    // The bonds of the site chosen in the table, below it: what made its sum.
    auto* sitePart = new QSplitter(Qt::Vertical);
    sitePart->addWidget(m_table);
    sitePart->addWidget(m_bonds);
    sitePart->setStretchFactor(0, 3);
    sitePart->setStretchFactor(1, 2);
    auto* beside = new QSplitter(Qt::Horizontal);
    beside->addWidget(sitePart);
    beside->addWidget(m_plot);
    beside->setStretchFactor(0, 3);
    beside->setStretchFactor(1, 2);
    auto* summaryPage = new QWidget;
    auto* summaryLayout = new QVBoxLayout(summaryPage);
    summaryLayout->addWidget(m_noSummary);
    summaryLayout->addWidget(beside, 1);
    summaryLayout->addLayout(tableButtons);

    auto* findBar = new QHBoxLayout;
    findBar->addWidget(m_findEdit, 1);
    findBar->addWidget(previous);
    findBar->addWidget(next);
    findBar->addWidget(m_findState);
    auto* reportPage = new QWidget;
    auto* reportLayout = new QVBoxLayout(reportPage);
    reportLayout->addLayout(findBar);
    reportLayout->addWidget(m_report, 1);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("resultTabs"));
    m_tabs->addTab(summaryPage, QStringLiteral("Valence summary"));
    m_tabs->addTab(reportPage, QStringLiteral("Report"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_outcome);
    layout->addWidget(m_conditions);
    layout->addWidget(m_tabs, 1);

    resize(720, 520);
    Clear();
}

void CResultsWindow::ShowResult(const QString& report, const EngineResult& result) {
    m_report->setPlainText(report);
    m_findState->clear();
    m_result = result;
    m_hasResult = true;
    m_outOfDate = false;
    m_failure = result.ok ? QString() : QString::fromStdString(result.message);
    ShowOutcome();
    FillTable();
}

void CResultsWindow::Clear() {
    m_report->clear();
    m_failure.clear();
    m_findState->clear();
    m_result = EngineResult();
    m_hasResult = false;
    m_outOfDate = false;
    ShowOutcome();
    FillTable();
}

void CResultsWindow::MarkOutOfDate() {
    if (!m_hasResult || m_outOfDate) return;
    m_outOfDate = true;
    ShowOutcome();
}

void CResultsWindow::ShowOutcome() {
    QString text;
    QString style;
    if (!m_hasResult) {
        text = QStringLiteral("No report: the form has not been calculated yet.");
    } else if (!m_failure.isEmpty()) {
        text = QStringLiteral("The calculation failed: ") + m_failure;
        style = QStringLiteral("color: #b00000; font-weight: bold;");
    } else {
        text = QStringLiteral("Calculation completed !");
    }
    for (const std::string& warning : m_result.warnings)
        text += QLatin1Char('\n') + QString::fromStdString(warning);
    if (m_outOfDate) {
        text = QStringLiteral("Out of date: the form was edited after this calculation.\n") + text;
        style = QStringLiteral("color: #806000;");
    }
    m_outcome->setText(text);
    m_outcome->setStyleSheet(style);
    m_conditions->setText(m_hasResult ? QString::fromStdString(conditionsText(m_result))
                                      : QString());
    m_conditions->setVisible(m_hasResult);
}

QString CResultsWindow::GiiText() const {
    if (hasGii(m_result)) {
        const double ions = m_result.ionsInCell.value_or(0.0);
        // Where some sites lack parameters, over how many of how many ions the index runs.
        QString text = m_result.ionsWithValence && *m_result.ionsWithValence > ions + 1e-9
                           ? QString::asprintf("GII = %.4f v.u. over %.2f of %.2f ions in the cell",
                                               *m_result.gii, ions, *m_result.ionsWithValence)
                           : QString::asprintf("GII = %.4f v.u. over %.2f ions in the cell",
                                               *m_result.gii, ions);
        if (m_result.giiDoubtful)
            text += QStringLiteral("\nThe GII is doubtful: sites overfill a position.");
        for (const std::string& note : m_result.assignmentNotes)
            text += QLatin1Char('\n') + QString::fromStdString(note);
        return text;
    }
    const std::string why = whyNoGii(m_result);
    if (why.empty() || !m_result.summaryMade) return QString::fromStdString(why);
    // What the sums cannot say, the charges still can: whether the cell is neutral.
    return QString::fromStdString(why) +
           QString::asprintf("\nValences per cell: cations %+.3f, anions %+.3f",
                             m_result.cationValences, m_result.anionValences);
}

void CResultsWindow::FillTable() {
    const std::vector<ResultSummarySite>& sites = m_result.summary;
    const bool any = !sites.empty();
    m_table->setVisible(any);
    m_plot->setVisible(any);
    m_noSummary->setVisible(!any);
    m_copyButton->setEnabled(any);
    m_saveButton->setEnabled(any);
    m_gii->setText(GiiText());
    m_plot->ShowResult(m_result);
    m_bonds->setVisible(any);
    FillBonds(QString());

    m_table->clearSpans();
    m_table->setRowCount(static_cast<int>(sites.size()));
    for (int r = 0; r < m_table->rowCount(); ++r) {
        const ResultSummarySite& site = sites[static_cast<std::size_t>(r)];
        const bool summed = site.bvs && site.sigma && site.deltaV && site.relative;
        const bool over = summed && !site.mark.empty() && *site.relative > 0;
        const bool under = summed && !site.mark.empty() && *site.relative < 0;
        for (int c = 0; c < m_table->columnCount(); ++c) {
            QString text;
            if (c == 0) text = QString::fromStdString(site.site);
            // A valence that the engine assigned by bond valence is marked as in its report.
            const bool assigned = site.valenceSource && *site.valenceSource == "assigned";
            if (c == 1) text = QString::asprintf(assigned ? "%.4f a" : "%.4f", site.valence);
            if (c == 4) text = QString::number(site.cn);
            if (c == 5 && site.cnFirstShell) text = QString::number(*site.cnFirstShell);
            if (summed && c == 2) text = QString::asprintf("%.4f", *site.bvs);
            if (summed && c == 3) text = QString::asprintf("%.4f", *site.sigma);
            if (summed && c == 6) text = QString::asprintf("%+.4f", *site.deltaV);
            if (summed && c == 7) {
                text = QString::asprintf("%+.2f %s", 100.0 * *site.relative, site.mark.c_str())
                           .trimmed();
            }
            QTableWidgetItem* cell = cellOf(text, c > 0);
            if (assigned && c == 1)
                cell->setToolTip(QStringLiteral("Assigned by bond valence: the file states none"));
            if (over) cell->setBackground(OverBonded);
            if (under) cell->setBackground(UnderBonded);
            if (!summed) cell->setBackground(NoParameters);
            m_table->setItem(r, c, cell);
        }
        if (!summed) {
            // The site stays in the table, saying why it has no sum.
            m_table->item(r, BvsColumn)
                ->setText(QStringLiteral("no parameters for ") +
                          QString::fromStdString(site.missingParameters.value_or("?")));
            m_table->item(r, BvsColumn)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            m_table->setSpan(r, BvsColumn, 1, 2);
        }
    }
}

void CResultsWindow::FillBonds(const QString& label) {
    const ResultSummarySite* site = m_result.summaryOf(label.toStdString());
    const std::vector<ResultBond> none;
    const std::vector<ResultBond>& bonds = site ? site->bonds : none;
    m_bonds->setRowCount(static_cast<int>(bonds.size()));
    const auto number = [](const std::optional<double>& value, const char* format) {
        return value ? QString::asprintf(format, *value) : QString();
    };
    for (int r = 0; r < m_bonds->rowCount(); ++r) {
        const ResultBond& bond = bonds[static_cast<std::size_t>(r)];
        const QString texts[] = {
            QString::fromStdString(bond.neighbour),
            QString::fromStdString(bond.code),
            QString::asprintf("%.5f", bond.d),
            number(bond.sigmaD, "%.5f"),
            QString::asprintf("%.4f", bond.s),
            number(bond.sigmaS, "%.4f"),
            number(bond.r0, "%.4f"),
            number(bond.b, "%.3f"),
            QString::fromStdString(bond.reference),
            bond.firstShell ? (*bond.firstShell ? QStringLiteral("yes") : QStringLiteral("no"))
                            : QString()};
        for (int c = 0; c < m_bonds->columnCount(); ++c)
            m_bonds->setItem(r, c, cellOf(texts[c], c >= 2 && c <= 7));
    }
}

QStringList CResultsWindow::BondRows() const {
    QStringList rows;
    for (int r = 0; r < m_bonds->rowCount(); ++r) {
        QStringList fields;
        for (int c = 0; c < m_bonds->columnCount(); ++c) fields << m_bonds->item(r, c)->text();
        rows << fields.join(QLatin1Char('|'));
    }
    return rows;
}

QString CResultsWindow::ConditionsText() const {
    return m_conditions->text();
}

void CResultsWindow::SelectSite(const QString& label) {
    const QSignalBlocker quiet(m_table);
    m_table->clearSelection();
    m_plot->SelectSite(label);
    FillBonds(label);
    for (int r = 0; r < m_table->rowCount(); ++r) {
        if (m_table->item(r, 0) && m_table->item(r, 0)->text() == label) {
            m_table->selectRow(r);
            m_table->scrollToItem(m_table->item(r, 0));
            return;
        }
    }
}

void CResultsWindow::ShowBeside(QWidget* owner) {
    const bool place = !m_placed && owner && owner->screen();
    show();
    if (place) {
        m_placed = true;
        const QRect room = owner->screen()->availableGeometry();
        // The frame is known once the window is shown; everything below counts it in.
        const QSize frame = frameGeometry().size() - size();
        // Never larger than the screen, and beside the form, below it, or else at the screen's
        // right edge, where it covers the least of it; always wholly on the screen.
        resize(std::min(width(), room.width() - frame.width()),
               std::min(height(), room.height() - frame.height()));
        const QSize outer = size() + frame;
        const QRect form = owner->frameGeometry();
        QPoint at(room.right() + 1 - outer.width(), form.top());
        if (form.right() + 8 + outer.width() <= room.right()) {
            at = form.topRight() + QPoint(8, 0);
        } else if (form.bottom() + 8 + outer.height() <= room.bottom()) {
            at = form.bottomLeft() + QPoint(0, 8);
        }
        at.setX(std::clamp(at.x(), room.left(),
                           std::max(room.left(), room.right() + 1 - outer.width())));
        at.setY(std::clamp(at.y(), room.top(),
                           std::max(room.top(), room.bottom() + 1 - outer.height())));
        move(at);
    }
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
    m_tabs->setCurrentIndex(1);
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
    QApplication::clipboard()->setText(QString::fromStdString(summaryTable(m_result, '\t')));
}

bool CResultsWindow::SaveTable(const std::filesystem::path& file) {
    const std::string csv = summaryTable(m_result, ',');
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
