#include "frontend/grid_list_ctrl.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>
#include <limits>

#include "frontend/cell_edit.h"
#include "frontend/grid_item_style.h"

namespace tarnell {

CGridListCtrl::CGridListCtrl(QWidget* parent)
    : QTableWidget(parent), m_editableRows(std::numeric_limits<int>::max()) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Qt's own editors stay off: every edit goes through the cell editor below.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    // Tab leaves the grid for the next control instead of walking through its cells.
    setTabKeyNavigation(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    auto* style = new CGridItemStyle();
    style->setParent(this);
    setStyle(style);

    m_edit = new CCellEdit(this, viewport());
    m_edit->hide();
    connect(m_edit, &CCellEdit::focusLost, this, &CGridListCtrl::CommitCellEdit);
    connect(m_edit, &CCellEdit::tabbed, this, &CGridListCtrl::OnTab);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
        if (m_editing) PlaceEditor();
    });
}

void CGridListCtrl::ResetRows(int count) {
    EndCellEdit();
    m_row = m_col = -1;
    setRowCount(0);
    setRowCount(count);
    for (int row = 0; row < count; ++row) {
        for (int column = 0; column < columnCount(); ++column) {
            setItem(row, column, new QTableWidgetItem());
        }
        StyleRow(row);
    }
}

void CGridListCtrl::SetEditableRowCount(int count) {
    m_editableRows = count;
    for (int row = 0; row < rowCount(); ++row) StyleRow(row);
}

void CGridListCtrl::StyleRow(int row) {
    const bool editable = row < m_editableRows;
    for (int column = 0; column < columnCount(); ++column) {
        QTableWidgetItem* cell = item(row, column);
        if (!cell) continue;
        cell->setFlags(editable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags);
        cell->setBackground(editable ? QBrush() : palette().brush(QPalette::Window));
    }
}

QString CGridListCtrl::CellText(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text() : QString();
}

void CGridListCtrl::SetCellText(int row, int column, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return;
    if (QTableWidgetItem* cell = item(row, column)) {
        cell->setText(text);
        return;
    }
    setItem(row, column, new QTableWidgetItem(text));
    StyleRow(row);
}

QModelIndex CGridListCtrl::HitTestCell(const QPoint& point) const {
    const QModelIndex cell = indexAt(point);
    if (!cell.isValid() || !selectionModel()->isRowSelected(cell.row(), QModelIndex())) {
        return QModelIndex();
    }
    return cell;
}

bool CGridListCtrl::BeginCellEdit(int row, int column) {
    if (row < 0 || row >= rowCount() || row >= m_editableRows || column < 0 ||
        column >= columnCount()) {
        return false;
    }
    CommitCellEdit();
    m_editing = true;
    m_row = row;
    m_col = column;

    // The row is only focused while its cell is open, so that its highlight does not frame the
    // editor; Enter and Escape select it again.
    const QModelIndex cell = model()->index(row, column);
    selectionModel()->setCurrentIndex(cell, QItemSelectionModel::NoUpdate);
    clearSelection();
    scrollTo(cell);
    PlaceEditor();

    m_edit->setText(CellText(row, column));
    m_edit->selectAll();
    m_edit->show();
    m_edit->setFocus(Qt::OtherFocusReason);
    return true;
}

void CGridListCtrl::EndCellEdit() {
    if (!m_editing) return;
    // Cleared first: the focus loss that closing the editor causes must not store anything.
    m_editing = false;
    // Keeps the keyboard in this grid rather than letting it move on to the next control.
    if (m_edit->hasFocus()) setFocus(Qt::OtherFocusReason);
    m_edit->hide();
}

void CGridListCtrl::CommitCellEdit() {
    if (!m_editing) return;
    const QString text = m_edit->text();
    EndCellEdit();
    if (text == CellText(m_row, m_col)) return;
    SetCellText(m_row, m_col, text);
    emit cellCommitted(m_row, m_col);
}

void CGridListCtrl::SelectEditedRow() {
    if (m_row < 0 || m_row >= rowCount()) return;
    setCurrentCell(m_row, m_col, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void CGridListCtrl::OnTab(bool next) {
    const int first = std::min(m_firstTabColumn, columnCount() - 1);
    int row = m_row, column = m_col + (next ? 1 : -1);
    if (column >= columnCount()) ++row, column = first;
    if (column < first) --row, column = columnCount() - 1;
    CommitCellEdit();
    // Past the first or the last editable cell the keyboard leaves the grid, as Tab does.
    if (row < 0 || row >= std::min(rowCount(), m_editableRows)) {
        SelectEditedRow();
        QWidget::focusNextPrevChild(next);
        return;
    }
    BeginCellEdit(row, column);
}

void CGridListCtrl::PlaceEditor() {
    QRect cell = visualRect(model()->index(m_row, m_col));
    // A little taller than the row, so that the box's frame does not eat into the text.
    cell.adjust(0, -1, 0, 3);
    m_edit->setGeometry(cell);
}

void CGridListCtrl::mousePressEvent(QMouseEvent* event) {
    // A click elsewhere in the grid ends the open edit, whether or not the click takes the
    // focus from the editor.
    CommitCellEdit();
    if (event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier) {
        const QModelIndex cell = HitTestCell(event->position().toPoint());
        if (cell.isValid() && BeginCellEdit(cell.row(), cell.column())) {
            event->accept();
            return;
        }
    }
    QTableWidget::mousePressEvent(event);
}

void CGridListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    // The first click of a double click has selected the row; the second one opens the cell.
    CommitCellEdit();
    if (event->button() == Qt::LeftButton) {
        const QModelIndex cell = HitTestCell(event->position().toPoint());
        if (cell.isValid() && BeginCellEdit(cell.row(), cell.column())) {
            event->accept();
            return;
        }
    }
    QTableWidget::mouseDoubleClickEvent(event);
}

void CGridListCtrl::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            CommitCellEdit();
            SelectEditedRow();
            return;
        case Qt::Key_Escape:
            EndCellEdit();
            SelectEditedRow();
            return;
        case Qt::Key_F2:
            // The keyboard's way into the current cell, as in other tables of the desktop.
            if (currentIndex().isValid())
                BeginCellEdit(currentIndex().row(), currentIndex().column());
            return;
        default:
            // Typing into the current cell opens it with what was typed, as spreadsheets do.
            if (!event->text().isEmpty() && event->text().at(0).isPrint() &&
                !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
                currentIndex().isValid() &&
                BeginCellEdit(currentIndex().row(), currentIndex().column())) {
                m_edit->setText(event->text());
                return;
            }
            QTableWidget::keyPressEvent(event);
    }
}

void CGridListCtrl::scrollContentsBy(int dx, int dy) {
    QTableWidget::scrollContentsBy(dx, dy);
    if (m_editing) PlaceEditor();
}

}  // namespace tarnell
