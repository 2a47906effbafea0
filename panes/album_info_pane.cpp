#include "panes/album_info_pane.h"

#include <cstring>

#include <QEvent>
#include <QFrame>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>

#include "album/album.h"
#include "album/picture_preparation.h"
#include "imaging/picture_loader.h"
#include "imaging/drawing.h"
#include "panes/album_editor.h"
#include "res/resource.h"
#include "res/string_table.h"

namespace {
constexpr std::uint8_t kIconBits = 24;
}  // namespace

CAlbumInfoPane::CAlbumInfoPane(QWidget* parent) : CPaneDialog(IDD_ALBUM_INFO_PANE, parent) {}

void CAlbumInfoPane::DoDataExchange(CDataExchange& dx) {
    DDX_Control(dx, IDC_ALBUM_ICON, m_iconFrame);
    DDX_Control(dx, IDC_ALBUM_TITLE, m_title);
    DDX_Control(dx, IDC_ALBUM_NOTE, m_note);
}

void CAlbumInfoPane::OnInitDialog() {
    m_iconFrame->installEventFilter(this);
    // The boxes edit the album's own title and note, which the save reads.
    connect(m_title, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_owner != nullptr) {
            m_owner->Album().SetTitle(text.toStdString());
            m_owner->AlbumChanged();
        }
    });
    connect(m_note, &QPlainTextEdit::textChanged, this, [this] {
        if (m_owner != nullptr) {
            m_owner->Album().SetNote(m_note->toPlainText().toStdString());
            m_owner->AlbumChanged();
        }
    });
    if (!m_icon.Create(kIconSide, kIconSide, kIconBits)) {
        return;  // shown all the same, without its "untitled"
    }
    m_title->setText(LoadResString(IDS_UNTITLED));
    ClearIcon();
}

bool CAlbumInfoPane::eventFilter(QObject* watched, QEvent* event) {
    // The icon is painted with its frame, above the group box that frames the whole pane.
    if (watched == m_iconFrame && event->type() == QEvent::Paint) {
        OnPaint();
    }
    return CPaneDialog::eventFilter(watched, event);
}

void CAlbumInfoPane::ResetAlbumInfo() {
    m_title->setText(LoadResString(IDS_UNTITLED));
    m_note->clear();
    ClearIcon();
    DrawAlbumIcon();
}

bool CAlbumInfoPane::SetIconFromFile(const std::string& path) {
    CPictureLoader loader;
    CDib picture;
    if (!m_icon.IsCreated() || !loader.Open(path) || !loader.RenderToDib(picture) ||
        !MakeIconFromPicture(picture, m_icon)) {
        return false;
    }
    DrawAlbumIcon();
    return true;
}

void CAlbumInfoPane::DrawAlbumIcon() {
    update(IconRect());
}

void CAlbumInfoPane::ClearIcon() {
    if (m_icon.IsCreated()) {
        std::memset(m_icon.Pixels(), 0, m_icon.PixelBytes());
    }
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
    const QImage icon = DibToImage(m_icon);
    if (icon.isNull()) {
        return;
    }
    QPainter painter(m_iconFrame);
    painter.drawImage(IconRect().topLeft() - m_iconFrame->pos(), icon);
}
