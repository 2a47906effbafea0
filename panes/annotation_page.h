#pragma once

#include "panes/pane_dialog.h"

class CPreviewPane;
class QLineEdit;
class QPlainTextEdit;

// The Annotation page: the shown picture's title and note. They reach the picture's entry when
// the preview stores the pages' values (before another picture is shown, before each
// conversion and before a save).
class CAnnotationPage : public CPaneDialog {
    Q_OBJECT
public:
    explicit CAnnotationPage(QWidget* parent = nullptr);

    void SetOwner(CPreviewPane* owner) { m_owner = owner; }
    // Both boxes empty.
    void ClearText();

    QLineEdit* TitleBox() const { return m_title; }
    QPlainTextEdit* NoteBox() const { return m_note; }

protected:
    void DoDataExchange(CDataExchange& dx) override;

private:
    CPreviewPane* m_owner = nullptr;
    QLineEdit* m_title = nullptr;
    QPlainTextEdit* m_note = nullptr;
};
