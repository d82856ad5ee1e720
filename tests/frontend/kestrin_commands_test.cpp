// Kestrin's commands with the real engine: opening the four formats, reading the form back,
// running a calculation, showing and saving the report, the help page. The working directory has
// a blank in its path, the editor is a script that writes down what it was given, and the suite
// runs in a locale that writes decimal commas wherever the system can make one.
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLineEdit>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <clocale>
#include <cstdlib>

#include "frontend/grid_list_ctrl.h"
#include "frontend/kestrin_app.h"
#include "frontend/kestrin_view.h"
#include "frontend/main_frame.h"
#include "tests/frontend/kestrin_test_support.h"
#include "valence/parameter_table.h"

namespace tarnell {
namespace fs = std::filesystem;
const QString Examples = QStringLiteral(TARNELL_SOURCE_DIR "/examples/");

class KestrinCommandsTest : public QObject {
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
    void cleanup() { m_frame.reset(); }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler("file"); }
    void opensEachFormatAndKeepsTheCaptionWhenALoadFails();
    void readFormScansLeadingNumbersUpToTheFirstEmptySpecies();
    void calculationRunsTheEngineOnTheEditedFormAndOpensTheReport();
    void engineRunsBehindABlockedWindowAndItsFailuresAreShown();
    void reportIsShownAndSavedAndHelpOpens();

public slots:  // the desktop's opener of files, for the test
    void openUrl(const QUrl& url) { m_urls << url.toLocalFile(); }

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
        m_frame = std::make_unique<CMainFrame>(m_dir->path(), [this](const std::string& m) {
            m_messages << QString::fromStdString(m);
        });
        m_view = m_frame->View();
    }
    void writeScript(const std::string& name, const std::string& body) {
        test::writeTextFile(work(name), "#!/bin/sh\n" + body);
        fs::permissions(work(name), fs::perms::owner_all, fs::perm_options::add);
    }
    // Answers the next file dialog with `file`, or cancels it for an empty one; `then` runs
    // after the dialog has closed and before the command goes on.
    void answerFileDialog(const QString& file, const std::function<void()>& then = {}) {
        QTimer::singleShot(0, this, [this, file, then] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            m_offered = dialog->nameFilters() << dialog->defaultSuffix();
            dialog->selectFile(file);
            if (!file.isEmpty()) static_cast<QDialog*>(dialog)->accept();  // as its button does
            if (dialog->isVisible()) dialog->reject();  // refused or cancelled: no hanging test
            if (then) then();
        });
    }
    QString box(const char* id) const { return m_view->findChild<QLineEdit*>(id)->text(); }
    CGridListCtrl* sites() const { return m_view->findChild<CGridListCtrl*>("IDC_SITE_LIST"); }

    std::unique_ptr<test::WorkDir> m_dir;
    std::unique_ptr<CMainFrame> m_frame;
    CKestrinView* m_view = nullptr;
    QStringList m_messages, m_offered, m_urls;
};

void KestrinCommandsTest::initTestCase() {
    if (*std::localeconv()->decimal_point != ',') qWarning("no decimal-comma locale to run in");
    setUpApplication();
    QStandardPaths::setTestModeEnabled(true);  // the file dialogs' history stays out of ~/.config
    QDesktopServices::setUrlHandler("file", this, "openUrl");
}

void KestrinCommandsTest::init() {
    m_dir = std::make_unique<test::WorkDir>();
    for (const char* file : {"spgra.dat", "sgtrans.dat"})
        fs::copy_file(fs::path(TARNELL_SOURCE_DIR) / "data" / file, work(file));
    fs::copy_file(TARNELL_EXE, work("Tarnell"));
    test::writeTextFile(work("BVTable"), "Mg 2 O 2 1.693 a\nSi 4 O 2 1.624 b\n" +
                                             std::string(ReferenceHeader) + "\n");
    writeScript("editor", "printf '%s\\n' \"$@\" > \"$(dirname \"$0\")/editor.log\"\n");
    m_messages.clear();
    m_urls.clear();
    makeView(workText("editor"));
}

void KestrinCommandsTest::opensEachFormatAndKeepsTheCaptionWhenALoadFails() {
    m_view->LoadCommandLine({"/opt/kestrin-1.0/Kestrin", "forsterite.inp", "-b"});
    QVERIFY(!m_view->IsLoaded());  // no switch before the path: nothing to load
    fs::copy_file((Examples + "forsterite.inp").toStdString(), work("my forsterite.INP"));
    // Title, the first site's Valence (a listing has none) and d max (from the settings).
    const QString forsterite = "Forsterite Mg2SiO4, P n m a axes|";
    const std::pair<QString, QString> cases[] = {
        {Examples + "forsterite.lst", forsterite + "0.0000|3.00"},
        {Examples + "forsterite_pbnm_structured.txt", "Mg2 (Si O4)|2.0000|3.00"},
        {Examples + "forsterite.cif", "Forsterite|2.0000|3.00"},
        {workText("my forsterite.INP"), forsterite + "2.0000|3.00"}};
    for (const auto& [file, form] : cases) {
        answerFileDialog(file);
        m_view->OnFileOpen();
        QCOMPARE(m_messages, QStringList());
        QCOMPARE(m_frame->windowTitle(), "Kestrin --- [File Name : " + file + " ]");
        QCOMPARE(box("IDC_TITLE") + '|' + sites()->CellText(0, 2) + '|' + sites()->CellText(0, 7),
                 form);
    }
    QCOMPARE(m_offered, (QStringList{"Input File (*.inp)", "Morvek Lst File (*.lst)",
                                     "ICSD File (*.txt)", "CIF File (*.cif)", "inp"}));
    m_view->LoadCommandLine({"Kestrin", "-c", Examples + "forsterite.cif"});
    QVERIFY(m_view->IsLoaded() && box("IDC_SG_NAME") == "P n m a");
    m_view->LoadCommandLine({"Kestrin", "-b", workText("my forsterite.INP")});
    const QString loaded = m_frame->windowTitle();
    QVERIFY(m_view->IsLoaded() && loaded.contains("my forsterite.INP"));

    // Failures, and a cancelled dialog: the form is emptied and the caption stays.
    test::writeTextFile(work("cell.cif"), "data_x\n");
    test::writeTextFile(work("notes.doc"), "\n");
    for (const char* name : {"cell.cif", "notes.doc", ""}) {
        answerFileDialog(*name ? workText(name) : QString());
        m_view->OnFileOpen();
    }
    m_view->LoadCommandLine({"Kestrin", "-b", "missing.inp"});
    QCOMPARE(m_messages,
             (QStringList{"  " + workText("cell.cif") + " has no block with atom sites !!!\n",
                          "  Unknown structure file format !!!\n",
                          "  missing.inp file not found !!!\n"}));
    QVERIFY(!m_view->IsLoaded());
    QCOMPARE(m_frame->windowTitle(), loaded);
    QCOMPARE(box("IDC_TITLE") + sites()->CellText(0, 1), QString());
}

void KestrinCommandsTest::readFormScansLeadingNumbersUpToTheFirstEmptySpecies() {
    QVERIFY(m_view->LoadStructure(test::sampleStructure(3), work("s.inp")));
    m_view->findChild<QLineEdit*>("IDC_TITLE")->setText("  Two  blanks ");
    m_view->findChild<QLineEdit*>("IDC_BV_B")->setText(" 0.40 A");
    m_view->findChild<CGridListCtrl*>("IDC_LATTICE_LIST")->SetCellText(0, 1, "a");
    sites()->SetCellText(0, 4, "0.2512(3)");
    sites()->SetCellText(0, 5, "");
    sites()->SetCellText(1, 1, "  K1 ");
    sites()->SetCellText(2, 1, " ");
    sites()->SetCellText(3, 1, "Ca9");
    QVERIFY(sites()->BeginCellEdit(1, 2));  // left open: the form must take it
    QTest::keyClicks(sites()->findChild<QLineEdit*>("IDC_CELL_EDIT"), "1+");

    QVERIFY(m_view->ReadForm());
    const CrystalStructure& read = m_view->Structure();
    QCOMPARE(QString::asprintf("%s|%d|%g %g|%s %g|%g|%g", read.title.c_str(), read.siteCount(),
                               read.sites[0].x, read.sites[0].y, read.sites[1].name.c_str(),
                               read.sites[1].charge, read.cell[0], m_view->CurrentSettings().bvB),
             QStringLiteral("  Two  blanks |2|0.2512 0.5|K1 1|5.6402|0.4"));

    for (int row = 0; row <= MaxSites; ++row) sites()->SetCellText(row, 1, "Na");
    m_view->OnCalculation();
    QCOMPARE(m_messages, QStringList{"  Number of species exceeds over 80 !!!"});
    QCOMPARE(m_view->Structure().siteCount(), 2);
    QVERIFY(!fs::exists(work("Tarnell.$$$")));
}

void KestrinCommandsTest::calculationRunsTheEngineOnTheEditedFormAndOpensTheReport() {
    QVERIFY(m_view->OpenStructureFile(ReaderMode::MorvekListing,
                                      (Examples + "forsterite.lst").toStdString()));
    const char* valences[] = {"2", "2", "4", "-2", "-2", "-2"};
    for (int row = 0; row < 6; ++row) sites()->SetCellText(row, 2, valences[row]);
    m_view->findChild<QLineEdit*>("IDC_DMAX")->setText("3.2");

    m_view->OnCalculation();
    QCOMPARE(m_messages, QStringList());
    const QStringList input = lines(work("Tarnell.$$$"));
    QCOMPARE(input.mid(1, 1) + input.mid(12, 1) + input.mid(23, 1),
             (QStringList{"Forsterite Mg2SiO4, P n m a axes",
                          "  Mg1    1.00000   0.00000   0.00000   0.00000   2.00000   3.00000",
                          "                   0.00004   0.00007   0.00008"}));
    const QStringList settings = lines(work("Tarnell.ini"));
    QCOMPARE(settings.mid(5, 1) + settings.mid(7, 4),
             (QStringList{"BV-B       =0.370", "D-max      =3.200", "D-min      =0.500",
                          "H-max      =1", "H-min      =-1"}));
    // The sums of the engine's own end-to-end check of forsterite.
    const QString report = lines(work("Tarnell.out")).join('\n');
    QVERIFY2(report.contains("  Mg1 :\n    1  BVS = 2.0314( 0.0009)  CN = 6") &&
                 report.contains("  Si1 :\n    1  BVS = 3.8840( 0.0026)  CN = 4"),
             qPrintable(report));
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
             "  Error !!! Tarnell.ini file not found.\n  Error !!!   SpgraFile not found.\nOk?\n");
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

    // The form stays usable and the next run goes through. While the engine runs, the status
    // bar shows its lines, and New by key or by button does nothing.
    writeScript("Tarnell",
                "echo '!!! Now calculating .... '\nsleep 1\necho report > \"$3\"\n"
                "echo '  Calculation completed !'\n");
    m_frame->show();
    m_messages.clear();
    QString shownWhileRunning;
    QTimer::singleShot(300, m_frame.get(), [&] {
        shownWhileRunning = m_frame->statusBar()->currentMessage();
        QTest::keyClick(m_frame.get(), Qt::Key_N, Qt::ControlModifier);
        QTest::mouseClick(m_frame->findChild<QToolBar*>()->widgetForAction(
                              m_frame->findChild<QAction*>("ID_FILE_NEW")),
                          Qt::LeftButton);
    });
    m_view->OnCalculation();
    QCOMPARE(shownWhileRunning, QStringLiteral("!!! Now calculating ...."));
    QCOMPARE(m_frame->statusBar()->currentMessage(), QStringLiteral("Calculation completed !"));
    QVERIFY(m_view->IsLoaded() && m_messages.isEmpty());
    QTRY_VERIFY(fs::exists(work("editor.log")));  // before the folder goes
}

void KestrinCommandsTest::reportIsShownAndSavedAndHelpOpens() {
    m_view->OnShowResults();
    m_view->OnFileSaveAs();  // no report: no dialog either
    m_view->OnHelpHtml();
    QCOMPARE(m_messages,
             (QStringList{"Output file cannot open !!!!", "Output file cannot open !!!!",
                          "Cannot execute html file !!!"}));
    const std::string report = "line\r\n" + std::string(300, 'x') + "\n\xE9 no end";
    test::writeTextFile(work("Tarnell.out"), report);
    test::writeTextFile(work("KestrinHelp.html"), "<html></html>\n");
    m_view->OnHelpHtml();
    for (const char* editor : {"", "/no/such/editor -n"}) {
        makeView(editor);
        m_view->OnShowResults();
    }
    QCOMPARE(m_urls, (QStringList{workText("KestrinHelp.html"), workText("Tarnell.out")}));
    QVERIFY(m_messages.value(3).startsWith("  Editor /no/such/editor -n cannot be started ("));

    fs::create_directory(work("saved"));
    answerFileDialog(workText("saved/forsterite"));
    m_view->OnFileSaveAs();
    QCOMPARE(m_offered, (QStringList{"Text file (*.txt)", "Other file (*.*)", "txt"}));
    QFile copy(workText("saved/forsterite.txt"));
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll().toStdString(), report);
    // The chosen folder is gone by the time the copy is made.
    fs::create_directory(work("gone"));
    answerFileDialog(workText("gone/report.txt"), [this] { fs::remove(work("gone")); });
    m_view->OnFileSaveAs();
    QCOMPARE(m_messages.mid(4),
             QStringList{"  " + workText("gone/report.txt") + " file cannot be created !!!\n"});
    QVERIFY(!fs::exists(work("gone")));
}

}  // namespace tarnell

QTEST_MAIN(tarnell::KestrinCommandsTest)
#include "kestrin_commands_test.moc"
