#pragma once

#include "panes/picture_page.h"

class QLineEdit;
class QPlainTextEdit;

// The Annotation page: the shown picture's title and note, stored as they are typed (a run of
// typing is one undo step).
class CAnnotationPage : public CPicturePage {
    Q_OBJECT
public:
    explicit CAnnotationPage(QWidget* parent = nullptr);

    QLineEdit* TitleBox() const { return m_title; }
    QPlainTextEdit* NoteBox() const { return m_note; }

protected:
    void DoDataExchange(CDataExchange& dx) override;
    void OnInitDialog() override;
    void FillControls(const CAlbumImage* entry) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_title = nullptr;
    QPlainTextEdit* m_note = nullptr;
};
