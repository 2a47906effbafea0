#include "app/main_dlg.h"

#include <memory>

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

#include "app/about_dlg.h"
#include "app/help_pages.h"
#include "app/picture_path.h"
#include "platform/system_path.h"
#include "app/run_counter.h"
#include "panes/album_info_pane.h"
#include "panes/image_list_pane.h"
#include "panes/preview_pane.h"
#include "res/resource.h"
#include "ui/resources.h"
#include "res/string_table.h"

namespace {

// The bits of a window command that carry its id.
constexpr int kCommandIdMask = 0xFFF0;

QStringList DroppedFiles(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr) {
        return paths;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            paths << url.toLocalFile();
        }
    }
    return paths;
}

template <class Pane>
Pane* CreatePane(QFrame* frame, CMainDlg* owner) {
    auto* pane = new Pane(frame);
    if (!pane->Create()) {
        qFatal("the %s template is missing", Pane::staticMetaObject.className());
    }
    pane->move(0, 0);  // at the top left corner of its frame
    pane->SetOwner(owner);
    return pane;
}

}  // namespace

CMainDlg::CMainDlg(CInstallLibrary& installLibrary, CShell& shell, QWidget* parent)
    : CTemplateDialog(IDD_TAVELO_DIALOG, parent), m_installLibrary(installLibrary), m_shell(shell) {
    setWindowIcon(LoadIconResource(IDR_MAINFRAME));
}

CMainDlg::~CMainDlg() {
    m_album.Clear();
}

void CMainDlg::DoDataExchange(CDataExchange& dx) {
    DDX_Control(dx, IDC_BANNER, m_banner);
    DDX_Control(dx, IDC_SAVE, m_saveButton);
    DDX_Control(dx, IDC_SEND_TO_HOTSYNC, m_sendButton);
    DDX_Control(dx, IDC_PREVIEW_FRAME, m_previewFrame);
    DDX_Control(dx, IDC_IMAGE_LIST_FRAME, m_imageListFrame);
    DDX_Control(dx, IDC_ALBUM_INFO_FRAME, m_albumInfoFrame);
}

void CMainDlg::OnInitDialog() {
    setWindowTitle(LoadResString(IDS_CAPTION));

    m_bannerIndex = AdvanceRunCounter();
    const QPixmap banner = LoadBitmapResource(BannerBitmapId(m_bannerIndex));
    if (!banner.isNull()) {
        m_banner->setPixmap(banner);
        m_banner->resize(banner.deviceIndependentSize().toSize());
    }
    m_banner->installEventFilter(this);

    setAcceptDrops(true);

    // The frames only reserve the panes' places; their outlines would show as stray lines
    // where a pane is shorter than its frame.
    for (QFrame* frame : {m_previewFrame, m_albumInfoFrame, m_imageListFrame}) {
        frame->setFrameShape(QFrame::NoFrame);
    }
    m_preview = CreatePane<CPreviewPane>(m_previewFrame, this);
    m_albumInfo = CreatePane<CAlbumInfoPane>(m_albumInfoFrame, this);
    m_imageList = CreatePane<CImageListPane>(m_imageListFrame, this);
    EnableEditing(false);
    m_preview->show();
    m_albumInfo->show();
    m_imageList->show();

    // Message map.
    const auto button = [this](int id) { return qobject_cast<QPushButton*>(GetDlgItem(id)); };
    connect(button(IDC_RESET), &QPushButton::clicked, this, &CMainDlg::OnReset);
    connect(button(IDC_USER_GUIDE), &QPushButton::clicked, this, &CMainDlg::OnUserGuide);
    connect(button(IDC_FAQ), &QPushButton::clicked, this, &CMainDlg::OnFaq);
    connect(button(IDC_FREE_REGISTRATION), &QPushButton::clicked, this,
            &CMainDlg::OnFreeRegistration);
}

bool CMainDlg::AddImage(const QString& path) {
    const std::string file = PathToSystem(path);
    if (!HasPictureExtension(file) || m_album.IsFull()) {
        return false;
    }
    auto entry = std::make_unique<CAlbumImage>();
    entry->m_sourcePath = file;
    entry->m_title = PictureTitle(path.toStdString());
    entry->m_sizeLimitWidth = m_preview->SizeLimitWidth();
    entry->m_sizeLimitHeight = m_preview->SizeLimitHeight();
    if (m_album.Append(std::move(entry)) == nullptr) {
        return false;
    }
    if (!m_imageList->AddItem(ListDisplayText(path))) {
        m_album.RemoveAt(m_album.Count() - 1);  // rows and entries stay one to one
        return false;
    }
    EnableEditing(true);
    return true;
}

bool CMainDlg::DeleteImage(std::int16_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= m_album.Count()) {
        return false;
    }
    m_preview->ShowImage(nullptr);
    m_album.RemoveAt(static_cast<std::size_t>(index));
    m_imageList->DeleteItem(index);
    return true;
}

bool CMainDlg::SelectImage(std::int16_t index) {
    CAlbumImage* entry = index >= 0 ? m_album.At(static_cast<std::size_t>(index)) : nullptr;
    if (entry == nullptr) {
        return false;
    }
    m_preview->StoreControls(nullptr);
    m_preview->ShowImage(entry);
    m_preview->SetEditingEnabled(true);
    m_imageList->SelectRow(index);
    return true;
}

bool CMainDlg::SetAlbumIcon(std::int16_t index) {
    const CAlbumImage* entry = index >= 0 ? m_album.At(static_cast<std::size_t>(index)) : nullptr;
    if (entry == nullptr) {
        return false;
    }
    // A picture that cannot be loaded keeps the icon as it is, without a word.
    if (m_albumInfo->SetIconFromFile(entry->m_sourcePath)) {
        m_album.SetIconSource(entry->m_sourcePath);
    }
    return true;
}

void CMainDlg::ResetAll() {
    m_preview->ClearPreview();
    m_albumInfo->ResetAlbumInfo();
    m_imageList->DeleteAllItems();
    m_album.Clear();
    EnableEditing(false);
}

void CMainDlg::ApplySizeLimitToAll(std::int16_t width, std::int16_t height) {
    for (std::size_t i = 0; i < m_album.Count(); ++i) {
        m_album.At(i)->m_sizeLimitWidth = width;
        m_album.At(i)->m_sizeLimitHeight = height;
    }
}

void CMainDlg::ApplyCropToAll(std::uint8_t crop) {
    for (std::size_t i = 0; i < m_album.Count(); ++i) {
        m_album.At(i)->m_crop = crop;
    }
}

void CMainDlg::ApplyColorToAll(std::uint8_t colorDepth, std::int16_t brightness,
                               std::int16_t contrast, std::uint8_t dither) {
    for (std::size_t i = 0; i < m_album.Count(); ++i) {
        CAlbumImage* entry = m_album.At(i);
        entry->m_colorDepth = colorDepth;
        entry->m_brightness = brightness;
        entry->m_contrast = contrast;
        entry->m_dither = dither;
    }
}

bool CMainDlg::EnableEditing(bool enable) {
    const std::int16_t users = m_installLibrary.GetUserCount();
    m_saveButton->setEnabled(enable);
    m_sendButton->setEnabled(enable && users > 0);
    m_preview->SetEditingEnabled(enable);
    m_imageList->EnableItems(enable);
    return enable;
}

void CMainDlg::OnDropFiles(const QStringList& paths) {
    const auto first = static_cast<std::int16_t>(m_album.Count());
    int added = 0;
    for (const QString& path : paths) {
        if (AddImage(path)) {
            ++added;
        }
    }
    if (added == 0) {
        return;
    }
    if (m_imageList->GetSelectionMark() < 0) {
        SetAlbumIcon(0);
    }
    SelectImage(first);
}

void CMainDlg::BringToFront() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

bool CMainDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_banner && event->type() == QEvent::Enter) {
        OnSetCursor();
    }
    return CTemplateDialog::eventFilter(watched, event);
}

void CMainDlg::keyPressEvent(QKeyEvent* event) {
    // Esc would close the window and lose the album: the window closes by its close button.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    CTemplateDialog::keyPressEvent(event);
}

void CMainDlg::mousePressEvent(QMouseEvent* event) {
    CTemplateDialog::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) {
        OnLButtonDown(event->position().toPoint());
    }
}

void CMainDlg::contextMenuEvent(QContextMenuEvent* event) {
    // A window here has no system menu to extend, so the About box is offered here.
    const QString aboutText = LoadResString(IDS_ABOUTBOX);
    if (aboutText.isEmpty()) {
        return;
    }
    QMenu menu(this);
    const QAction* about = menu.addAction(aboutText);
    if (menu.exec(event->globalPos()) == about) {
        OnSysCommand(kIdmAboutBox);
    }
}

void CMainDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void CMainDlg::dropEvent(QDropEvent* event) {
    const QStringList paths = DroppedFiles(event->mimeData());
    if (paths.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    OnDropFiles(paths);
}

void CMainDlg::OnSysCommand(int id) {
    if ((id & kCommandIdMask) == kIdmAboutBox) {
        CAboutDlg about(this);
        about.DoModal();
    }
}

void CMainDlg::OnSetCursor() {
    if (!m_handCursor) {
        m_handCursor = LoadCursorResource(IDC_HAND_CURSOR);
    }
    if (m_handCursor) {
        m_banner->setCursor(*m_handCursor);
    }
}

void CMainDlg::OnLButtonDown(const QPoint& position) {
    if (m_banner->geometry().contains(position)) {
        (void)OpenHyperlink(LoadResString(BannerLinkId(m_bannerIndex)).toStdString(), kShowNormal,
                            m_shell);
    }
}

void CMainDlg::OnReset() {
    ResetAll();
}

void CMainDlg::OnUserGuide() {
    OpenHelpPage(IDS_HELP_USER_GUIDE, m_shell);
}

void CMainDlg::OnFaq() {
    OpenHelpPage(IDS_HELP_FAQ, m_shell);
}

void CMainDlg::OnFreeRegistration() {
    OpenHelpPage(IDS_HELP_REGISTER, m_shell);
}
