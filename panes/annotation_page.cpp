#include "panes/annotation_page.h"

#include <QLineEdit>
#include <QPlainTextEdit>

#include "res/resource.h"

CAnnotationPage::CAnnotationPage(QWidget* parent) : CPaneDialog(IDD_ANNOTATION_PAGE, parent) {}

void CAnnotationPage::DoDataExchange(CDataExchange& dx) {
    DDX_Control(dx, IDC_PICTURE_TITLE, m_title);
    DDX_Control(dx, IDC_PICTURE_NOTE, m_note);
}

void CAnnotationPage::ClearText() {
    m_note->clear();
    m_title->clear();
}
