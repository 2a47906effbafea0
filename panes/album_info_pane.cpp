#include "panes/album_info_pane.h"

#include <cstring>

#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QValidator>

#include "album/album.h"
#include "album/album_rules.h"
#include "decode/drawing.h"
#include "edit/album_document.h"
#include "panes/album_editor.h"
#include "platform/install_target.h"
#include "res/resource.h"
#include "res/string_table.h"
#include "ui/text_boxes.h"
#include "ui/unshown_characters_note.h"

namespace {

// The album's file is named after its title: typing stops where the name would be cut.
class CFileNameTitle : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        return TitleFitsFileName(input.trimmed().toStdString()) ? Acceptable : Invalid;
    }
};

}  // namespace

CAlbumInfoPane::CAlbumInfoPane(QWidget* parent) : CPaneDialog(IDD_ALBUM_INFO_PANE, parent) {}

void CAlbumInfoPane::DoDataExchange(CDataExchange& dx) {
    DDX_Control(dx, IDC_ALBUM_ICON, m_iconFrame);
    DDX_Control(dx, IDC_ALBUM_TITLE, m_title);
    DDX_Control(dx, IDC_ALBUM_NOTE, m_note);
}

void CAlbumInfoPane::OnInitDialog() {
    m_iconFrame->installEventFilter(this);
    m_title->installEventFilter(this);
    m_note->installEventFilter(this);
    LeaveUndoToWindow(m_title);
    LeaveUndoToWindow(m_note);
    // Longer texts would make a record the handheld cannot load.
    m_title->setMaxLength(static_cast<int>(kLongestTitleText));
    m_title->setValidator(new CFileNameTitle(m_title));
    LimitPlainText(m_note, static_cast<int>(kLongestNoteText));
    m_title->setText(LoadResString(IDS_UNTITLED));
    // A wider pane widens the boxes and the group around them.
    for (QWidget* grows :
         std::initializer_list<QWidget*>{findChild<QGroupBox*>(), m_title, m_note}) {
        m_anchors.Add(grows, CEdgeAnchors::kStretchRight, size());
    }
    // Characters the handheld cannot show are named under the box that holds them.
    new CUnshownCharactersNote(m_title);
    new CUnshownCharactersNote(m_note);
    // The boxes edit the album's own title and note, which the save reads.
    connect(m_title, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_owner != nullptr && !m_showing) {
            m_owner->Document().SetAlbumTitle(text.toStdString());
        }
    });
    connect(m_note, &QPlainTextEdit::textChanged, this, [this] {
        if (m_owner != nullptr && !m_showing) {
            m_owner->Document().SetAlbumNote(m_note->toPlainText().toStdString());
        }
    });
}

void CAlbumInfoPane::resizeEvent(QResizeEvent* event) {
    CPaneDialog::resizeEvent(event);
    m_anchors.Apply(size());
}

void CAlbumInfoPane::SetOwner(CAlbumEditor* owner) {
    m_owner = owner;
    if (owner == nullptr) {
        return;
    }
    connect(&owner->Document(), &CAlbumDocument::albumTextChanged, this,
            &CAlbumInfoPane::ShowAlbumText);
    connect(&owner->Document(), &CAlbumDocument::iconChanged, this, &CAlbumInfoPane::DrawAlbumIcon);
    ShowAlbumText();
}

void CAlbumInfoPane::ShowAlbumText() {
    const CAlbum& album = m_owner->Document().Album();
    const QString title = QString::fromStdString(album.Title());
    const QString note = QString::fromStdString(album.Note());
    m_showing = true;
    // Text already shown stays untouched, so that the cursor keeps its place while typing.
    if (m_title->text() != title) {
        m_title->setText(title);
    }
    if (m_note->toPlainText() != note) {
        m_note->setPlainText(note);
    }
    m_showing = false;
}

bool CAlbumInfoPane::eventFilter(QObject* watched, QEvent* event) {
    // The icon is painted with its frame, above the group box that frames the whole pane.
    if (watched == m_iconFrame && event->type() == QEvent::Paint) {
        OnPaint();
    }
    // A new visit to a box starts a new undo step.
    if ((watched == m_title || watched == m_note) && event->type() == QEvent::FocusIn &&
        m_owner != nullptr) {
        m_owner->Document().BreakMerge();
    }
    return CPaneDialog::eventFilter(watched, event);
}

const CDib& CAlbumInfoPane::Icon() const {
    static const CDib none;
    return m_owner != nullptr ? m_owner->Document().Icon() : none;
}

void CAlbumInfoPane::DrawAlbumIcon() {
    update(IconRect());
    m_iconFrame->update();
}

QRect CAlbumInfoPane::IconRect() const {
    if (m_iconFrame == nullptr) {
        return {};
    }
    const QRect frame = m_iconFrame->geometry();
    return QRect(frame.x() + (frame.width() - kIconSide) / 2,
                 frame.y() + (frame.height() - kIconSide) / 2, kIconSide, kIconSide);
}

void CAlbumInfoPane::OnPaint() {
    const QImage icon = DibToImage(Icon());
    if (icon.isNull()) {
        return;
    }
    QPainter painter(m_iconFrame);
    painter.drawImage(IconRect().topLeft() - m_iconFrame->pos(), icon);
}
