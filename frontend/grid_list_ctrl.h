// A table whose cells the user edits in place: a click on a cell of the selected row lays a
// one-line editor over that cell. The cell texts are the data; nothing typed is checked here,
// because the form reads the texts only when a calculation starts.
#pragma once

#include <QTableWidget>

namespace tarnell {

class CCellEdit;

class CGridListCtrl : public QTableWidget {
    Q_OBJECT

public:
    explicit CGridListCtrl(QWidget* parent = nullptr);

    // Gives the grid `count` rows of empty cells, dropping whatever it held.
    void ResetRows(int count);
    // Rows from `count` on are shown greyed and can be neither selected nor edited.
    void SetEditableRowCount(int count);
    int EditableRowCount() const { return m_editableRows; }
    // Tab walks from cell to cell over the columns from `column` on: the ones before it name
    // their rows.
    void SetFirstTabColumn(int column) { m_firstTabColumn = column; }

    QString CellText(int row, int column) const;
    void SetCellText(int row, int column, const QString& text);

    bool IsEditing() const { return m_editing; }

    // Opens the editor over the cell with the cell's whole text selected; false, and nothing
    // opened, for a cell that cannot be edited.
    bool BeginCellEdit(int row, int column);
    // Closes the editor; the cell keeps its old text.
    void EndCellEdit();
    // Closes the editor and stores its text in the cell, an empty text like any other.
    void CommitCellEdit();

signals:
    // The user stored a text in a cell that differs from the one it held.
    void cellCommitted(int row, int column);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // The cell under `point` (viewport coordinates) when it lies in the selected row.
    QModelIndex HitTestCell(const QPoint& point) const;
    void StyleRow(int row);
    void PlaceEditor();
    void SelectEditedRow();
    void OnTab(bool next);

    bool m_editing = false;
    CCellEdit* m_edit;
    int m_row = -1;  // the cell being edited, afterwards the cell of the last edit
    int m_col = -1;
    int m_editableRows;
    int m_firstTabColumn = 0;
};

}  // namespace tarnell
