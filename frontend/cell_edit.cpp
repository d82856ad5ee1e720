#include "frontend/cell_edit.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>

namespace tarnell {

CCellEdit::CCellEdit(QWidget* grid, QWidget* parent) : QLineEdit(parent), m_grid(grid) {
    setObjectName(QStringLiteral("IDC_CELL_EDIT"));
}

void CCellEdit::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            QCoreApplication::sendEvent(m_grid, event);
            return;
        default:
            QLineEdit::keyPressEvent(event);
    }
}

bool CCellEdit::focusNextPrevChild(bool next) {
    emit tabbed(next);
    return true;
}

void CCellEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // The box's own context menu takes the focus for a moment and gives it back; the edit is
    // not over then.
    if (event->reason() != Qt::PopupFocusReason) emit focusLost();
}

}  // namespace tarnell
