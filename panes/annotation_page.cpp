#include "panes/annotation_page.h"

#include <QEvent>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "album/album_image.h"
#include "album/album_rules.h"
#include "edit/album_document.h"
#include "res/resource.h"
#include "ui/text_boxes.h"
#include "ui/unshown_characters_note.h"

CAnnotationPage::CAnnotationPage(QWidget* parent) : CPicturePage(IDD_ANNOTATION_PAGE, parent) {}

void CAnnotationPage::DoDataExchange(CDataExchange& dx) {
    DDX_Control(dx, IDC_PICTURE_TITLE, m_title);
    DDX_Control(dx, IDC_PICTURE_NOTE, m_note);
}

void CAnnotationPage::OnInitDialog() {
    // Undo and Redo are the album's, not the boxes' own; a new visit starts a new step.
    LeaveUndoToWindow(m_title);
    LeaveUndoToWindow(m_note);
    // Longer texts would make a record the handheld cannot load.
    m_title->setMaxLength(static_cast<int>(kLongestTitleText));
    LimitPlainText(m_note, static_cast<int>(kLongestNoteText));
    m_title->installEventFilter(this);
    // Characters the handheld cannot show are named under the box that holds them.
    new CUnshownCharactersNote(m_title);
    new CUnshownCharactersNote(m_note);
    m_note->installEventFilter(this);
    connect(m_title, &QLineEdit::textChanged, this, [this](const QString& text) {
        CAlbumImage value;
        value.m_title = text.toStdString();
        StoreControls(kFieldTitle, value);
    });
    connect(m_note, &QPlainTextEdit::textChanged, this, [this] {
        CAlbumImage value;
        value.m_note = m_note->toPlainText().toStdString();
        StoreControls(kFieldNote, value);
    });
}

bool CAnnotationPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && Document() != nullptr) {
        Document()->BreakMerge();
    }
    return CPicturePage::eventFilter(watched, event);
}

void CAnnotationPage::FillControls(const CAlbumImage* entry) {
    const QString title = entry != nullptr ? QString::fromStdString(entry->m_title) : QString();
    const QString note = entry != nullptr ? QString::fromStdString(entry->m_note) : QString();
    // Text already shown stays untouched, so that the cursor keeps its place while typing.
    if (m_title->text() != title) {
        m_title->setText(title);
    }
    if (m_note->toPlainText() != note) {
        m_note->setPlainText(note);
    }
}
