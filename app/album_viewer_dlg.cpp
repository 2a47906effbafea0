#include "app/album_viewer_dlg.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "album/album_rules.h"
#include "album/ansi_text.h"
#include "decode/drawing.h"
#include "platform/album_file_input.h"
#include "platform/system_path.h"
#include "res/resource.h"
#include "res/string_table.h"
#include "ui/resources.h"

namespace {

// The thumbnails' side, shown 1:1 in the list.
constexpr int kThumbnailSide = 32;

// The bitmap of a family a handheld shows on a screen of `depth` bits: the deepest that is
// not deeper than the screen, else the shallowest.
const CPalmBitmapInfo* MemberFor(const std::vector<CPalmBitmapInfo>& family, int depth) {
    const CPalmBitmapInfo* chosen = nullptr;
    for (const CPalmBitmapInfo& member : family) {
        if (member.pixelSize <= depth &&
            (chosen == nullptr || member.pixelSize > chosen->pixelSize)) {
            chosen = &member;
        }
    }
    if (chosen == nullptr) {
        for (const CPalmBitmapInfo& member : family) {
            if (chosen == nullptr || member.pixelSize < chosen->pixelSize) {
                chosen = &member;
            }
        }
    }
    return chosen;
}

// Title and note of a stored text (title, line feed, note), from the handheld's code page.
std::pair<QString, QString> SplitText(const std::string& stored) {
    const QString text = QString::fromStdString(Cp1252ToUtf8(stored));
    const qsizetype lineFeed = text.indexOf(u'\n');
    return lineFeed < 0 ? std::pair{text, QString()}
                        : std::pair{text.left(lineFeed), text.mid(lineFeed + 1)};
}

}  // namespace

CAlbumViewerDlg::CAlbumViewerDlg(QWidget* parent) : QDialog(parent) {
    setWindowIcon(LoadIconResource(IDR_MAINFRAME));
    m_icon = new QLabel(this);
    m_icon->setFixedSize(kIconSide, kIconSide);
    m_title = new QLabel(this);
    m_title->setTextFormat(Qt::PlainText);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_title->setWordWrap(true);  // a long title takes more lines, not a wider window
    m_note = new QLabel(this);
    m_note->setTextFormat(Qt::PlainText);
    m_note->setWordWrap(true);
    m_depths = new QComboBox(this);
    for (const int depth : kScreenDepths) {
        m_depths->addItem(QStringLiteral("%1-bit screen").arg(depth), depth);
    }
    m_list = new QListWidget(this);
    m_list->setIconSize(QSize(kThumbnailSide, kThumbnailSide));
    m_list->setMinimumWidth(240);
    // A title longer than the list is wide ends in "...", rather than widening the rows.
    m_list->setTextElideMode(Qt::ElideRight);
    m_list->setWordWrap(false);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_picture = new QLabel;
    m_picture->setAlignment(Qt::AlignCenter);
    m_view = new QScrollArea(this);
    m_view->setWidget(m_picture);
    m_view->setAlignment(Qt::AlignCenter);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_view->setFrameShape(QFrame::NoFrame);
    // The screen is black around a small picture; the corner between the bars is not screen.
    for (QWidget* screen : {m_view->viewport(), static_cast<QWidget*>(m_picture)}) {
        QPalette black = screen->palette();
        black.setColor(QPalette::Window, Qt::black);
        black.setColor(QPalette::WindowText, Qt::white);
        screen->setPalette(black);
        screen->setAutoFillBackground(true);
    }
    // The handheld's screen, and room for the bars beside and below it.
    const int bar = m_view->verticalScrollBar()->sizeHint().width();
    m_view->setFixedSize(kScreenSide + bar, kScreenSide + bar);
    m_pictureText = new QLabel(this);
    m_pictureText->setTextFormat(Qt::PlainText);
    m_pictureText->setWordWrap(true);
    m_pictureText->setFixedWidth(kScreenSide + bar);

    auto* header = new QHBoxLayout;
    header->addWidget(m_icon, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->addWidget(m_title);
    texts->addWidget(m_note);
    header->addLayout(texts, 1);
    header->addWidget(m_depths, 0, Qt::AlignTop);
    auto* body = new QHBoxLayout;
    body->addWidget(m_list, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(m_view);
    right->addWidget(m_pictureText);
    right->addStretch(1);
    body->addLayout(right);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addLayout(body, 1);

    m_depths->setAccessibleName(QStringLiteral("Screen"));
    m_depths->setAccessibleDescription(QStringLiteral("The handheld screen the album is shown on"));
    m_list->setAccessibleName(QStringLiteral("Pictures"));
    m_list->setAccessibleDescription(QStringLiteral("The album's pictures with their titles"));
    m_view->setAccessibleName(QStringLiteral("Picture"));
    m_view->setAccessibleDescription(QStringLiteral("The chosen picture as the handheld shows it"));
    m_depths->setCurrentIndex(m_depths->findData(m_screenDepth));
    connect(m_depths, &QComboBox::currentIndexChanged, this,
            [this] { SetScreenDepth(m_depths->currentData().toInt()); });
    connect(m_list, &QListWidget::currentRowChanged, this, &CAlbumViewerDlg::ShowPicture);
}

CAlbumViewerDlg::~CAlbumViewerDlg() = default;

bool CAlbumViewerDlg::Open(const QString& path) {
    std::string error;
    if (!LoadAlbumFile(PathToSystem(path), m_album, error)) {
        m_error = QString::fromStdString(error);
        return false;
    }
    setWindowTitle(QFileInfo(path).fileName() + QStringLiteral(" - ") + LoadResString(IDS_CAPTION));
    const auto [title, note] = SplitText(m_album.text);
    m_title->setText(title);
    m_note->setText(note);
    FillList();
    if (!m_album.pictures.empty()) {
        m_list->setCurrentRow(0);
    }
    return true;
}

void CAlbumViewerDlg::SetScreenDepth(int depth) {
    m_screenDepth = depth;
    if (m_depths->currentData().toInt() != depth) {
        m_depths->setCurrentIndex(m_depths->findData(depth));
    }
    const CPalmBitmapInfo* icon = MemberFor(m_album.icon, depth);
    m_icon->setPixmap(icon != nullptr ? QPixmap::fromImage(RgbImageToQImage(icon->image))
                                      : QPixmap());
    for (int row = 0; row < m_list->count() && row < static_cast<int>(m_album.pictures.size());
         ++row) {
        const CPalmBitmapInfo* thumbnail =
            MemberFor(m_album.pictures[static_cast<std::size_t>(row)].thumbnails, depth);
        m_list->item(row)->setIcon(
            thumbnail != nullptr ? QIcon(QPixmap::fromImage(RgbImageToQImage(thumbnail->image)))
                                 : QIcon());
    }
}

void CAlbumViewerDlg::FillList() {
    m_list->clear();
    for (const CAlbumPicture& picture : m_album.pictures) {
        const auto [title, note] = SplitText(picture.text);
        // One line each, a long title ending in "..."; the note is in the tip and below the
        // picture when it is chosen.
        auto* item = new QListWidgetItem(title, m_list);
        const QString size = QStringLiteral("%1 x %2, %3-bit")
                                 .arg(picture.width)
                                 .arg(picture.height)
                                 .arg(picture.depth);
        item->setToolTip(note.isEmpty() ? size : note + QStringLiteral("\n") + size);
    }
    SetScreenDepth(m_screenDepth);
}

void CAlbumViewerDlg::ShowPicture(int index) {
    if (index < 0 || index >= static_cast<int>(m_album.pictures.size())) {
        m_picture->clear();
        m_pictureText->clear();
        return;
    }
    const CAlbumPicture& picture = m_album.pictures[static_cast<std::size_t>(index)];
    CRgbImage image;
    std::string error;
    if (!DecodeStoredImage(picture.image, image, error)) {
        m_picture->setText(QString::fromStdString(error));
        return;
    }
    m_picture->setPixmap(QPixmap::fromImage(RgbImageToQImage(image)));
    m_picture->resize(std::max(image.width, kScreenSide), std::max(image.height, kScreenSide));
    const auto [title, note] = SplitText(picture.text);
    m_pictureText->setText(note.isEmpty() ? title : title + QStringLiteral("\n") + note);
}
