#pragma once

#include "ui/template_layer.h"

// The About box: program name, maker and credits.
class CAboutDlg : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

protected:
    void OnInitDialog() override;
};
