// The one-line box that a grid lays over the cell being edited.
#pragma once

#include <QLineEdit>

namespace tarnell {

class CCellEdit : public QLineEdit {
    Q_OBJECT

public:
    // `grid` gets Enter and Escape, so that the grid alone decides what they do to its cell.
    CCellEdit(QWidget* grid, QWidget* parent);

signals:
    // The keyboard focus went elsewhere: another cell, another control or another window.
    void focusLost();
    // Tab (next) or Shift+Tab: the grid moves on to the next or previous cell.
    void tabbed(bool next);

protected:
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QWidget* m_grid;
};

}  // namespace tarnell
