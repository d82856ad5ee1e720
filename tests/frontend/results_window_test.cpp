// The results window: how a report's outcome is told, the report shown as it is with Find, and
// the summary table with its marks, copied and saved as CSV.
#include "frontend/results_window.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "frontend/kestrin_app.h"
#include "frontend/report_summary.h"
#include "tests/frontend/kestrin_test_support.h"

namespace tarnell {

class ResultsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { setUpApplication(); }
    void failuresAreFoundInTheReport();
    void reportIsShownWholeAndFound();
    void summaryTableIsColouredCopiedAndSaved();
    void summaryIsReadFromTheReport();
};

void ResultsWindowTest::failuresAreFoundInTheReport() {
    const std::string sums = "  Title\n\n  Bond valence sum:\n\n  Mg1 :\n    1  BVS = 2.0314\n";
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {sums + "  Reference list:\n   a\n", std::nullopt},
        {"  Error !!!  x.inp file not found.\n\n", "Error !!!  x.inp file not found."},
        // A failure before the sums, in a wording without "Error".
        {"  P 9 space group not found !!!\n\n", "P 9 space group not found !!!"},
        {"  Title\n  Distances\n", "Title"},
        {sums + "  Error !!! Output file not found.\n\n", "Error !!! Output file not found."},
        {"\n \n", "The report is empty."},
    };
    for (const auto& [report, failure] : cases) QCOMPARE(reportFailure(report), failure);
}

void ResultsWindowTest::reportIsShownWholeAndFound() {
    std::vector<std::string> messages;
    CResultsWindow window(nullptr, [&](const std::string& m) { messages.push_back(m); });
    const QString report =
        QStringLiteral("  Mg1 :\n    1  BVS = 2.0314\n  Si1 :\n    1  BVS = 3.88\n");
    window.ShowReport(report, std::nullopt);
    QCOMPARE(window.ReportText(), report);
    QCOMPARE(window.OutcomeText(), QStringLiteral("Calculation completed !"));
    // No summary section: the table stays hidden and says so.
    QVERIFY(window.findChild<QLabel*>("noSummary")->isVisibleTo(&window));
    QVERIFY(!window.findChild<QTableWidget*>("summaryTable")->isVisibleTo(&window));

    // Find goes on from the last place found, round at the end, and back.
    auto* view = window.findChild<QPlainTextEdit*>("report");
    auto foundAt = [view] { return view->textCursor().selectionStart(); };
    QVERIFY(window.FindText("BVS"));
    const int first = foundAt();
    QVERIFY(window.FindText("BVS"));
    const int second = foundAt();
    QVERIFY(window.FindText("BVS"));
    QCOMPARE(foundAt(), first);
    QVERIFY(window.FindText("BVS", true));
    QCOMPARE(foundAt(), second);
    QVERIFY(!window.FindText("GII"));
    // Ctrl+F takes the keyboard to the find box.
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(window.findChild<QLineEdit*>("find")->hasFocus());

    window.ShowReport(QStringLiteral("  Error !!!  x.inp file not found.\n"),
                      QStringLiteral("Error !!!  x.inp file not found."));
    QCOMPARE(window.OutcomeText(),
             QStringLiteral("The calculation failed: Error !!!  x.inp file not found."));
    window.Clear();
    QCOMPARE(window.ReportText(), QString());
    QVERIFY(window.Failure().isEmpty());
    QVERIFY(messages.empty());
}

void ResultsWindowTest::summaryTableIsColouredCopiedAndSaved() {
    std::vector<std::string> messages;
    CResultsWindow window(nullptr, [&](const std::string& m) { messages.push_back(m); });
    ReportSummary summary;
    summary.rows = {{"Mg1", 2, 2.0314, 0.0009, 6, 0.0314, 1.57, "", BondingMark::None},
                    {"Si1", 4, 4.6, 0.0026, 4, 0.6, 15.0, "++", BondingMark::Over},
                    {"O,1", -2, -1.5, 0.001, 3, 0.5, -25.0, "--", BondingMark::Under}};
    summary.gii = 0.1234;
    window.ShowSummary(summary);
    auto* table = window.findChild<QTableWidget*>("summaryTable");
    QVERIFY(table->isVisibleTo(&window));
    QCOMPARE(table->rowCount(), 3);
    QStringList row;
    for (int c = 0; c < table->columnCount(); ++c) row << table->item(1, c)->text();
    QCOMPARE(row, (QStringList{"Si1", "4.0000", "4.6000", "0.0026", "4", "+0.6000", "+15.00 ++"}));
    QVERIFY(table->item(0, 2)->background() == QBrush());
    QVERIFY(table->item(1, 2)->background() != table->item(2, 2)->background());
    QVERIFY(table->item(2, 2)->background() != QBrush());

    const QString csv = QStringLiteral(
        "site,V,BVS,sigma,CN,dV,dV/V (%),mark\n"
        "Mg1,2.0000,2.0314,0.0009,6,0.0314,1.57,\n"
        "Si1,4.0000,4.6000,0.0026,4,0.6000,15.00,++\n"
        "\"O,1\",-2.0000,-1.5000,0.0010,3,0.5000,-25.00,--\n"
        "GII,0.1234\n");
    window.CopyTable();
    QCOMPARE(QApplication::clipboard()->text(), csv);
    test::WorkDir dir;
    QVERIFY(window.SaveTable(dir.path() / "summary.csv"));
    QFile saved(QString::fromStdString((dir.path() / "summary.csv").string()));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(saved.readAll()), csv);
    QVERIFY(!window.SaveTable(dir.path() / "no folder" / "summary.csv"));
    QCOMPARE(messages.size(), std::size_t{1});

    // A new report without a summary empties the table, and nothing is left to copy.
    window.ShowReport(QStringLiteral("report\n"), std::nullopt);
    QCOMPARE(table->rowCount(), 0);
    QVERIFY(!window.findChild<QPushButton*>()->isEnabled());
}

// The summary as the engine appends it: marked sites get their direction from dV/V, whose sign
// tells over- from under-bonded for anions too; a site without parameters has no sum to show.
void ResultsWindowTest::summaryIsReadFromTheReport() {
    const std::string report =
        "  Reference list:\n   a  Brown\n\n  Valence summary:\n\n  V: formal valence.\n\n"
        "  Site        V       BVS   sigma  CN       dV  dV/V(%)  ref.\n"
        "  Mg1      2.00    2.0314  0.0009   6   0.0314      1.6  a\n"
        "  O3      -2.00   -1.5844  0.0013   4   0.4156    -20.8  a,b  **\n"
        "  Si1      4.00    4.5000  0.0026   4   0.5000     12.5  b  *\n"
        "  Fe1      3.00  no parameters for Fe3+ \u2013 P3-\n"
        "\n  GII = 0.0907 v.u. over 28.00 ions in the cell\n";
    const ReportSummary summary = parseValenceSummary(report);
    QCOMPARE(summary.rows.size(), std::size_t{3});
    const SummaryRow& o3 = summary.rows[1];
    QCOMPARE(QString::fromStdString(o3.site), QStringLiteral("O3"));
    QCOMPARE(o3.valence, -2.0);
    QCOMPARE(o3.bvs, -1.5844);
    QCOMPARE(o3.cn, 4);
    QCOMPARE(o3.dVPercent, -20.8);
    QCOMPARE(QString::fromStdString(o3.markText), QStringLiteral("**"));
    QVERIFY(o3.mark == BondingMark::Under);
    QVERIFY(summary.rows[0].mark == BondingMark::None);
    QVERIFY(summary.rows[2].mark == BondingMark::Over);
    QVERIFY(summary.gii && *summary.gii == 0.0907);
    QVERIFY(parseValenceSummary("  Valence summary:\n\n  No site has a formal valence.\n")
                .rows.empty());
}

}  // namespace tarnell

QTEST_MAIN(tarnell::ResultsWindowTest)
#include "results_window_test.moc"
