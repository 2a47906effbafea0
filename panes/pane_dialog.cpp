#include "panes/pane_dialog.h"

#include <QContextMenuEvent>
#include <QKeyEvent>

CPaneDialog::CPaneDialog(int templateId, QWidget* parent) : CTemplateDialog(templateId, parent) {}

void CPaneDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            CTemplateDialog::keyPressEvent(event);
    }
}

void CPaneDialog::contextMenuEvent(QContextMenuEvent* event) {
    event->ignore();
}
