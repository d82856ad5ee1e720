// The results window: how a run's outcome is told, the report shown as it is with Find, and the
// summary read from the engine's JSON: its table with its marks and its sites without parameters,
// the GII or why there is none, copied for spreadsheets and saved as CSV.
#include "frontend/results_window.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include "frontend/delta_v_plot.h"
#include "frontend/engine_result.h"
#include "frontend/kestrin_app.h"
#include "tests/frontend/kestrin_test_support.h"

namespace tarnell {
namespace {

template <typename... Values>
std::string formatJson(const char* format, Values... values) {
    return QString::asprintf(format, values...).toStdString();
}

// A summary site in the engine's JSON; `summed` false gives the fields of one without parameters.
std::string siteJson(const char* label, double v, double bvs, double relative, const char* mark,
                     bool summed = true) {
    if (!summed) {
        return formatJson(R"({"site":"%s","valence":%g,"multiplicity":4,"bvs":null,"sigma":null,
            "cn":3,"delta_v":null,"delta_v_relative":null,"mark":"","references":[],
            "missing_parameters":"Fe3+ – P3-","bonds":[]})",
                          label, v);
    }
    return formatJson(R"({"site":"%s","valence":%g,"multiplicity":4,"bvs":%g,"sigma":0.0026,
        "cn":4,"delta_v":%g,"delta_v_relative":%g,"mark":"%s","references":["b"],
        "missing_parameters":null,"bonds":[{"cation":"Si4+","anion":"O2-","r0":1.624,"b":0.37,
        "reference":"b","s":1.15,"neighbour":"O1","d":1.6141,"sigma_d":0.0003}]})",
                      label, v, bvs, bvs - v, relative, mark);
}

// The site as engines of JSON format 2 give it: the window's CN 5, the first shell's 4, and each
// bond's site code, sigma(s) and shell.
std::string siteJson2(const char* label, double v, double bvs, double relative, const char* mark) {
    std::string site = siteJson(label, v, bvs, relative, mark);
    site.replace(site.find(R"("cn":4)"), 6, R"("cn":5,"cn_first_shell":4)");
    site.replace(site.find(R"("sigma_d":0.0003)"), 16,
                 R"("code":"2_655","sigma_d":0.0003,"sigma_s":0.0009,"first_shell":true)");
    return site;
}

std::string runJson(const std::string& sites, const std::string& index,
                    const std::string& extra = "") {
    return R"({"format_version":1,"settings":{"bv_b":0.37,"d_max":3.5,"d_min":0.5},)" + extra +
           R"("status":"ok","message":null,"title":"T","cell":{"a":4,"b":4,"c":4,"alpha":90,
           "beta":90,"gamma":90},"space_group":{"number":1,"symbol":"P 1","operators":["x,y,z"]},
           "sites":[],"distances":[],"sums":[],"references":[],
           "valence_summary":{"sites":[)" +
           sites + "]," + index + R"(,"cation_valences":8.5,"anion_valences":-8}})";
}

EngineResult parsed(const std::string& json) {
    EngineResult result;
    std::string error;
    if (!parseEngineResult(json, result, error)) qFatal("%s", error.c_str());
    return result;
}

}  // namespace

class ResultsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { setUpApplication(); }
    void reportIsShownWholeAndFound();
    void summaryTableIsColouredCopiedAndSaved();
    void everySiteHasARowAndAMissingIndexIsSaidWhy();
    void newerAndOlderEnginesBothRead();
};

void ResultsWindowTest::reportIsShownWholeAndFound() {
    std::vector<std::string> messages;
    CResultsWindow window(nullptr, [&](const std::string& m) { messages.push_back(m); });
    const QString report =
        QStringLiteral("  Mg1 :\n    1  BVS = 2.0314\n  Si1 :\n    1  BVS = 3.88\n");
    window.ShowResult(report, parsed(runJson("", R"("gii":null,"ions_in_cell":null)")));
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

    // The failure is the engine's own line, whatever else the report holds before it.
    window.ShowResult(QStringLiteral("  Title : NaCl by hand\n  ...\n"),
                      parsed(R"({"status":"failed","message":"Error !!! Number of distance )"
                             R"(entry exceed over 60.","title":"NaCl by hand"})"));
    QCOMPARE(window.OutcomeText(),
             QStringLiteral("The calculation failed: Error !!! Number of distance entry exceed "
                            "over 60."));
    // Edits after the run: the results say they no longer describe the form.
    window.MarkOutOfDate();
    QVERIFY(window.OutcomeText().startsWith("Out of date: "));
    // Placed on the screen, also when the form stands low on a small one.
    QWidget form;
    form.setGeometry(QRect(QPoint(0, 0), form.screen()->availableGeometry().size() / 2)
                         .translated(0, form.screen()->availableGeometry().height() / 3));
    form.show();
    window.resize(form.screen()->availableGeometry().size() + QSize(50, 50));
    window.ShowBeside(&form);
    QVERIFY(form.screen()->availableGeometry().contains(window.frameGeometry()));
    window.Clear();
    QCOMPARE(window.ReportText(), QString());
    QVERIFY(window.Failure().isEmpty() && !window.IsOutOfDate());
    QVERIFY(messages.empty());
}

void ResultsWindowTest::summaryTableIsColouredCopiedAndSaved() {
    std::vector<std::string> messages;
    CResultsWindow window(nullptr, [&](const std::string& m) { messages.push_back(m); });
    std::string silicon = siteJson2("Si1", 4, 4.6, 0.15, "*");
    silicon.insert(silicon.find(R"("multiplicity")"), R"("valence_source":"assigned",)");
    const std::string sites = siteJson("Mg1", 2, 2.0314, 0.0157, "") + "," + silicon + "," +
                              siteJson("O,1", -2, -1.5, -0.25, "**");
    window.ShowResult("report\n", parsed(runJson(sites, R"("gii":0.1234,"ions_in_cell":28.0)")));
    auto* table = window.findChild<QTableWidget*>("summaryTable");
    QVERIFY(table->isVisibleTo(&window));
    QCOMPARE(table->rowCount(), 3);
    QStringList row;
    for (int c = 0; c < table->columnCount(); ++c) row << table->item(1, c)->text();
    QCOMPARE(row,
             (QStringList{"Si1", "4.0000 a", "4.6000", "0.0026", "5", "4", "+0.6000", "+15.00 *"}));
    // Over- and under-bonded sites each in a colour of their own.
    QVERIFY(table->item(0, 2)->background() == QBrush() &&
            table->item(1, 2)->background() != table->item(2, 2)->background() &&
            table->item(2, 2)->background() != QBrush());
    QCOMPARE(window.GiiText(), QStringLiteral("GII = 0.1234 v.u. over 28.00 ions in the cell"));
    QCOMPARE(window.ConditionsText(), QStringLiteral("BV-B 0.370, D-min 0.500, D-max 3.500"));

    // Tabs on the clipboard, where a spreadsheet splits them into cells; commas in the file.
    const QString lines[] = {"site|V|BVS|sigma|CN|dV|dV/V (%)|mark|CN1|V from\n",
                             "Mg1|2.0000|2.0314|0.0026|4|0.0314|1.57|||\n",
                             "Si1|4.0000|4.6000|0.0026|5|0.6000|15.00|*|4|assigned\n",
                             "O,1|-2.0000|-1.5000|0.0026|4|0.5000|-25.00|**||\n", "GII|0.1234\n"};
    QString tabs, csv;
    for (const QString& line : lines) {
        tabs += QString(line).replace('|', '\t');
        csv += QString(line).replace("O,1", "\"O,1\"").replace('|', ',');
    }
    window.CopyTable();
    QCOMPARE(QApplication::clipboard()->text(), tabs);
    test::WorkDir dir;
    QVERIFY(window.SaveTable(dir.path() / "summary.csv"));
    QFile saved(QString::fromStdString((dir.path() / "summary.csv").string()));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(saved.readAll()), csv);
    QVERIFY(!window.SaveTable(dir.path() / "no folder" / "summary.csv"));
    QCOMPARE(messages.size(), std::size_t{1});

    // Choosing a bar of the plot selects its row, and the other way round.
    QSignalSpy chosen(&window, &CResultsWindow::siteChosen);
    table->selectRow(2);
    QCOMPARE(chosen.value(0).value(0).toString(), QStringLiteral("O,1"));
    window.SelectSite("Si1");
    QCOMPARE(table->selectedItems().value(0)->text(), QStringLiteral("Si1"));
    // The chosen site's bonds below the table: what made its sum, with the line used.
    QCOMPARE(window.BondRows(),
             QStringList{"O1|2_655|1.61410|0.00030|1.1500|0.0009|1.6240|0.370|b|yes"});

    // A new run without a summary empties the table, and nothing is left to copy.
    window.ShowResult("report\n", parsed(runJson("", R"("gii":null,"ions_in_cell":null)")));
    QCOMPARE(table->rowCount(), 0);
    QVERIFY(!window.findChild<QPushButton*>("copyTable")->isEnabled());
}

// Sites without parameters keep their rows, saying for which pair; when no site has a sum, there
// is no GII of 0 but the reason and the charges per cell.
void ResultsWindowTest::everySiteHasARowAndAMissingIndexIsSaidWhy() {
    CResultsWindow window(nullptr, [](const std::string&) {});
    auto* table = window.findChild<QTableWidget*>("summaryTable");
    const std::string someMissing = siteJson("Mg1", 2, 2.0314, 0.0157, "") + "," +
                                    siteJson("Fe1", 3, 0, 0, "", false) + "," +
                                    siteJson("O1", -2, -2.1, 0.05, "");
    window.ShowResult("r\n", parsed(runJson(someMissing, R"("gii":0.05,"ions_in_cell":8.0)")));
    QCOMPARE(table->rowCount(), 3);
    QCOMPARE(table->item(1, 0)->text() + '|' + table->item(1, 2)->text(),
             QStringLiteral("Fe1|no parameters for Fe3+ – P3-"));
    window.CopyTable();
    QVERIFY(QApplication::clipboard()->text().contains(
        "Fe1\t3.0000\t\t\t3\t\tno parameters for Fe3+ – P3-\t\t\t\n"));
    // Over part of the ions the index says so; overfilled positions make it doubtful.
    window.ShowResult("r\n", parsed(runJson(someMissing, R"("gii":0.05,"ions_in_cell":8.0,
        "ions_with_valence":12.0,"gii_doubtful":true)")));
    QCOMPARE(window.GiiText(),
             QStringLiteral("GII = 0.0500 v.u. over 8.00 of 12.00 ions in the cell\n"
                            "The GII is doubtful: sites overfill a position."));

    const std::string noneSummed =
        siteJson("Na1", 1, 0, 0, "", false) + "," + siteJson("Cl1", -1, 0, 0, "", false);
    window.ShowResult("r\n", parsed(runJson(noneSummed, R"("gii":0.0,"ions_in_cell":0.0)")));
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(window.GiiText(),
             QStringLiteral("No GII: no site has bond valence parameters for all its bonds.\n"
                            "Valences per cell: cations +8.500, anions -8.000"));
    QVERIFY(!window.GiiText().contains("GII ="));
    QCOMPARE(window.OutcomeText(), QStringLiteral("Calculation completed !"));

    // Valences the engine had to assign and could not: its reason, not a guess at one.
    window.ShowResult("r\n", parsed(runJson("", R"("gii":null,"ions_in_cell":null,
        "valences_unassigned":"no charge-neutral assignment of the states the table lists")")));
    QCOMPARE(window.GiiText(),
             QStringLiteral("No GII: no valences assigned by bond valence: no charge-neutral "
                            "assignment of the states the table lists.\n"
                            "Valences per cell: cations +8.500, anions -8.000"));
    // How an assignment balanced the cell follows the index, in the engine's words.
    window.ShowResult("r\n", parsed(runJson(someMissing, R"("gii":0.05,"ions_in_cell":8.0,
        "assignment_balance":{"notes":["Mn takes the average 3.500: no whole-number states make the cell neutral."]})")));
    QCOMPARE(window.GiiText(),
             QStringLiteral("GII = 0.0500 v.u. over 8.00 ions in the cell\n"
                            "Mn takes the average 3.500: no whole-number states make the cell "
                            "neutral."));
}

// Fields that other engines lack or add: read where they are, and nothing is made up where they
// are not; the engine's warnings are shown with the outcome.
void ResultsWindowTest::newerAndOlderEnginesBothRead() {
    std::string newer = siteJson("Si1", 4, 4.1, 0.025, "");
    newer.insert(newer.size() - 1,
                 R"(,"sigma_s":0.01,"cn_first_shell":4,"valence_source":"label")");
    newer.replace(newer.find(R"("neighbour":"O1")"), 16, R"("neighbour":"O1","code":"2_655")");
    std::string text = runJson(newer, R"("gii":0.1,"ions_in_cell":4.0,"valences":[4,-2])",
                               R"("warnings":["Note !!! Site O9 has no bonds."],)");
    text.insert(text.find(R"("d_min":0.5)") + 11, R"(,"table":"BVTable")");
    const EngineResult result = parsed(text);
    QCOMPARE(result.table.value_or("none"), std::string("BVTable"));
    QCOMPARE(result.warnings, std::vector<std::string>{"Note !!! Site O9 has no bonds."});
    const ResultSummarySite& site = result.summary.at(0);
    QVERIFY(site.sigmaS == 0.01 && site.cnFirstShell == 4 && site.valenceSource == "label");
    QCOMPARE(site.bonds.at(0).code, std::string("2_655"));

    const EngineResult older =
        parsed(runJson(siteJson("Si1", 4, 4.1, 0.025, ""), R"("gii":0.1,"ions_in_cell":4.0)"));
    QVERIFY(!older.table && older.warnings.empty() && !older.summary.at(0).sigmaS &&
            !older.summary.at(0).cnFirstShell && older.summary.at(0).bonds.at(0).code.empty());

    CResultsWindow window(nullptr, [](const std::string&) {});
    text.insert(text.find(R"("settings")"),
                R"("program":{"name":"Tarnell","version":"1.2"},"input":{"path":"/a/b/x.cif",)"
                R"("format":"cif"},)");
    window.ShowResult("r\n", parsed(text));
    QCOMPARE(window.ConditionsText(), QStringLiteral("Tarnell 1.2, x.cif (cif); table BVTable\n"
                                                     "BV-B 0.370, D-min 0.500, D-max 3.500"));
    QCOMPARE(window.OutcomeText(),
             QStringLiteral("Calculation completed !\nNote !!! Site O9 has no bonds."));

    EngineResult none;
    std::string error;
    for (const char* text : {"", "{", "[1]", R"({"title":"no status"})"}) {
        QVERIFY(!parseEngineResult(text, none, error));
        QVERIFY(!error.empty());
    }
}

}  // namespace tarnell

QTEST_MAIN(tarnell::ResultsWindowTest)
#include "results_window_test.moc"
