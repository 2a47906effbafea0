#pragma once

#include "ui/template_layer.h"

// The base of the main window's panes: a dialog made from its template inside a frame of
// its parent, where Enter and Esc do nothing (they must neither close it nor reach the main
// window).
class CPaneDialog : public CTemplateDialog {
    Q_OBJECT
public:
    CPaneDialog(int templateId, QWidget* parent);

public slots:
    void accept() override {}
    void reject() override {}

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // The main window's context menu (with the About box) is offered over the panes too.
    void contextMenuEvent(QContextMenuEvent* event) override;
};
