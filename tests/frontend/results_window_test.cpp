// The results window: how a report's outcome is told, the report shown as it is with Find, and
// the summary table with its marks, copied and saved as CSV.
#include "frontend/results_window.h"

#include <QApplication>
#include <QClipboard>
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
        // The reader's notes stand before a later failure and are not it.
        {"  Note !!!  Species labels that name no element, whose sites form no bond: Oa1.\n\n"
         "  Error !!!  No distance entry within less then 3.500.\n\n",
         "Error !!!  No distance entry within less then 3.500."},
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

    // Find goes on from the last place found, round at the end, and back.
    auto* view = window.findChild<QPlainTextEdit*>("report");
    QList<int> found;
    for (const bool backward : {false, false, false, true}) {
        QVERIFY(window.FindText("BVS", backward));
        found << view->textCursor().selectionStart();
    }
    QVERIFY(found[0] != found[1]);
    QCOMPARE(found.mid(2), (QList<int>{found[0], found[1]}));
    QVERIFY(!window.FindText("GII"));

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
    // Over- and under-bonded sites each in a colour of their own.
    QVERIFY(table->item(0, 2)->background() == QBrush() &&
            table->item(1, 2)->background() != table->item(2, 2)->background() &&
            table->item(2, 2)->background() != QBrush());

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
    QString rows;
    for (const SummaryRow& r : summary.rows) {
        rows += QString::asprintf("%s %g %g %d %g %s %d|", r.site.c_str(), r.valence, r.bvs, r.cn,
                                  r.dVPercent, r.markText.c_str(), static_cast<int>(r.mark));
    }
    QCOMPARE(rows, QString::asprintf("Mg1 2 2.0314 6 1.6  %d|O3 -2 -1.5844 4 -20.8 ** %d|"
                                     "Si1 4 4.5 4 12.5 * %d|",
                                     static_cast<int>(BondingMark::None),
                                     static_cast<int>(BondingMark::Under),
                                     static_cast<int>(BondingMark::Over)));
    QVERIFY(summary.gii && *summary.gii == 0.0907);
    QVERIFY(parseValenceSummary("  Valence summary:\n\n  No site has a formal valence.\n")
                .rows.empty());
}

}  // namespace tarnell

QTEST_MAIN(tarnell::ResultsWindowTest)
#include "results_window_test.moc"
