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
    void editsCellsInPlace();
    void typingOpensTheCurrentCellAndTabWalksTheCells();

private:
    QRect cellRect(int row, int column) const {
        return m_grid->visualRect(m_grid->model()->index(row, column));
    }
    void click(int row, int column) {
        QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {}, cellRect(row, column).center());
    }
    void open(int row, int column) { click(row, column), click(row, column); }
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
        for (int column = 0; column < 3; ++column)
            m_grid->SetCellText(row, column, QStringLiteral("%1,%2").arg(row).arg(column));
    }
    m_window->resize(300, 200);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
}

void GridListCtrlTest::editsCellsInPlace() {
    // Enter stores what was typed and Escape keeps the old text; either way the row is selected
    // again and the keyboard stays in the grid.
    for (const auto& [row, column, key, stored] :
         {std::tuple{2, 1, Qt::Key_Return, "0.42"}, std::tuple{3, 2, Qt::Key_Escape, "3,2"}}) {
        click(row, column);
        QCOMPARE(selectedRow(), row);
        QVERIFY(!editor()->isVisible());  // the first click only selects the row
        click(row, column);
        QVERIFY(editor()->isVisible());
        QTest::keyClicks(editor(), "0.42");
        QTest::keyClick(editor(), key);
        QCOMPARE(m_grid->CellText(row, column), QString(stored));
        QVERIFY(!m_grid->IsEditing() && !editor()->isVisible() && m_grid->hasFocus());
        QCOMPARE(selectedRow(), row);
    }

    // Leaving the cell stores its text, an empty one too, for another row or another control.
    open(0, 2);
    QTest::keyClicks(editor(), "Fe3+");
    click(4, 1);
    QCOMPARE(m_grid->CellText(0, 2), QStringLiteral("Fe3+"));
    click(4, 1);  // the click that stored it selected its own row: this one opens a cell
    QTest::keyClick(editor(), Qt::Key_Backspace);
    QTest::mouseClick(m_other, Qt::LeftButton);
    QCOMPARE(m_grid->CellText(4, 1), QString());

    // The editor follows its cell when the grid scrolls or the cell moves right.
    open(2, 2);
    const int before = editor()->y();
    m_grid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QVERIFY(editor()->y() < before);
    m_grid->setColumnWidth(0, 200);
    QCOMPARE(editor()->pos(), cellRect(2, 2).topLeft() - QPoint(0, 1));
}

// Typing starts an edit without F2; Tab stores the cell and opens the next one, over the rows,
// Shift+Tab the one before; past the last editable cell the keyboard leaves the grid.
void GridListCtrlTest::typingOpensTheCurrentCellAndTabWalksTheCells() {
    m_grid->SetFirstTabColumn(1);
    m_grid->SetEditableRowCount(3);
    click(1, 2);
    QTest::keyClick(m_grid, Qt::Key_7);
    QVERIFY(editor()->hasFocus());
    QTest::keyClicks(editor(), ".5");
    QVERIFY(m_grid->IsEditing() && editor()->text() == "7.5");
    QTest::keyClick(editor(), Qt::Key_Tab);
    QCOMPARE(m_grid->CellText(1, 2), QStringLiteral("7.5"));
    QVERIFY(m_grid->IsEditing());
    QCOMPARE(editor()->text(), QStringLiteral("2,1"));  // the next row from its first column
    QTest::keyClicks(editor(), "x");
    QTest::keyClick(editor(), Qt::Key_Backtab);
    QCOMPARE(m_grid->CellText(2, 1), QStringLiteral("x"));
    QCOMPARE(editor()->text(), QStringLiteral("7.5"));
    QTest::keyClick(editor(), Qt::Key_Escape);
    // Past the last editable cell: the next control.
    QVERIFY(m_grid->BeginCellEdit(2, 2));
    QTest::keyClick(editor(), Qt::Key_Tab);
    QVERIFY(!m_grid->IsEditing());
    QTRY_VERIFY(m_other->hasFocus());
}

}  // namespace tarnell

QTEST_MAIN(tarnell::GridListCtrlTest)
#include "grid_list_ctrl_test.moc"
