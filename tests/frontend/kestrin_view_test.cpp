// The structure form: its start-up state, the exact texts of a filled form, emptying it, the
// conditions shown from the settings file, and the bound of MaxSites sites.
#include "frontend/kestrin_view.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <memory>

#include "frontend/grid_list_ctrl.h"
#include "frontend/kestrin_app.h"
#include "tests/frontend/kestrin_test_support.h"

namespace tarnell {

class KestrinViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { setUpApplication(); }  // numbers in the C format, as in Kestrin
    void init();
    void startsEmptyWithTheConditionsAndTheTemplateLayout();
    void conditionsNotReadStayEmpty();
    void fillFormWritesTheExactFormats();
    void newEmptiesTheStructureAndClosesAnOpenCell();
    void theFormNeverHoldsMoreSitesThanTheRecord();
    void closingDeletesTheStructureFileForTheEngine();

private:
    void makeView() {
        m_view = std::make_unique<CKestrinView>(m_dir->path(), [this](const std::string& m) {
            m_messages << QString::fromStdString(m);
        });
        m_view->show();
        QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
    }
    QString box(const char* id) const { return m_view->findChild<QLineEdit*>(id)->text(); }
    QStringList conditions() const {  // BV-B, D-max, D-min, H-max, H-min
        return {box("IDC_BV_B"), box("IDC_DMAX"), box("IDC_DMIN"), box("IDC_HMAX"),
                box("IDC_HMIN")};
    }
    CGridListCtrl* lattice() const { return m_view->findChild<CGridListCtrl*>("IDC_LATTICE_LIST"); }
    CGridListCtrl* sites() const { return m_view->findChild<CGridListCtrl*>("IDC_SITE_LIST"); }
    static QStringList texts(const CGridListCtrl* grid, int row) {
        QStringList cells;
        for (int column = 0; column < grid->columnCount(); ++column)
            cells << grid->CellText(row, column);
        return cells;
    }
    void load(int siteCount) {
        QVERIFY(m_view->LoadStructure(test::sampleStructure(siteCount), m_dir->path() / "s.inp"));
    }

    std::unique_ptr<test::WorkDir> m_dir;
    std::unique_ptr<CKestrinView> m_view;
    QStringList m_messages;
};

void KestrinViewTest::init() {
    m_view.reset();
    m_dir = std::make_unique<test::WorkDir>();
    m_messages.clear();
}

void KestrinViewTest::startsEmptyWithTheConditionsAndTheTemplateLayout() {
    makeView();
    QVERIFY(m_messages.isEmpty());
    QVERIFY(!m_view->IsLoaded());
    QCOMPARE(m_view->windowTitle(), QStringLiteral("Kestrin --- [File Name : ]  "));
    QCOMPARE(conditions(), (QStringList{"0.370", " 3.0000", " 0.5000", " 1", "-1"}));
    const QStringList labels{"  a", "  b", "  c", "alpha", "beta", "gamma"};
    QCOMPARE(lattice()->rowCount(), 6);
    for (int row = 0; row < 6; ++row)
        QCOMPARE(texts(lattice(), row), (QStringList{labels[row], "", ""}));
    QCOMPARE(sites()->rowCount(), 160);
    QCOMPARE(texts(sites(), 0), QStringList(8, QString()));

    // The template's proportions: all six lattice rows and all columns in sight at once, and
    // no label cut short or lying under a box.
    QVERIFY(lattice()->rowViewportPosition(5) + lattice()->rowHeight(5) <=
            lattice()->viewport()->height());
    for (CGridListCtrl* grid : {lattice(), sites()}) {
        const int last = grid->columnCount() - 1;
        QVERIFY(grid->columnViewportPosition(last) + grid->columnWidth(last) <=
                grid->viewport()->width());
    }
    for (const QLabel* label : m_view->findChildren<QLabel*>()) {
        QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
        for (const QLineEdit* edit : m_view->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly)) {
            QVERIFY2(!label->geometry().intersects(edit->geometry()), qPrintable(label->text()));
        }
    }
}

void KestrinViewTest::conditionsNotReadStayEmpty() {
    // One message each time, and the form all the same.
    std::filesystem::remove(m_dir->path() / "Tarnell.ini");
    makeView();
    const QString missing = QString::fromStdString((m_dir->path() / "Tarnell.ini").string());
    QCOMPARE(m_messages, QStringList{missing + " not found !!!"});
    QCOMPARE(conditions(), QStringList(5, QString()));

    const QString settings =
        QString::fromStdString(test::shippedSettings()).replace("D-min", "D-low");
    test::writeTextFile(m_dir->path() / "Tarnell.ini", settings.toStdString());
    m_messages.clear();
    makeView();
    QCOMPARE(m_messages, QStringList{"D-min not found !!!\n"});
    QCOMPARE(conditions(), (QStringList{"0.370", " 3.0000", "", "", ""}));
}

void KestrinViewTest::fillFormWritesTheExactFormats() {
    makeView();
    CrystalStructure structure = test::sampleStructure(12);
    structure.title = "Na\xE9 borate";  // Latin-1, not UTF-8
    structure.sites[1].charge = -2.0;
    QVERIFY(m_view->LoadStructure(structure, "/data/sample.inp"));
    QVERIFY(m_view->IsLoaded());
    QCOMPARE(m_view->windowTitle(), QStringLiteral("Kestrin --- [File Name : /data/sample.inp ]"));

    const QStringList boxes{box("IDC_TITLE"), box("IDC_SG_NAME"), box("IDC_SG_NUMBER"),
                            box("IDC_SETTING_NUMBER")};
    QCOMPARE(boxes,
             (QStringList{QStringLiteral(u"Na\u00E9 borate"), "P 1 21/c 1", "   14", "    1"}));
    QCOMPARE(texts(lattice(), 0), (QStringList{"  a", " 5.64020", " 0.00010"}));
    QCOMPARE(texts(lattice(), 4), (QStringList{"beta", "101.50000", " 0.01000"}));
    QCOMPARE(texts(sites(), 0), (QStringList{" 1", "Na1", "2.0000", "1.00000", "0.25000", "0.50000",
                                             "0.75000", "3.00"}));
    QCOMPARE(sites()->CellText(1, 2), QStringLiteral("-2.0000"));
    QCOMPARE(sites()->CellText(11, 0), QStringLiteral("12"));
    QCOMPARE(texts(sites(), 12), QStringList(8, QString()));
}

void KestrinViewTest::newEmptiesTheStructureAndClosesAnOpenCell() {
    makeView();
    load(3);
    m_view->findChild<QLineEdit*>("IDC_BV_B")->setText("0.400");  // as the user typed it
    const QString caption = m_view->windowTitle();
    QVERIFY(sites()->BeginCellEdit(0, 1));
    QTest::keyClicks(sites()->findChild<QLineEdit*>("IDC_CELL_EDIT"), "K1");

    m_view->OnFileNew();
    // The cell that was open must not come back when it loses the focus.
    QTest::mouseClick(m_view->findChild<QLineEdit*>("IDC_TITLE"), Qt::LeftButton);
    QVERIFY(!m_view->IsLoaded());
    QCOMPARE(m_view->windowTitle(), caption);
    QCOMPARE(conditions(), (QStringList{"0.400", " 3.0000", " 0.5000", " 1", "-1"}));
    QCOMPARE(
        box("IDC_TITLE") + box("IDC_SG_NAME") + box("IDC_SG_NUMBER") + box("IDC_SETTING_NUMBER"),
        QString());
    QCOMPARE(texts(lattice(), 5), (QStringList{"gamma", "", ""}));
    QCOMPARE(texts(sites(), 0), QStringList(8, QString()));
}

void KestrinViewTest::theFormNeverHoldsMoreSitesThanTheRecord() {
    makeView();
    // Rows past MaxSites are there to see, but a click neither selects nor opens them.
    sites()->scrollToItem(sites()->item(MaxSites, 1));
    const QPoint greyed = sites()->visualItemRect(sites()->item(MaxSites, 1)).center();
    QTest::mouseClick(sites()->viewport(), Qt::LeftButton, {}, greyed);
    QTest::mouseClick(sites()->viewport(), Qt::LeftButton, {}, greyed);
    QVERIFY(sites()->selectedItems().isEmpty());
    QVERIFY(!sites()->IsEditing());
    QVERIFY(!sites()->BeginCellEdit(159, 7));
    QVERIFY(sites()->BeginCellEdit(MaxSites - 1, 1));

    load(MaxSites);
    QCOMPARE(sites()->CellText(MaxSites - 1, 0), QStringLiteral("80"));
    const QString caption = m_view->windowTitle();
    QVERIFY(!m_view->LoadStructure(test::sampleStructure(MaxSites + 1), "/data/over.inp"));
    QVERIFY(m_view->IsLoaded());
    QCOMPARE(m_view->windowTitle(), caption);
}

void KestrinViewTest::closingDeletesTheStructureFileForTheEngine() {
    makeView();
    test::writeTextFile(m_dir->path() / "Tarnell.$$$", "structure\n");
    test::writeTextFile(m_dir->path() / "Tarnell.out", "report\n");
    m_view.reset();
    QVERIFY(!std::filesystem::exists(m_dir->path() / "Tarnell.$$$"));
    QVERIFY(std::filesystem::exists(m_dir->path() / "Tarnell.out"));
}

}  // namespace tarnell

QTEST_MAIN(tarnell::KestrinViewTest)
#include "kestrin_view_test.moc"
