// In-place editing of the form's grids, driven by mouse clicks and key presses as a user makes
// them.
#include "frontend/grid_list_ctrl.h"

#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

namespace tarnell {

class GridListCtrlTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { delete m_window; }
    void clickOnTheSelectedRowOpensTheCellEnterStoresEscapeKeeps();
    void leavingTheCellStoresItsTextEvenWhenEmpty();
    void editorStaysOnItsCellWhenTheGridScrolls();

private:
    QRect cellRect(int row, int column) const {
        return m_grid->visualRect(m_grid->model()->index(row, column));
    }
    void click(int row, int column) {
        QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {}, cellRect(row, column).center());
    }
    void open(int row, int column) {  // a first click selects the row, a second opens the cell
        click(row, column);
        click(row, column);
    }
    QLineEdit* editor() const { return m_grid->findChild<QLineEdit*>("IDC_CELL_EDIT"); }
    int selectedRow() const {
        const QModelIndexList rows = m_grid->selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.first().row() : -1;
    }

    QWidget* m_window = nullptr;
    CGridListCtrl* m_grid = nullptr;
    QLineEdit* m_other = nullptr;
};

void GridListCtrlTest::init() {
    m_window = new QWidget;
    auto* layout = new QVBoxLayout(m_window);
    layout->addWidget(m_grid = new CGridListCtrl);
    layout->addWidget(m_other = new QLineEdit);
    m_grid->setColumnCount(3);
    m_grid->ResetRows(40);
    for (int row = 0; row < 40; ++row) {
        for (int column = 0; column < 3; ++column) {
            m_grid->SetCellText(row, column, QStringLiteral("%1,%2").arg(row).arg(column));
        }
    }
    m_window->resize(300, 200);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
}

void GridListCtrlTest::clickOnTheSelectedRowOpensTheCellEnterStoresEscapeKeeps() {
    click(2, 1);
    QCOMPARE(selectedRow(), 2);
    QVERIFY(!editor()->isVisible());  // the first click only selects the row
    click(2, 1);
    QVERIFY(editor()->isVisible());
    QVERIFY(editor()->geometry().contains(cellRect(2, 1).center()));
    QCOMPARE(editor()->selectedText(), QStringLiteral("2,1"));
    QTest::keyClicks(editor(), "0.42");
    QTest::keyClick(editor(), Qt::Key_Return);
    QCOMPARE(m_grid->CellText(2, 1), QStringLiteral("0.42"));
    QVERIFY(!editor()->isVisible());
    QCOMPARE(selectedRow(), 2);
    QVERIFY(m_grid->hasFocus());

    open(3, 2);
    QTest::keyClicks(editor(), "typed");
    QTest::keyClick(editor(), Qt::Key_Escape);
    QCOMPARE(m_grid->CellText(3, 2), QStringLiteral("3,2"));
    QVERIFY(!m_grid->IsEditing());
    QCOMPARE(selectedRow(), 3);
}

void GridListCtrlTest::leavingTheCellStoresItsTextEvenWhenEmpty() {
    open(0, 2);
    QTest::keyClicks(editor(), "Fe3+");
    click(4, 1);  // another row of the same grid
    QCOMPARE(m_grid->CellText(0, 2), QStringLiteral("Fe3+"));
    QVERIFY(!m_grid->IsEditing());
    QCOMPARE(selectedRow(), 4);

    click(4, 1);
    QTest::keyClick(editor(), Qt::Key_Backspace);
    QTest::mouseClick(m_other, Qt::LeftButton);  // another control
    QVERIFY(m_other->hasFocus());
    QCOMPARE(m_grid->CellText(4, 1), QString());
}

void GridListCtrlTest::editorStaysOnItsCellWhenTheGridScrolls() {
    open(2, 2);
    const int before = editor()->y();
    m_grid->verticalScrollBar()->setValue(1);
    QVERIFY(editor()->y() < before);
    m_grid->setColumnWidth(0, 200);  // the cell moves right, and its editor with it
    QCOMPARE(editor()->pos(), cellRect(2, 2).topLeft() - QPoint(0, 1));
}

}  // namespace tarnell

QTEST_MAIN(tarnell::GridListCtrlTest)
#include "grid_list_ctrl_test.moc"
