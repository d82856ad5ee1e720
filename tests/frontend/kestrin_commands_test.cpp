// Kestrin's commands with the real engine: opening the four formats, reading the form back,
// running a calculation, showing and saving the report, the help page. The working directory has
// a blank in its path, the editor is a script that writes down what it was given, and the suite
// runs in a locale that writes decimal commas wherever the system can make one.
#include <QApplication>
#include <QFileDialog>
#include <QLockFile>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <clocale>
#include <cstdlib>

#include "frontend/engine_result.h"
#include "frontend/kestrin_app.h"
#include "frontend/results_window.h"
#include "structure/structure_reader.h"
#include "tests/frontend/kestrin_test_support.h"
#include "tests/test_files.h"
#include "valence/parameter_table.h"

namespace tarnell {
namespace fs = std::filesystem;
const QString Examples = QStringLiteral(TARNELL_SOURCE_DIR "/examples/");

class KestrinCommandsTest : public QObject, test::KestrinWindow {
    Q_OBJECT

public:
    static void initMain() {
        const fs::path locale = fs::path(TARNELL_LOCALE_DIR) / "de_DE.UTF-8";
        if (!fs::exists(locale)) {
            fs::create_directories(locale.parent_path());
            const std::string make = "localedef -c -i de_DE -f UTF-8 '" + locale.string() + "'";
            [[maybe_unused]] int status = std::system((make + " >/dev/null 2>&1").c_str());
        }
        setenv("LOCPATH", locale.parent_path().c_str(), 1);
        setenv("LC_ALL", "de_DE.UTF-8", 1);
    }

private slots:
    void initTestCase();
    void init();
    void cleanup() { closeWindows(); }

    void opensEachFormatAndKeepsTheCaptionWhenALoadFails();
    void readFormScansLeadingNumbersUpToTheFirstEmptySpecies();
    void calculationRunsTheEngineOnTheEditedFormAndOpensTheReport();
    void engineRunsBehindABlockedWindowAndItsFailuresAreShown();
    void reportIsShownAndSavedAndHelpOpens();
    void capitalLabelsOfACifAreCalculatedWithTheirElement();
    void editsAreMarkedAskedAboutAndSaved();
    void cellsThatHoldNoNumberAreMarkedAndRefusedByName();
    void structureTypedAfterNewIsCalculated();
    void valencesAssignedByTheEngineGoIntoTheForm();
    void rowsKeepTheirUncertaintiesAndDMaxReachesEverySite();
    void filesOpenByDropAndFromTheRecentList();
    void distanceLimitOfTheBoxIsTheOneUsed();
    void resultsOfAnEditedFormAreOutOfDateAndNewForgetsTheFile();

private:
    fs::path work(const std::string& name) const { return m_dir->path() / name; }
    QString workText(const std::string& name) const { return QString::fromStdString(work(name)); }
    static QStringList lines(const fs::path& file) {
        QFile in(QString::fromStdString(file));
        return in.open(QIODevice::ReadOnly) ? QString(in.readAll()).split('\n') : QStringList();
    }
    void makeView(const QString& editor) {
        QString settings = QString::fromStdString(test::shippedSettings());
        settings.replace(QRegularExpression("Editor *=[^\n]*"), "Editor     =" + editor);
        test::writeTextFile(work("Tarnell.ini"), settings.toStdString());
        makeWindow(m_dir->path());
    }
    void openForsterite() {
        QVERIFY(m_view->OpenStructureFile(ReaderMode::NativeFile,
                                          (Examples + "forsterite.inp").toStdString()));
    }
    void writeScript(const std::string& name, const std::string& body) {
        test::writeTextFile(work(name), "#!/bin/sh\n" + body);
        fs::permissions(work(name), fs::perms::owner_all, fs::perm_options::add);
    }
    // Answers the next file dialog with `file`, or cancels it for an empty one; `then` runs
    // after the dialog has closed and before the command goes on.
    void answerFileDialog(const QString& file, const std::function<void()>& then = {}) {
        QTimer::singleShot(0, this, [file, then] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            dialog->selectFile(file);
            if (!file.isEmpty()) static_cast<QDialog*>(dialog)->accept();  // as its button does
            if (dialog->isVisible()) dialog->reject();  // refused or cancelled: no hanging test
            if (then) then();
        });
    }
    // After New, MgO in F m -3 m typed as the user types it: a only (the cubic group fixes the
    // rest of the cell), Mg1 with `valence`, O1 without one, and D-max 2.2.
    void typeMgOAfterNew(const QString& valence) {
        m_view->OnFileNew();
        typeInto("IDC_SG_NAME", "F m -3 m");
        typeInto("IDC_SG_NUMBER", "225");
        type(lattice(), 0, 1, "4.212");
        QVERIFY(!command("ID_EXECUTE_CALCULATION")->isEnabled());  // no site yet
        const QStringList rows[] = {{"Mg1", valence, "1", "0", "0", "0"},
                                    {"O1", "", "1", "0.5", "0.5", "0.5"}};
        for (int row = 0; row < 2; ++row) {
            for (int column = 0; column < rows[row].size(); ++column)
                type(sites(), row, column + 1, rows[row][column]);
        }
        typeInto("IDC_DMAX", "2.2");
    }
    // Everything of a structure that its files keep, exactly.
    static QString describe(const CrystalStructure& s) {
        QString text = QString::fromStdString(s.title) + QString::asprintf("|%d", s.sgNumber);
        for (int i = 0; i < 6; ++i)
            text += QString::asprintf("|%.17g %.17g", s.cell[i], s.cellSigma[i]);
        for (const Site& a : s.sites) {
            text +=
                QString::asprintf("\n%s %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g",
                                  a.name.c_str(), a.x, a.y, a.z, a.sx, a.sy, a.sz, a.charge, a.g);
        }
        return text;
    }

    // What a stand-in engine writes as its JSON: a run that went through, with nothing to show.
    static inline const std::string OkJson = "echo '{\"status\":\"ok\"}' > \"$5\"\n";

    std::unique_ptr<test::WorkDir> m_dir;
    QByteArray m_path;  // the PATH the suite started with
    QTemporaryDir m_profile;
};

void KestrinCommandsTest::initTestCase() {
    if (*std::localeconv()->decimal_point != ',') qWarning("no decimal-comma locale to run in");
    setUpApplication();
    QStandardPaths::setTestModeEnabled(true);  // the file dialogs' history stays out of ~/.config
    // The recent files of this run only: runs of the suite at once share ~/.qttest.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_profile.path());
    m_path = qgetenv("PATH");
}

void KestrinCommandsTest::init() {
    m_dir = std::make_unique<test::WorkDir>();
    for (const char* file : {"spgra.dat", "sgtrans.dat"})
        fs::copy_file(fs::path(TARNELL_SOURCE_DIR) / "data" / file, work(file));
    fs::copy_file(TARNELL_EXE, work("Tarnell"));
    test::writeTextFile(work("BVTable"), "Mg 2 O 2 1.693 a\nSi 4 O 2 1.624 b\n" +
                                             std::string(ReferenceHeader) + "\n");
    writeScript("editor", "printf '%s\\n' \"$@\" > \"$(dirname \"$0\")/editor.log\"\n");
    // The desktop's opener: writes down what it opens, and ends with the status in xdg.status.
    writeScript(
        "xdg-open",
        "d=$(dirname \"$0\"); echo \"$1\" >> \"$d/xdg.log\"; exit $(cat \"$d/xdg.status\")\n");
    test::writeTextFile(work("xdg.status"), "0\n");
    qputenv("PATH", QFile::encodeName(workText("")) + ':' + m_path);
    m_messages.clear();
    m_questions.clear();
    m_answers.clear();
    makeView(workText("editor"));
}

void KestrinCommandsTest::opensEachFormatAndKeepsTheCaptionWhenALoadFails() {
    m_view->LoadCommandLine({"/opt/kestrin-1.0/Kestrin", "forsterite.inp", "-b"});
    QVERIFY(!m_view->IsLoaded());  // no switch before the path: nothing to load
    fs::copy_file((Examples + "forsterite.inp").toStdString(), work("my forsterite.INP"));
    // Title, the first site's Valence (a listing has none) and d max (from the settings).
    const QString forsterite = "Forsterite Mg2SiO4, P n m a axes|";
    const std::pair<QString, QString> cases[] = {
        {Examples + "forsterite.lst", forsterite + "0.0000|3.50"},
        {Examples + "forsterite_pbnm_structured.txt", "Mg2 (Si O4)|2.0000|3.50"},
        {Examples + "forsterite.cif", "Forsterite|2.0000|3.50"},
        {workText("my forsterite.INP"), forsterite + "2.0000|3.00"}};
    for (const auto& [file, form] : cases) {
        answerFileDialog(file);
        m_view->OnFileOpen();
        // The export and the CIF in P b n m axes are shown in the standard ones, and the user
        // is told.
        if (file.contains("pbnm") || file.endsWith(".cif")) {
            QCOMPARE(m_messages,
                     QStringList{"  The file's axes P b n m were converted to the standard axes "
                                 "P n m a of group 62:\n  the form shows the cell and the "
                                 "coordinates in those.\n"});
            m_messages.clear();
        }
        QCOMPARE(m_messages, QStringList());
        QCOMPARE(m_frame->windowTitle(), "Kestrin --- [File Name : " + file + " ][*]");
        QCOMPARE(box("IDC_TITLE") + '|' + sites()->CellText(0, 2) + '|' + sites()->CellText(0, 7),
                 form);
    }

    // Failures, and a cancelled dialog: the form, the caption and the report stay as they were,
    // and each message names the file.
    QVERIFY(m_view->LoadStructure(test::sampleStructure(2), work("s.inp")));
    writeScript("Tarnell", "echo '  Bond valence sum:' > \"$3\"\n" + OkJson);
    m_view->OnCalculation();
    QVERIFY(m_view->HasReport());
    const QString loaded = m_frame->windowTitle();
    test::writeTextFile(work("cell.cif"), "data_x\n");
    test::writeTextFile(work("notes.doc"), "\n");
    m_messages.clear();
    for (const char* name : {"cell.cif", "notes.doc", ""}) {
        answerFileDialog(*name ? workText(name) : QString());
        m_view->OnFileOpen();
    }
    m_view->LoadCommandLine({"Kestrin", "-b", "missing.inp"});
    QCOMPARE(m_messages,
             (QStringList{"  " + workText("cell.cif") + " has no block with atom sites !!!\n",
                          "  " + workText("notes.doc") + ":\n  Unknown structure file format !!!\n",
                          "  missing.inp file not found !!!\n"}));
    QVERIFY(m_view->IsLoaded() && m_view->HasReport());
    QCOMPARE(m_frame->windowTitle(), loaded);
    QCOMPARE(box("IDC_TITLE") + sites()->CellText(1, 1), QStringLiteral("SampleNa2"));
}

void KestrinCommandsTest::readFormScansLeadingNumbersUpToTheFirstEmptySpecies() {
    QVERIFY(m_view->LoadStructure(test::sampleStructure(3), work("s.inp")));
    field("IDC_TITLE")->setText("  Two  blanks ");
    field("IDC_BV_B")->setText(" 0.40 A");
    const std::tuple<int, int, const char*> cells[] = {
        {0, 4, "0.2512(3)"}, {0, 5, " 0.5 "}, {1, 1, "  K1 "}, {2, 1, " "}, {3, 1, "Ca9"}};
    for (const auto& [row, column, text] : cells) sites()->SetCellText(row, column, text);
    // A row without a Species above a named one: refused, not the named rows silently dropped.
    QVERIFY(!m_view->ReadForm());
    QCOMPARE(m_messages, QStringList{"  Atomic coordinates row 3 has no Species, but row 4 below "
                                     "it has one !!!\n  Name the site of row 3, or delete its "
                                     "row.\n"});
    QCOMPARE(sites()->currentRow() * 10 + sites()->currentColumn(), 21);
    m_messages.clear();
    sites()->SetCellText(3, 1, "");
    QVERIFY(sites()->BeginCellEdit(1, 2));  // left open: the form must take it
    QTest::keyClicks(sites()->findChild<QLineEdit*>("IDC_CELL_EDIT"), "1+");

    QVERIFY(m_view->ReadForm());
    const CrystalStructure& read = m_view->Structure();
    QCOMPARE(QString::asprintf("%s|%d|%g %g|%s %g|%g|%g", read.title.c_str(), read.siteCount(),
                               read.sites[0].x, read.sites[0].y, read.sites[1].name.c_str(),
                               read.sites[1].charge, read.cell[0], m_view->CurrentSettings().bvB),
             QStringLiteral("  Two  blanks |2|0.2512 0.5|K1 1|5.6402|0.4"));
}

void KestrinCommandsTest::calculationRunsTheEngineOnTheEditedFormAndOpensTheReport() {
    QVERIFY(m_view->OpenStructureFile(ReaderMode::MorvekListing,
                                      (Examples + "forsterite.lst").toStdString()));
    const char* valences[] = {"2", "2", "4", "-2", "-2", "-2"};
    for (int row = 0; row < 6; ++row) sites()->SetCellText(row, 2, valences[row]);
    field("IDC_DMAX")->setText("3.2");
    // The settings file is a link into a folder of the user's, readable by the group only: it
    // stays a link, and the file it points to keeps its mode.
    fs::create_directory(work("conf"));
    fs::rename(work("Tarnell.ini"), work("conf/real.ini"));
    fs::create_symlink("conf/real.ini", work("Tarnell.ini"));
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(work("conf/real.ini"), mode);

    m_view->OnCalculation();
    QVERIFY(fs::is_symlink(work("Tarnell.ini")));
    QCOMPARE(fs::status(work("conf/real.ini")).permissions(), mode);
    QCOMPARE(std::distance(fs::directory_iterator(work("conf")), fs::directory_iterator()), 1);
    QCOMPARE(m_messages, QStringList());
    const QStringList input = lines(work("Tarnell.$$$"));
    QCOMPARE(input.mid(1, 1) + input.mid(12, 1) + input.mid(23, 1),
             (QStringList{"Forsterite Mg2SiO4, P n m a axes",
                          "  Mg1    1.00000   0.00000   0.00000   0.00000   2.00000   3.50000",
                          "                   0.00004   0.00007   0.00008"}));
    QCOMPARE(lines(work("Tarnell.ini")).value(7), QStringLiteral("D-max      =3.200"));
    // The sums of the engine's own end-to-end check of forsterite.
    const QString report = lines(work("Tarnell.out")).join('\n');
    QVERIFY2(report.contains("  Mg1 :\n    1  BVS = 2.0314( 0.0009)  CN = 6"),
             qPrintable(report.mid(report.indexOf("Bond valence sum"), 900)));
    // The results window's table holds the same run's valence summary, site by site.
    const EngineResult& result = m_view->ResultsWindow()->Result();
    QCOMPARE(result.summary.size(), std::size_t{6});
    for (const ResultSummarySite& row : result.summary) {
        QVERIFY2(
            row.bvs && row.sigma &&
                report.contains(QString::asprintf("  %-6s %6.2f %9.4f %7.4f %3d", row.site.c_str(),
                                                  row.valence, *row.bvs, *row.sigma, row.cn)),
            row.site.c_str());
    }
    QVERIFY(hasGii(result) && report.contains(QString::asprintf("  GII = %.4f v.u.", *result.gii)));
    QTRY_COMPARE(lines(work("editor.log")), (QStringList{workText("Tarnell.out"), ""}));
}

void KestrinCommandsTest::engineRunsBehindABlockedWindowAndItsFailuresAreShown() {
    QVERIFY(m_view->LoadStructure(test::sampleStructure(2), work("s.inp")));
    auto calculate = [this] {  // the message, unless an old report was left to pass for new
        test::writeTextFile(work("Tarnell.out"), "an old report\n");
        m_messages.clear();
        m_view->OnCalculation();
        return fs::exists(work("Tarnell.out")) ? QStringLiteral("old report left")
                                               : m_messages.join(QString());
    };
    // Settings that break after Kestrin has read them: the engine ends with status 255.
    QString settings = lines(work("Tarnell.ini")).join('\n').replace("SpgraFile", "Spgra");
    test::writeTextFile(work("Tarnell.ini"), settings.toStdString());
    QCOMPARE(calculate(),
             "  Tarnell stopped with status 255 !!!\n\n!!! Now calculating .... \n"
             "  Error !!! Tarnell.ini file not found.\n  Error !!!   SpgraFile not found.\n");
    writeScript("Tarnell", "echo Segmentation fault >&2\nkill -SEGV $$\n");
    QCOMPARE(calculate(), "  Tarnell stopped abnormally !!!\n\nSegmentation fault\n");
    // A report the engine could not write: its line is shown and no report is opened.
    writeScript("Tarnell",
                "echo '  Error !!! Output file Tarnell.out cannot be written.'\nexit 1\n");
    QCOMPARE(calculate(), "  Tarnell could not write its report " + workText("Tarnell.out") +
                              " !!!\n\nError !!! Output file Tarnell.out cannot be written.\n");
    fs::remove(work("Tarnell"));
    QVERIFY(calculate().startsWith("  Tarnell cannot be started: "));
    QTest::qWait(100);
    QVERIFY(!fs::exists(work("editor.log")));

    // An engine that ends well with a report of its failure: the failure is the engine's own
    // line, not the first line of its report.
    writeScript("Tarnell",
                "printf '  Tarnell\\n  Error !!!  No distance entry within less then 3.000.\\n\\n' "
                "> \"$3\"\n"
                "echo '{\"status\":\"failed\",\"message\":\"Error !!!  No distance entry "
                "within less then 3.000.\"}' > \"$5\"\n"
                "echo '  Calculation completed !'\n");
    m_messages.clear();
    m_view->OnCalculation();
    const QString failure = "Error !!!  No distance entry within less then 3.000.";
    QCOMPARE(m_view->ResultsWindow()->Failure(), failure);
    QCOMPARE(m_frame->statusBar()->currentMessage(), "The calculation failed: " + failure);
    QVERIFY(m_messages.isEmpty() && m_view->HasReport());
    QTRY_VERIFY(fs::exists(work("editor.log")));
    fs::remove(work("editor.log"));

    // The form stays usable and the next run goes through. While the engine runs, the status
    // bar shows its lines, and New by key or by button does nothing.
    writeScript("Tarnell",
                "echo '!!! Now calculating .... '\nsleep 1\necho '  Bond valence sum:' > \"$3\"\n" +
                    OkJson + "echo '  Calculation completed !'\n");
    m_frame->show();
    m_messages.clear();
    QString shownWhileRunning;
    // Polled rather than looked at once: on a loaded machine the engine's first line can take
    // longer to come than any fixed wait.
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, m_frame.get(), [&] {
        const QString shown = m_frame->statusBar()->currentMessage();
        if (shown != QStringLiteral("!!! Now calculating ....")) return;
        poll.stop();
        shownWhileRunning = shown;
        QTest::keyClick(m_frame.get(), Qt::Key_N, Qt::ControlModifier);
        QTest::mouseClick(m_frame->findChild<QToolBar*>()->widgetForAction(command("ID_FILE_NEW")),
                          Qt::LeftButton);
    });
    poll.start();
    m_view->OnCalculation();
    poll.stop();
    QCOMPARE(shownWhileRunning, QStringLiteral("!!! Now calculating ...."));
    QCOMPARE(m_frame->statusBar()->currentMessage(), QStringLiteral("Calculation completed !"));
    QVERIFY(m_view->IsLoaded() && m_messages.isEmpty());
    QTRY_VERIFY(fs::exists(work("editor.log")));  // before the folder goes

    // Another Kestrin calculating in the same folder: this one neither writes nor reads.
    QLockFile other(workText("Tarnell.lock"));
    QVERIFY(other.tryLock(0));
    fs::remove(work("Tarnell.$$$"));
    m_view->OnCalculation();
    QCOMPARE(m_messages,
             QStringList{"  Another calculation is running in " + workText("").chopped(1) +
                         " !!!\n  Calculate again when it has finished.\n"});
    QVERIFY(!fs::exists(work("Tarnell.$$$")));
}

void KestrinCommandsTest::reportIsShownAndSavedAndHelpOpens() {
    // A report left by an earlier run belongs to no structure of this form.
    const std::string report =
        "line\r\n" + std::string(300, 'x') + "\n  Bond valence sum:\n\xE9 end";
    test::writeTextFile(work("report.src"), report);
    test::writeTextFile(work("Tarnell.out"), "an earlier report\n");
    QVERIFY(m_view->LoadStructure(test::sampleStructure(2), work("s.inp")));
    m_view->OnShowResults();
    m_view->OnFileSaveAs();
    QCOMPARE(m_messages, QStringList{"Output file cannot open !!!!"});
    QVERIFY(!m_view->ResultsWindow()->isVisible());

    // After a run, the results window shows the report it wrote, and the editor gets it too.
    writeScript("Tarnell", "cp \"$(dirname \"$0\")/report.src\" \"$3\"\n" + OkJson);
    m_view->OnCalculation();
    QVERIFY(m_view->ResultsWindow()->isVisible());
    QCOMPARE(m_view->ResultsWindow()->ReportText(),
             QString::fromLocal8Bit(report.c_str()).replace("\r\n", "\n"));
    QTRY_COMPARE(lines(work("editor.log")), (QStringList{workText("Tarnell.out"), ""}));

    // An editor that cannot start, or one that ends at once with a failure, is reported with
    // the key to change; with the key empty only the results window shows the report.
    m_messages.clear();
    test::writeTextFile(work("xdg.status"), "3\n");
    for (const char* editor : {"/no/such/editor -n", "xdg-open", ""}) {
        makeView(editor);
        QVERIFY(m_view->LoadStructure(test::sampleStructure(2), work("s.inp")));
        m_view->OnCalculation();
        QVERIFY(m_view->ResultsWindow()->isVisible());
    }
    QTRY_COMPARE(m_messages.size(), 2);
    QTest::qWait(200);
    const QString key = " Editor key of " + workText("Tarnell.ini") + ",\n";
    const QString starts[] = {
        "  Editor /no/such/editor -n cannot show the report: ",
        "  Editor xdg-open cannot show the report: it ended with status 3 !!!\n"};
    QCOMPARE(m_messages.size(), 2);
    for (int i = 0; i < 2; ++i)
        QVERIFY2(m_messages[i].startsWith(starts[i]) && m_messages[i].contains(key),
                 qPrintable(m_messages[i]));

    // Saved whole, even into a folder that is gone by the time the copy is made.
    fs::create_directory(work("saved"));
    answerFileDialog(workText("saved/forsterite"));
    m_view->OnFileSaveAs();
    QFile copy(workText("saved/forsterite.txt"));
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll().toStdString(), report);
    m_messages.clear();
    fs::create_directory(work("gone"));
    answerFileDialog(workText("gone/report.txt"), [this] { fs::remove(work("gone")); });
    m_view->OnFileSaveAs();
    QCOMPARE(m_messages,
             QStringList{"  " + workText("gone/report.txt") + " file cannot be created !!!\n"});
    QVERIFY(!fs::exists(work("gone")));

    // Help: a desktop without a program for HTML, then one with.
    m_messages.clear();
    fs::remove(work("xdg.log"));
    test::writeTextFile(work("KestrinHelp.html"), "<html></html>\n");
    m_view->OnHelpHtml();
    QTRY_COMPARE(m_messages.size(), 1);
    test::writeTextFile(work("xdg.status"), "0\n");
    m_view->OnHelpHtml();
    QTRY_COMPARE(lines(work("xdg.log")).size(), 3);
    QTest::qWait(100);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages[0].startsWith("Cannot execute html file !!!\n  xdg-open found no program "
                                      "for HTML files (it ended with status 3)."),
             qPrintable(m_messages[0]));
}

void KestrinCommandsTest::editsAreMarkedAskedAboutAndSaved() {
    openForsterite();
    QVERIFY(!m_frame->isWindowModified());
    type(sites(), 2, 4, "0.0941");
    typeInto("IDC_TITLE", "Forsterite, edited");
    QVERIFY(m_frame->isWindowModified() && m_view->IsModified());

    // Each way of dropping the form asks first; "no" keeps everything, and opens no dialog (it
    // would block here).
    m_answers = {false, false, false};
    m_view->OnFileNew();
    m_view->OnFileOpen();
    m_frame->show();
    QVERIFY(!m_frame->close());
    QCOMPARE(m_questions.size(), 3);
    QVERIFY(m_questions[0].contains("Discard the edits?"));
    QVERIFY(m_frame->isVisible());
    QCOMPARE(sites()->CellText(2, 4) + '|' + box("IDC_TITLE"), "0.0941|Forsterite, edited");

    // Saved as a native file and as a CIF, the form reads back as it stands, uncertainties too.
    answerFileDialog(workText("kept"));
    m_view->OnFileSaveStructureAs();
    QVERIFY(!m_frame->isWindowModified());
    QCOMPARE(m_frame->windowTitle(), "Kestrin --- [File Name : " + workText("kept.inp") + " ][*]");
    QVERIFY(m_view->SaveStructure(work("kept.cif")));
    const CrystalStructure& form = m_view->Structure();
    QCOMPARE(
        QString::fromStdString(form.title) +
            QString::asprintf("|%d %g %g", form.siteCount(), form.sites[2].x, form.sites[5].sy),
        QStringLiteral("Forsterite, edited|6 0.0941 7e-05"));
    const ReaderContext context{3.0, work("sgtrans.dat")};
    for (const auto& [mode, name] : {std::pair{ReaderMode::NativeFile, "kept.inp"},
                                     std::pair{ReaderMode::CifFile, "kept.cif"}}) {
        CrystalStructure read;
        std::string message;
        QVERIFY2(test::codeOf(readStructure(mode, work(name), read, context), message) == 0,
                 message.c_str());
        QCOMPARE(describe(read), describe(form));
        QCOMPARE(read.sgNumber, 62);
    }

    // After saving, leaving asks nothing.
    QVERIFY(m_frame->close());
    QCOMPARE(m_questions.size(), 3);
}

void KestrinCommandsTest::cellsThatHoldNoNumberAreMarkedAndRefusedByName() {
    QVERIFY(m_view->LoadStructure(test::sampleStructure(2), work("s.inp")));
    CGridListCtrl* grids[] = {lattice(), sites()};
    struct Case {
        int grid;  // 0 lattice, 1 sites, -1 a box
        int row, column;
        const char* box;
        QString text;
        QString refusal;  // empty: taken as a number
    };
    const Case cases[] = {
        {1, 0, 4, nullptr, "0,25",
         "  Atomic coordinates row 1 (Na1), x holds \"0,25\", which is not a number !!!\n"},
        {0, 0, 1, nullptr, "abc",
         "  Lattice parameters a, Value holds \"abc\", which is not a number !!!\n"},
        {1, 1, 6, nullptr, "",
         "  Atomic coordinates row 2 (Na2), z is empty: it needs a number !!!\n"},
        {0, 2, 1, nullptr, "", "  Lattice parameters c, Value is empty: it needs a number !!!\n"},
        {-1, 0, 0, "IDC_SG_NUMBER", "14.5", "  SG No. holds \"14.5\", which is not a number !!!\n"},
        // A condition the settings did not give, or one cleared, is not run as 0.
        {-1, 0, 0, "IDC_HMAX", "", "  Search cell limit Max is empty: it needs a number !!!\n"},
        {-1, 0, 0, "IDC_DMAX", "3..2",
         "  Distance limit Max holds \"3..2\", which is not a number !!!\n"},
        // What was read as a number stays one.
        {1, 0, 4, nullptr, " 0.2512(3) ", ""},
        {1, 1, 2, nullptr, "1+", ""},
        {0, 0, 2, nullptr, "0.0002(1)", ""},
        {-1, 0, 0, "IDC_DMAX", "3.2 A", ""},
        {-1, 0, 0, "IDC_HMIN", "-1", ""},
    };
    for (const Case& c : cases) {
        const QString old = c.box ? box(c.box) : grids[c.grid]->CellText(c.row, c.column);
        auto enter = [&](const QString& text) {
            c.box ? typeInto(c.box, text) : type(grids[c.grid], c.row, c.column, text);
        };
        enter(c.text);
        // Marked as it is stored, when it holds something that is no number.
        const bool marked = c.box ? !field(c.box)->toolTip().isEmpty()
                                  : grids[c.grid]->item(c.row, c.column)->background() != QBrush();
        QCOMPARE(marked, !c.refusal.isEmpty() && !c.text.isEmpty());
        m_messages.clear();
        fs::remove(work("Tarnell.$$$"));
        for (CGridListCtrl* grid : grids) grid->setCurrentCell(5, 0);
        QCOMPARE(m_view->ReadForm(), c.refusal.isEmpty());
        QCOMPARE(m_messages.join(QString()), c.refusal);
        // The user goes on at the cell refused.
        if (!c.refusal.isEmpty() && c.grid >= 0) {
            QCOMPARE(grids[c.grid]->currentRow() * 10 + grids[c.grid]->currentColumn(),
                     c.row * 10 + c.column);
        }
        if (!c.refusal.isEmpty()) {
            m_view->OnCalculation();
            QVERIFY(!fs::exists(work("Tarnell.$$$")));
            enter(old);
        }
    }
    const CrystalStructure& read = m_view->Structure();
    QCOMPARE(QString::asprintf("%g %g %g %g %d", read.sites[0].x, read.sites[1].charge,
                               read.cellSigma[0], m_view->CurrentSettings().dMax,
                               m_view->CurrentSettings().hMin),
             QStringLiteral("0.2512 1 0.0002 3.2 -1"));
    QVERIFY(lattice()->item(0, 1)->toolTip().isEmpty());  // the mark went with the bad text
}

// No valence typed: no question, the engine assigns them, and the command writes them into the
// Valence column.
void KestrinCommandsTest::valencesAssignedByTheEngineGoIntoTheForm() {
    typeMgOAfterNew("");
    QVERIFY(!command("ID_USE_ASSIGNED_VALENCES")->isEnabled());
    command("ID_EXECUTE_CALCULATION")->trigger();
    QCOMPARE(m_questions, QStringList());
    const QString report = m_view->ResultsWindow()->ReportText();
    QVERIFY2(report.contains("V assigned by bond valence (the file states none)"),
             qPrintable(report));
    QVERIFY(command("ID_USE_ASSIGNED_VALENCES")->isEnabled());
    command("ID_USE_ASSIGNED_VALENCES")->trigger();
    QCOMPARE(sites()->CellText(0, 2).trimmed(), QStringLiteral("2.0000"));
    QCOMPARE(sites()->CellText(1, 2).trimmed(), QStringLiteral("-2.0000"));
    QVERIFY(m_view->IsModified());
}

void KestrinCommandsTest::structureTypedAfterNewIsCalculated() {
    // First a file with uncertainties, so that nothing of it may leak into the typed structure.
    openForsterite();
    typeMgOAfterNew("2");
    QVERIFY(command("ID_EXECUTE_CALCULATION")->isEnabled());

    // O1 has no valence: the user is warned, and "no" leaves it uncalculated.
    m_answers = {false};
    m_view->OnCalculation();
    QCOMPARE(m_questions.size(), 1);
    QVERIFY2(m_questions[0].startsWith("Valence 0 at: O1.\n"), qPrintable(m_questions[0]));
    QVERIFY(!fs::exists(work("Tarnell.$$$")) && !m_view->HasReport());

    type(sites(), 1, 2, "-2");
    command("ID_EXECUTE_CALCULATION")->trigger();
    QCOMPARE(m_messages, QStringList());
    QStringList cell;
    for (int i = 0; i < 6; ++i) cell << lattice()->CellText(i, 1);
    QCOMPARE(cell, (QStringList{"4.212", "4.212", "4.212", "90", "90", "90"}));
    QVERIFY(m_view->HasReport() && command("ID_VIEW_RESULTS")->isEnabled());
    const Site& o1 = m_view->Structure().sites[1];
    QCOMPARE(QString::asprintf("%g %g %g %g", o1.sx, o1.sy, o1.sz, o1.dLimit),
             QStringLiteral("0 0 0 2.2"));
    // Six O at 2.106 A around Mg: 6 exp((1.693 - 2.106) / 0.37).
    const QString report = m_view->ResultsWindow()->ReportText();
    QVERIFY2(report.contains("  Mg1 :\n    1  BVS = 1.9651( 0.0000)  CN = 6"), qPrintable(report));
    QVERIFY(m_view->ResultsWindow()->Failure().isEmpty());

    // A tetragonal group fixes b and the angles, not c: the refusal names it.
    typeInto("IDC_SG_NUMBER", "136");
    for (int i = 1; i < 6; ++i) type(lattice(), i, 1, "");
    m_messages.clear();
    QVERIFY(!m_view->ReadForm());
    QCOMPARE(m_messages,
             QStringList{"  Lattice parameters c, Value is empty: it needs a number !!!\n"});
    QCOMPARE(lattice()->CellText(1, 1) + ' ' + lattice()->CellText(5, 1),
             QStringLiteral("4.212 90"));
}

void KestrinCommandsTest::rowsKeepTheirUncertaintiesAndDMaxReachesEverySite() {
    openForsterite();
    auto sigmaLine = [this](int site) { return lines(work("Tarnell.$$$")).value(13 + 2 * site); };
    // A calculation with five sites, then O3 typed back: it keeps what the file gave it.
    type(sites(), 5, 1, "");
    m_view->OnCalculation();
    QCOMPARE(m_view->Structure().siteCount(), 5);
    type(sites(), 5, 1, "O3");
    m_view->OnCalculation();
    QCOMPARE(sigmaLine(5), "                   0.00004   0.00007   0.00008");
    // Coordinates cleared make the row a new site, without them.
    for (const char* text : {"", "0.2"}) {
        for (int column : {4, 5, 6}) type(sites(), 5, column, text);
    }
    m_view->OnCalculation();
    QCOMPARE(sigmaLine(5), "                   0.00000   0.00000   0.00000");
    QCOMPARE(sigmaLine(4), "                   0.00005   0.00000   0.00011");

    // The distance limit reaches the sites only through the button.
    QVERIFY(m_view->HasReport());
    typeInto("IDC_DMAX", "3.5");
    m_view->OnCalculation();
    QVERIFY(lines(work("Tarnell.$$$")).value(12).endsWith("   3.00000"));
    m_view->findChild<QPushButton*>("applyDMax")->click();
    QStringList limits;
    for (int row = 0; row < 7; ++row) limits << sites()->CellText(row, 7);
    QCOMPARE(limits, (QStringList{"3.5", "3.5", "3.5", "3.5", "3.5", "3.5", ""}));

    // Opening another file leaves no report of this one to show or save, and the grid starts
    // at its top with the title in full in its tool tip.
    sites()->verticalScrollBar()->setValue(sites()->verticalScrollBar()->maximum());
    QVERIFY(m_view->OpenStructureFile(ReaderMode::IcsdText,
                                      (Examples + "forsterite_pbnm_structured.txt").toStdString()));
    QVERIFY(!m_view->HasReport() && !command("ID_FILE_SAVE_AS")->isEnabled() &&
            !command("ID_VIEW_RESULTS")->isEnabled());
    QCOMPARE(m_view->ResultsWindow()->ReportText(), QString());
    QCOMPARE(sites()->verticalScrollBar()->value(), 0);
    for (const char* id : {"IDC_TITLE", "IDC_SG_NAME"}) QCOMPARE(field(id)->toolTip(), box(id));
}

void KestrinCommandsTest::filesOpenByDropAndFromTheRecentList() {
    QSettings().remove("Recent File List");
    makeView(workText("editor"));
    auto drop = [this](const QString& file) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(m_frame.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(m_frame.get(), &dropped);
    };
    // The recent files in their order, the last first.
    auto recent = [this] {
        QStringList files;
        for (const char* id : {"ID_FILE_MRU_FILE1", "ID_FILE_MRU_FILE2", "ID_FILE_MRU_FILE3"})
            files << (command(id)->isVisible() ? command(id)->text() : QString());
        return files;
    };
    QCOMPARE(recent(), QStringList(3, QString()));
    drop(Examples + "forsterite.cif");
    QTRY_COMPARE(box("IDC_TITLE"), QStringLiteral("Forsterite"));
    drop(Examples + "monazite.inp");
    QTRY_VERIFY(box("IDC_TITLE") != "Forsterite");
    // Choosing one opens it again.
    command("ID_FILE_MRU_FILE2")->trigger();
    QCOMPARE(box("IDC_TITLE"), QStringLiteral("Forsterite"));
    // A file named relative to the current folder is remembered by its full path.
    m_view->LoadCommandLine(
        {"Kestrin", "-b", QDir::current().relativeFilePath(Examples + "NaCl.inp")});
    QCOMPARE(recent(),
             (QStringList{"&1 " + Examples + "NaCl.inp", "&2 " + Examples + "forsterite.cif",
                          "&3 " + Examples + "monazite.inp"}));
    // Twice the note that forsterite.cif's P b n m axes were converted.
    QCOMPARE(m_messages.size(), 2);
    QVERIFY(m_messages[0].contains("P b n m") && m_questions.isEmpty());
}

// A CIF whose labels are in capitals: the grid shows the label that tells the element, and the
// calculation from the form gives the engine's own sums on the file.
void KestrinCommandsTest::capitalLabelsOfACifAreCalculatedWithTheirElement() {
    test::writeTextFile(work("BVTable"), "Ba 2 O 2 2.29 a\n" + std::string(ReferenceHeader) + "\n");
    const QString cif =
        QStringLiteral(TARNELL_SOURCE_DIR "/tests/data/cif/bao_upper_case_labels.cif");
    m_view->LoadCommandLine({"Kestrin", "-c", cif});
    QCOMPARE(sites()->CellText(0, 1), QStringLiteral("Ba1"));
    m_view->OnCalculation();
    QCOMPARE(m_messages, QStringList());
    const auto sums = [](const QStringList& report) {
        const QString text = report.join('\n');
        return text.mid(text.indexOf("  Bond valence sum:"));
    };
    const QString fromForm = sums(lines(work("Tarnell.out")));
    QVERIFY2(fromForm.contains("  Ba1 :\n    1  BVS = 1.6"), qPrintable(fromForm));
    const std::string engine = "cd '" + m_dir->path().string() + "' && ./Tarnell -c '" +
                               cif.toStdString() + "' direct.out < /dev/null > /dev/null 2>&1";
    QCOMPARE(std::system(engine.c_str()), 0);
    QCOMPARE(fromForm, sums(lines(work("direct.out"))));
}

// The box's limit is what a new file's sites get; a limit above 10 A, or not above D-min, is
// refused before anything is written.
void KestrinCommandsTest::distanceLimitOfTheBoxIsTheOneUsed() {
    openForsterite();
    typeInto("IDC_DMAX", "2.5");
    m_view->OnCalculation();
    QCOMPARE(lines(work("Tarnell.ini")).value(7), QStringLiteral("D-max      =2.500"));
    typeInto("IDC_DMAX", "3.5");
    QVERIFY(m_view->OpenStructureFile(ReaderMode::CifFile,
                                      (Examples + "forsterite.cif").toStdString()));
    for (int row = 0; row < 6; ++row) QCOMPARE(sites()->CellText(row, 7), QStringLiteral("3.50"));

    const std::pair<const char*, const char*> refused[] = {
        {"1e9", "  Distance limit Max 1e+09 is above 10 A !!!\n"},
        {"0.4", "  Distance limit Max 0.4 must be above Min 0.5 !!!\n"}};
    for (const auto& [dMax, message] : refused) {
        typeInto("IDC_DMAX", dMax);
        m_messages.clear();
        fs::remove(work("Tarnell.$$$"));
        m_view->OnCalculation();
        QVERIFY2(m_messages.value(0).startsWith(message), qPrintable(m_messages.value(0)));
        QVERIFY(!fs::exists(work("Tarnell.$$$")));
        QCOMPARE(lines(work("Tarnell.ini")).value(7), QStringLiteral("D-max      =2.500"));
        QVERIFY(field("IDC_DMAX")->hasFocus() || !m_frame->isVisible());
        // Nor does the refused limit reach the next file.
        QVERIFY(m_view->OpenStructureFile(ReaderMode::CifFile,
                                          (Examples + "forsterite.cif").toStdString()));
        QCOMPARE(sites()->CellText(0, 7), QStringLiteral("2.50"));
    }
    // A site's own limit too.
    typeInto("IDC_DMAX", "3.5");
    type(sites(), 0, 7, "12");
    m_messages.clear();
    m_view->OnCalculation();
    QCOMPARE(m_messages,
             QStringList{"  Atomic coordinates row 1 (Mg1), d max 12 is above 10 A !!!\n"});
    QCOMPARE(sites()->currentRow() * 10 + sites()->currentColumn(), 7);
}

void KestrinCommandsTest::resultsOfAnEditedFormAreOutOfDateAndNewForgetsTheFile() {
    openForsterite();
    m_view->OnCalculation();
    CResultsWindow* results = m_view->ResultsWindow();
    QCOMPARE(results->OutcomeText(), QStringLiteral("Calculation completed !"));
    type(sites(), 0, 4, "0.001");
    QVERIFY(results->IsOutOfDate() && results->OutcomeText().startsWith("Out of date: "));
    m_view->OnCalculation();
    QVERIFY(!results->IsOutOfDate());

    // Coordinates are shown with every digit they have, so reading the form changes none.
    CrystalStructure precise = test::sampleStructure(1);
    precise.sites[0].x = 0.123456789;
    QVERIFY(m_view->LoadStructure(precise, work("p.inp")));
    QCOMPARE(sites()->CellText(0, 4) + ' ' + sites()->CellText(0, 5),
             QStringLiteral("0.123456789 0.50000"));
    QVERIFY(m_view->ReadForm());
    QCOMPARE(m_view->Structure().sites[0].x, 0.123456789);

    m_view->OnFileNew();
    QCOMPARE(m_frame->windowTitle(), QStringLiteral("Kestrin --- [File Name : ]  [*]"));
}

}  // namespace tarnell

QTEST_MAIN(tarnell::KestrinCommandsTest)
#include "kestrin_commands_test.moc"
