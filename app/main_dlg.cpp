#include "app/main_dlg.h"

#include <memory>

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>

#include "album/picture_preparation.h"
#include "app/about_dlg.h"
#include "app/add_pictures.h"
#include "app/help_pages.h"
#include "app/picture_check.h"
#include "app/run_counter.h"
#include "decode/picture_loader.h"
#include "panes/album_info_pane.h"
#include "panes/image_list_pane.h"
#include "panes/preview_pane.h"
#include "platform/registry.h"
#include "platform/system_path.h"
#include "res/resource.h"
#include "res/string_table.h"
#include "ui/resources.h"
#include "ui/tool_tip_button.h"

namespace {

// The bits of a window command that carry its id.
constexpr int kCommandIdMask = 0xFFF0;

template <class Pane>
Pane* CreatePane(QFrame* frame, CAlbumEditor* owner) {
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
    connect(&m_editor, &CAlbumEditor::imageSelected, this, &CMainDlg::ShowPicture);
    connect(&m_editor, &CAlbumEditor::iconRequested, this, &CMainDlg::MakeAlbumIcon);
}

CMainDlg::~CMainDlg() = default;

void CMainDlg::DoDataExchange(CDataExchange& dx) {
    DDX_Control(dx, IDC_BANNER, m_banner);
    DDX_Control(dx, IDC_SAVE, m_saveButton);
    DDX_Control(dx, IDC_SEND_TO_HOTSYNC, m_sendButton);
    DDX_Control(dx, IDC_PREVIEW_FRAME, m_previewFrame);
    DDX_Control(dx, IDC_IMAGE_LIST_FRAME, m_imageListFrame);
    DDX_Control(dx, IDC_ALBUM_INFO_FRAME, m_albumInfoFrame);
}

void CMainDlg::OnInitDialog() {
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
    m_preview = CreatePane<CPreviewPane>(m_previewFrame, &m_editor);
    m_albumInfo = CreatePane<CAlbumInfoPane>(m_albumInfoFrame, &m_editor);
    m_imageList = CreatePane<CImageListPane>(m_imageListFrame, &m_editor);
    m_check = std::make_unique<CPictureCheck>(m_document, m_preview->Cache(), *m_imageList);
    connect(m_preview, &CPreviewPane::pictureRead, m_check.get(), &CPictureCheck::Found);
    m_adder = std::make_unique<CPictureAdder>(m_editor, m_projects, m_files, *m_check, *m_imageList,
                                              this);
    EnableEditing(false);
    m_preview->show();
    m_albumInfo->show();
    m_imageList->show();

    // Message map.
    const auto button = [this](int id) { return qobject_cast<QPushButton*>(GetDlgItem(id)); };
    connect(button(IDC_RESET), &QPushButton::clicked, this, &CMainDlg::OnReset);
    connect(m_saveButton, &QPushButton::clicked, this, &CMainDlg::OnSave);
    connect(m_sendButton, &QPushButton::clicked, this, &CMainDlg::OnSendToHotSync);
    connect(button(IDC_USER_GUIDE), &QPushButton::clicked, this, &CMainDlg::OnUserGuide);
    connect(button(IDC_FAQ), &QPushButton::clicked, this, &CMainDlg::OnFaq);
    connect(button(IDC_FREE_REGISTRATION), &QPushButton::clicked, this,
            &CMainDlg::OnFreeRegistration);
    const auto shortcut = [this](QKeySequence keys, auto handler) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, handler);
    };
    // Ctrl+S does what Save... does, and nothing while Save... is off (an empty album).
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_S), [this] {
        if (m_saveButton->isEnabled()) {
            OnSave();
        }
    });
    shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [this] { OnSaveAlbumProject(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_O), [this] { OnOpenAlbumProject(); });

    // One history for every edit of the album, the text boxes' included.
    QUndoStack& undo = m_document.UndoStack();
    m_undoAction = undo.createUndoAction(this, QStringLiteral("&Undo"));
    m_redoAction = undo.createRedoAction(this, QStringLiteral("&Redo"));
    m_undoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_redoAction->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    for (QAction* action : {m_undoAction, m_redoAction}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }

    // The panes follow the document; the window follows whether it has pictures and whether
    // it is saved.
    const auto follow = [this] { EnableEditing(m_document.Count() > 0); };
    connect(&m_document, &CAlbumDocument::entriesInserted, this, follow);
    connect(&m_document, &CAlbumDocument::entriesRemoved, this, follow);
    connect(&m_document, &CAlbumDocument::albumReplaced, this, follow);
    connect(&m_document, &CAlbumDocument::cleanChanged, this,
            [this](bool clean) { setWindowModified(!clean); });
    connect(&m_document, &CAlbumDocument::projectChanged, this, &CMainDlg::UpdateCaption);
    UpdateCaption();

    // Tab goes from the pictures to the album's text, the preview and its pages, then to the
    // commands.
    QList<QWidget*> order = {m_imageList->List(),         m_imageList->AddButton(),
                             m_imageList->DeleteButton(), m_imageList->IconButton(),
                             m_albumInfo->TitleBox(),     m_albumInfo->NoteBox()};
    order += m_preview->FocusOrder();
    order += {button(IDC_RESET),      m_saveButton,    m_sendButton,
              button(IDC_USER_GUIDE), button(IDC_FAQ), button(IDC_FREE_REGISTRATION)};
    for (qsizetype i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }
    // An empty window starts at Add Files..., never in a text box.
    m_imageList->AddButton()->setFocus(Qt::OtherFocusReason);

    // The window may grow: the picture list takes the room, what lies right of it and below it
    // moves along.
    m_templateSize = size();
    setMinimumSize(m_templateSize);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    for (QWidget* widget : std::initializer_list<QWidget*>{
             m_imageListFrame, m_imageList, m_albumInfoFrame, m_albumInfo, button(IDC_RESET),
             m_saveButton, m_sendButton, button(IDC_USER_GUIDE), button(IDC_FAQ),
             button(IDC_FREE_REGISTRATION)}) {
        m_anchored.emplace_back(widget, widget->geometry());
    }
}

bool CMainDlg::AddImage(const QString& path) {
    return m_editor.AddImage(path);
}

bool CMainDlg::DeleteImage(std::int16_t index) {
    return m_editor.DeleteImage(index);
}

bool CMainDlg::MoveImage(std::int16_t from, std::int16_t to) {
    return m_editor.MoveImage(from, to);
}

bool CMainDlg::SelectImage(std::int16_t index) {
    return m_editor.SelectImage(index);
}

void CMainDlg::ShowPicture(int index) {
    m_preview->ShowImage(index);
    m_imageList->SelectRow(index);
}

bool CMainDlg::SetAlbumIcon(std::int16_t index) {
    return m_editor.SetAlbumIcon(index);
}

void CMainDlg::MakeAlbumIcon(int index) {
    const CAlbumImage* entry = m_document.Entry(index);
    if (entry == nullptr) {
        return;
    }
    const std::string source = entry->m_sourcePath;
    m_icons.Make(source, [this, source](std::optional<CIconPixels> pixels) {
        // A picture that cannot be read keeps the icon as it is, without a word.
        if (pixels) {
            m_document.SetIcon(source, *pixels);
        }
    });
}

void CMainDlg::ResetAll() {
    m_editor.ResetAll();
}

void CMainDlg::ApplySizeLimitToAll(std::int16_t width, std::int16_t height) {
    m_editor.ApplySizeLimitToAll(width, height);
}

void CMainDlg::ApplyCropToAll(std::uint8_t crop) {
    m_editor.ApplyCropToAll(crop);
}

void CMainDlg::ApplyColorToAll(std::uint8_t colorDepth, std::int16_t brightness,
                               std::int16_t contrast, std::uint8_t dither) {
    m_editor.ApplyColorToAll(colorDepth, brightness, contrast, dither);
}

void CMainDlg::BeginEditGroup(const QString& name) {
    m_editor.BeginEditGroup(name);
}

void CMainDlg::EndEditGroup() {
    m_editor.EndEditGroup();
}

bool CMainDlg::EnableEditing(bool enable) {
    m_saveButton->setEnabled(enable);
    // A grey Send To HotSync says why in its tip.
    const QString unavailable = m_hotSync.WhyUnavailable(enable);
    m_sendButton->setEnabled(unavailable.isEmpty());
    m_sendButton->setToolTip(unavailable.isEmpty()
                                 ? QStringLiteral("Queue the album for the handheld's next HotSync")
                                 : unavailable);
    m_imageList->EnableItems(enable);
    return enable;
}

void CMainDlg::resizeEvent(QResizeEvent* event) {
    CTemplateDialog::resizeEvent(event);
    if (m_templateSize.isEmpty()) {
        return;
    }
    // The picture list takes the extra room and Album Info the extra width; what lies right
    // of them or below them moves along; everything else keeps its place and size.
    const int dx = std::max(0, width() - m_templateSize.width());
    const int dy = std::max(0, height() - m_templateSize.height());
    for (const auto& [widget, place] : m_anchored) {
        if (widget == m_imageListFrame || widget == m_imageList) {
            widget->resize(place.width() + dx, place.height() + dy);
        } else if (widget == m_albumInfoFrame || widget == m_albumInfo) {
            widget->resize(place.width() + dx, place.height());
        } else if (place.top() >= m_anchored.front().second.top()) {
            widget->move(place.topLeft() + QPoint(dx, dy));
        } else {
            widget->move(place.topLeft() + QPoint(dx, 0));
        }
    }
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
    menu.addSeparator();
    menu.addAction(m_undoAction);
    menu.addAction(m_redoAction);
    menu.addSeparator();
    menu.addAction(QStringLiteral("Add &Folder..."), this, &CMainDlg::OnAddFolder);
    menu.addSeparator();
    menu.addAction(QStringLiteral("&Open Album Project..."), QKeySequence(Qt::CTRL | Qt::Key_O),
                   this, &CMainDlg::OnOpenAlbumProject);
    menu.addAction(QStringLiteral("Save Album &Project..."),
                   QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), this,
                   &CMainDlg::OnSaveAlbumProject);
    menu.addSeparator();
    menu.addAction(QStringLiteral("Open Album &File..."), this, &CMainDlg::OnOpenAlbumFile);
    menu.addAction(QStringLiteral("&View the Saved Album"), this, &CMainDlg::OnViewSavedAlbum)
        ->setEnabled(!m_files.LastWritten().isEmpty());
    if (menu.exec(event->globalPos()) == about) {
        OnSysCommand(kIdmAboutBox);
    }
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
        OpenLink(QUrl(LoadResString(BannerLinkId(m_bannerIndex))), m_shell, this);
    }
}

void CMainDlg::OnReset() {
    ResetAll();
}

void CMainDlg::OnUserGuide() {
    OpenHelpPage(IDS_HELP_USER_GUIDE, m_shell, this);
}

void CMainDlg::OnFaq() {
    OpenHelpPage(IDS_HELP_FAQ, m_shell, this);
}

void CMainDlg::OnFreeRegistration() {
    OpenHelpPage(IDS_HELP_REGISTER, m_shell, this);
}

void CMainDlg::AddFolder(const QString& folder, bool recursive) {
    m_adder->AddFolder(folder, recursive);
}

void CMainDlg::OnAddFolder() {
    m_adder->AskForFolder();
}

void CMainDlg::OnDropFiles(const QStringList& paths) {
    m_adder->TakeFiles(paths, false);
}

void CMainDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!CPictureAdder::DroppedFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void CMainDlg::dropEvent(QDropEvent* event) {
    const QStringList paths = CPictureAdder::DroppedFiles(event->mimeData());
    if (paths.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    // Shift takes a dropped folder's subfolders too.
    m_adder->TakeFiles(paths, (event->modifiers() & Qt::ShiftModifier) != 0);
}

bool CMainDlg::IsCheckingPictures() const {
    return m_check && m_check->IsBusy();
}

bool CMainDlg::SaveAlbum(const QString& path) {
    return m_files.Write(path);
}

bool CMainDlg::OpenAlbumFile(const QString& path) {
    return m_files.Show(path);
}

void CMainDlg::OnSave() {
    m_files.AskAndWrite();
}

void CMainDlg::OnOpenAlbumFile() {
    m_files.AskAndShow();
}

void CMainDlg::OnViewSavedAlbum() {
    m_files.ShowLastWritten();
}

void CMainDlg::OnSendToHotSync() {
    m_hotSync.Send(m_sendButton);
}

bool CMainDlg::OpenAlbumProject(const QString& path) {
    return m_projects.Open(path);
}

bool CMainDlg::SaveAlbumProject(const QString& path) {
    return m_projects.SaveAs(path);
}

void CMainDlg::OnOpenAlbumProject() {
    m_projects.AskAndOpen();
}

void CMainDlg::OnSaveAlbumProject() {
    m_projects.AskAndSave();
}

QString CMainDlg::ProjectPath() const {
    return m_projects.Path();
}

bool CMainDlg::HasUnsavedChanges() const {
    return m_projects.HasChanges();
}

void CMainDlg::UpdateCaption() {
    const QString caption = LoadResString(IDS_CAPTION);
    // The mark shows while the album differs from the one last saved or opened.
    setWindowTitle(ProjectPath().isEmpty()
                       ? caption + QStringLiteral("[*]")
                       : QFileInfo(ProjectPath()).fileName() + QStringLiteral("[*] - ") + caption);
}

void CMainDlg::closeEvent(QCloseEvent* event) {
    if (!m_projects.KeepChangesFirst()) {
        event->ignore();
        return;
    }
    CTemplateDialog::closeEvent(event);
}
