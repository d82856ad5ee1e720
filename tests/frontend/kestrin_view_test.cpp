// Kestrin's window and its form: the start-up state and layout, the conditions shown from the
// settings file, the exact texts of a filled form, New from its key and its button, the bound of
// MaxSites sites, the commands that a structure enables, and the grids that grow with the window.
#include "frontend/kestrin_view.h"

#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QToolBar>

#include "frontend/kestrin_app.h"
#include "tests/frontend/kestrin_test_support.h"

namespace tarnell {

class KestrinViewTest : public QObject, test::KestrinWindow {
    Q_OBJECT

private slots:
    void initTestCase() {
        setUpApplication();                        // numbers in the C format, as in Kestrin
        QStandardPaths::setTestModeEnabled(true);  // the recent files stay out of ~/.config
    }
    void init() { m_dir = std::make_unique<test::WorkDir>(); }
    void cleanup() { closeWindows(); }
    void startsEmptyWithTheConditionsAndTheTemplateLayout();
    void conditionsNotReadStayEmpty();
    void fillFormShowsTheExactFormatsAndNewEmptiesIt();
    void gridsGrowWithTheWindowAndTheStructureFileForTheEngineGoesWithIt();

private:
    void show() {
        m_messages.clear();
        makeWindow(m_dir->path());
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));
    }
    QToolBar* toolBar() const { return m_frame->findChild<QToolBar*>(); }
    // Which of Save as, Calculation and Show Results are enabled, in the menu and on the
    // tool bar alike.
    QStringList enabledCommands() const {
        QStringList enabled;
        for (const char* id : {"ID_FILE_SAVE_AS", "ID_EXECUTE_CALCULATION", "ID_VIEW_RESULTS"}) {
            const bool button = toolBar()->widgetForAction(command(id))->isEnabled();
            if (command(id)->isEnabled() != button) enabled << "menu and button differ";
            if (button) enabled << id;
        }
        return enabled;
    }
    QStringList conditions() const {  // BV-B, D-max, D-min, H-max, H-min
        return {box("IDC_BV_B"), box("IDC_DMAX"), box("IDC_DMIN"), box("IDC_HMAX"),
                box("IDC_HMIN")};
    }
    static QStringList texts(const CGridListCtrl* grid, int row) {
        QStringList cells;
        for (int column = 0; column < grid->columnCount(); ++column)
            cells << grid->CellText(row, column);
        return cells;
    }

    std::unique_ptr<test::WorkDir> m_dir;
};

void KestrinViewTest::startsEmptyWithTheConditionsAndTheTemplateLayout() {
    show();
    QCOMPARE(enabledCommands(), QStringList());
    QCOMPARE(conditions(), (QStringList{"0.370", " 3.5000", " 0.5000", " 1", "-1"}));

    // The template's proportions: all six lattice rows and all columns in sight at once, and
    // no label cut short or lying under a box.
    QVERIFY(lattice()->rowViewportPosition(5) + lattice()->rowHeight(5) <=
            lattice()->viewport()->height());
    for (CGridListCtrl* grid : {lattice(), sites()}) {
        const int last = grid->columnCount() - 1;
        QVERIFY(grid->columnViewportPosition(last) + grid->columnWidth(last) <=
                grid->viewport()->width());
    }
    auto* apply = m_view->findChild<QPushButton*>("applyDMax");
    QList<QWidget*> fields{apply};
    for (QWidget* box : m_view->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly)) fields << box;
    for (const QLabel* label : m_view->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
        for (const QWidget* field : fields)
            QVERIFY2(!label->geometry().intersects(field->geometry()), qPrintable(label->text()));
    }
    // The button's two lines fit it, and it stays within the conditions' group.
    QVERIFY(apply->sizeHint().width() <= apply->width() + 8 &&
            apply->sizeHint().height() <= apply->height() + 8);
    QVERIFY(apply->geometry().bottom() < m_view->height());

    // Every row of the empty form takes a site, the last one too.
    QCOMPARE(sites()->rowCount(), 160);
    QVERIFY(sites()->BeginCellEdit(159, 7));
}

void KestrinViewTest::conditionsNotReadStayEmpty() {
    // One message each time, and the window all the same.
    std::filesystem::remove(m_dir->path() / "Tarnell.ini");
    show();
    const QString missing = QString::fromStdString((m_dir->path() / "Tarnell.ini").string());
    QCOMPARE(m_messages, QStringList{missing + " not found !!!"});
    QCOMPARE(conditions(), QStringList(5, QString()));

    const QString settings =
        QString::fromStdString(test::shippedSettings()).replace("D-min", "D-low");
    test::writeTextFile(m_dir->path() / "Tarnell.ini", settings.toStdString());
    show();
    QCOMPARE(m_messages, QStringList{"D-min not found !!!\n"});
    QCOMPARE(conditions(), (QStringList{"0.370", " 3.5000", "", "", ""}));
}

void KestrinViewTest::fillFormShowsTheExactFormatsAndNewEmptiesIt() {
    show();
    CrystalStructure structure = test::sampleStructure(12);
    structure.title = "Na\xE9 borate";  // Latin-1, not UTF-8
    structure.sites[1].charge = -2.0;
    const QString caption = QStringLiteral("Kestrin --- [File Name : /data/sample.inp ][*]");
    const QStringList calculation{"ID_EXECUTE_CALCULATION"};
    for (const bool byButton : {false, true}) {  // New from its key, then from its button
        QVERIFY(m_view->LoadStructure(structure, "/data/sample.inp"));
        QCOMPARE(enabledCommands(), calculation);  // no report of this structure yet
        QCOMPARE(m_frame->windowTitle(), caption);
        QCOMPARE(QStringList({box("IDC_TITLE"), box("IDC_SG_NAME"), box("IDC_SG_NUMBER"),
                              box("IDC_SETTING_NUMBER")}),
                 (QStringList{QStringLiteral(u"Na\u00E9 borate"), "P 1 21/c 1", "   14", "    1"}));
        QCOMPARE(texts(lattice(), 4), (QStringList{"beta", "101.50000", " 0.01000"}));
        QCOMPARE(texts(sites(), 0) << sites()->CellText(1, 2),
                 (QStringList{" 1", "Na1", "2.0000", "1.00000", "0.25000", "0.50000", "0.75000",
                              "3.00", "-2.0000"}));
        QCOMPARE(texts(sites(), 12), QStringList(8, QString()));

        field("IDC_BV_B")->setText("0.400");  // as the user typed it
        QVERIFY(sites()->BeginCellEdit(0, 1));
        QTest::keyClicks(sites()->findChild<QLineEdit*>("IDC_CELL_EDIT"), "K1");
        if (byButton)
            QTest::mouseClick(toolBar()->widgetForAction(command("ID_FILE_NEW")), Qt::LeftButton);
        else
            QTest::keyClick(m_frame.get(), Qt::Key_N, Qt::ControlModifier);
        // The cell that was open must not come back when it loses the focus.
        QTest::mouseClick(field("IDC_TITLE"), Qt::LeftButton);
        QCOMPARE(enabledCommands(), QStringList());
        // The form no longer shows the file: the caption names none.
        QCOMPARE(m_frame->windowTitle(), QStringLiteral("Kestrin --- [File Name : ]  [*]"));
        QCOMPARE(conditions(), (QStringList{"0.400", " 3.5000", " 0.5000", " 1", "-1"}));
        QCOMPARE(box("IDC_TITLE") + box("IDC_SG_NAME") + box("IDC_SG_NUMBER") +
                     box("IDC_SETTING_NUMBER") + texts(lattice(), 5).join('|') +
                     texts(sites(), 0).join(QString()),
                 QStringLiteral("gamma||"));
    }

    // The grid grows to a large structure with rows to spare, every site shown and editable,
    // and shrinks back for a small one; past MaxSites the form refuses, showing what it showed.
    QVERIFY(m_view->LoadStructure(test::sampleStructure(1000), "/data/large.inp"));
    QCOMPARE(sites()->rowCount(), 1080);
    QCOMPARE(sites()->CellText(999, 0), QStringLiteral("1000"));
    QVERIFY(sites()->BeginCellEdit(1079, 1));
    sites()->EndCellEdit();
    QVERIFY(m_view->ReadForm());
    QCOMPARE(m_view->Structure().siteCount(), 1000);
    QVERIFY(m_view->LoadStructure(test::sampleStructure(80), "/data/sample.inp"));
    QCOMPARE(sites()->rowCount(), 160);
    QCOMPARE(sites()->CellText(79, 0), QStringLiteral("80"));
    QVERIFY(!m_view->LoadStructure(test::sampleStructure(MaxSites + 1), "/data/over.inp"));
    QCOMPARE(enabledCommands(), calculation);
    QCOMPARE(m_frame->windowTitle(), caption);
}

void KestrinViewTest::gridsGrowWithTheWindowAndTheStructureFileForTheEngineGoesWithIt() {
    show();
    // At its smallest the form keeps the template's layout; larger, the site grid takes the
    // room and the conditions stay at the bottom, the same distance below it.
    m_frame->resize(m_frame->minimumSize());
    QTRY_COMPARE(m_view->size(), m_view->minimumSize());
    auto* conditions = m_view->findChild<QWidget*>("IDC_DMAX");
    const QRect grid = sites()->geometry(), limit = conditions->geometry();
    const QRect latticeGrid = lattice()->geometry();
    m_frame->resize(m_frame->size() + QSize(300, 200));
    QTRY_COMPARE(m_view->size(), m_view->minimumSize() + QSize(300, 200));
    QCOMPARE(sites()->geometry(), grid.adjusted(0, 0, 300, 200));
    QCOMPARE(conditions->geometry(), limit.translated(0, 200));
    QCOMPARE(lattice()->geometry(), latticeGrid);
    m_frame->resize(m_frame->minimumSize());
    QTRY_COMPARE(sites()->geometry(), grid);

    test::writeTextFile(m_dir->path() / "Tarnell.$$$", "structure\n");
    test::writeTextFile(m_dir->path() / "Tarnell.out", "report\n");
    m_frame.reset();
    QVERIFY(!std::filesystem::exists(m_dir->path() / "Tarnell.$$$"));
    QVERIFY(std::filesystem::exists(m_dir->path() / "Tarnell.out"));
}

}  // namespace tarnell

QTEST_MAIN(tarnell::KestrinViewTest)
#include "kestrin_view_test.moc"
