#include "app/main_dlg.h"

#include <memory>

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QLabel>
#include <QMenu>
#include <QShortcut>
#include <QCheckBox>
#include <QGridLayout>
#include <QCloseEvent>
#include <fstream>
#include <cstring>
#include <iterator>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

#include "app/about_dlg.h"
#include "app/help_pages.h"
#include "app/picture_path.h"
#include "album/album_project.h"
#include "album/file_output.h"
#include "app/album_viewer_dlg.h"
#include "app/save_progress_dlg.h"
#include "imaging/picture_loader.h"
#include "platform/registry.h"
#include "platform/system_path.h"
#include "ui/file_dialogs.h"
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

// The save dialog's filter, written as description|patterns pairs.
constexpr char kSaveFilter[] = "PalmPilot Files (*.pdb)|*.pdb|All Files|*.*||";
// Album projects: the batch tool's ALBUM.json.
constexpr char kProjectExtension[] = ".json";
constexpr char kProjectFilter[] = "Album Projects (*.json)|*.json|All Files|*.*||";
constexpr std::uintmax_t kLargestProject = 64u << 20;
// Album files the viewer opens: what Save writes, under either extension.
constexpr char kAlbumFileFilter[] = "PalmPilot Files (*.pdb; *.prc)|*.pdb;*.prc|All Files|*.*||";

bool IsAlbumFileName(const QString& path) {
    return path.endsWith(QLatin1String(".pdb"), Qt::CaseInsensitive) ||
           path.endsWith(QLatin1String(".prc"), Qt::CaseInsensitive);
}

// How long after a change the window looks whether the album differs from the saved one.
constexpr int kChangeCheckMs = 300;

// Send To HotSync: the users' menu commands, and the room for names and folders.
constexpr int kFirstUserCommand = 1000;
constexpr std::size_t kMenuNameSize = 50;
constexpr std::size_t kUserNameSize = 256;
constexpr std::size_t kInstallFolderSize = 260;
// The longest file name the file systems take, and the longest path.
constexpr std::size_t kLongestFileName = 255;
constexpr std::size_t kLongestPath = 4095;
constexpr char kAlbumFileExtension[] = ".pdb";

// The install file's name: the album title and ".pdb". The title may name no folder, so its
// separators become dashes and control characters go; empty when nothing of the title is left.
std::string InstallFileName(const std::string& title) {
    std::string fileName;
    for (const char c : title) {
        const bool control = static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        if (c == '/' || c == '\\') {
            fileName += '-';
        } else if (!control) {
            fileName += c;
        }
    }
    return fileName.empty() ? fileName : fileName + kAlbumFileExtension;
}

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
    connect(m_saveButton, &QPushButton::clicked, this, &CMainDlg::OnSave);
    connect(m_sendButton, &QPushButton::clicked, this, &CMainDlg::OnSendToHotSync);
    connect(button(IDC_USER_GUIDE), &QPushButton::clicked, this, &CMainDlg::OnUserGuide);
    connect(button(IDC_FAQ), &QPushButton::clicked, this, &CMainDlg::OnFaq);
    connect(button(IDC_FREE_REGISTRATION), &QPushButton::clicked, this,
            &CMainDlg::OnFreeRegistration);
    const auto shortcut = [this](QKeySequence keys, void (CMainDlg::*handler)()) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, handler);
    };
    // Ctrl+S does what Save... does, and nothing while Save... is off (an empty album).
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this), &QShortcut::activated, this, [this] {
        if (m_saveButton->isEnabled()) {
            OnSave();
        }
    });
    shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), &CMainDlg::OnSaveAlbumProject);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_O), &CMainDlg::OnOpenAlbumProject);

    m_changeCheck.setSingleShot(true);
    m_changeCheck.setInterval(kChangeCheckMs);
    connect(&m_changeCheck, &QTimer::timeout, this, [this] { setWindowModified(HasUnsavedChanges()); });
    MarkSaved();

    // The window may grow: the picture list takes the room, what lies right of it and below it
    // moves along.
    m_templateSize = size();
    setMinimumSize(m_templateSize);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    for (QWidget* widget : std::initializer_list<QWidget*>{m_imageListFrame, m_imageList, button(IDC_RESET), m_saveButton,
                                                           m_sendButton, button(IDC_USER_GUIDE), button(IDC_FAQ),
                                                           button(IDC_FREE_REGISTRATION)}) {
        m_anchored.emplace_back(widget, widget->geometry());
    }
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
    entry->m_crop = m_preview->NewPictureCrop();
    entry->m_colorDepth = m_preview->NewPictureDepth();
    if (m_album.Append(std::move(entry)) == nullptr) {
        return false;
    }
    if (!m_imageList->AddItem(ListDisplayText(path), QDir::toNativeSeparators(path))) {
        m_album.RemoveAt(m_album.Count() - 1);  // rows and entries stay one to one
        return false;
    }
    EnableEditing(true);
    AlbumChanged();
    return true;
}

bool CMainDlg::DeleteImage(std::int16_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= m_album.Count()) {
        return false;
    }
    m_preview->ShowImage(nullptr);
    m_album.RemoveAt(static_cast<std::size_t>(index));
    m_imageList->DeleteItem(index);
    AlbumChanged();
    return true;
}

bool CMainDlg::MoveImage(std::int16_t from, std::int16_t to) {
    if (from < 0 || to < 0 || !m_album.Move(static_cast<std::size_t>(from), static_cast<std::size_t>(to))) {
        return false;
    }
    AlbumChanged();
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
        AlbumChanged();
    }
    return true;
}

void CMainDlg::ResetAll() {
    m_preview->ClearPreview();
    m_albumInfo->ResetAlbumInfo();
    m_imageList->DeleteAllItems();
    m_album.Clear();
    EnableEditing(false);
    AlbumChanged();
}

void CMainDlg::ApplySizeLimitToAll(std::int16_t width, std::int16_t height) {
    for (std::size_t i = 0; i < m_album.Count(); ++i) {
        m_album.At(i)->m_sizeLimitWidth = width;
        m_album.At(i)->m_sizeLimitHeight = height;
    }
    AlbumChanged();
}

void CMainDlg::ApplyCropToAll(std::uint8_t crop) {
    for (std::size_t i = 0; i < m_album.Count(); ++i) {
        m_album.At(i)->m_crop = crop;
    }
    AlbumChanged();
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
    AlbumChanged();
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
    TakeDroppedFiles(paths, false);
}

void CMainDlg::TakeDroppedFiles(const QStringList& paths, bool recursive) {
    QStringList pictures;
    for (const QString& path : paths) {
        if (QFileInfo(path).isDir()) {
            AddFolder(path, recursive);
        } else if (IsAlbumFileName(path)) {
            (void)OpenAlbumFile(path);
        } else if (path.endsWith(QLatin1String(kProjectExtension), Qt::CaseInsensitive)) {
            if (AskToKeepChanges()) {
                (void)OpenAlbumProject(path);
            }
        } else {
            pictures << path;
        }
    }
    const auto first = static_cast<std::int16_t>(m_album.Count());
    int added = 0;
    for (const QString& path : pictures) {
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

void CMainDlg::AddFolder(const QString& folder, bool recursive) {
    const CFolderPictures found = ListFolderPictures(PathToSystem(folder), recursive);
    const auto first = static_cast<std::int16_t>(m_album.Count());
    std::size_t added = 0;
    std::size_t overLimit = 0;
    for (const std::string& picture : found.pictures) {
        if (m_album.IsFull()) {
            ++overLimit;
        } else if (AddImage(PathFromSystem(picture))) {
            ++added;
        }
    }
    KeepFolder(folder, kPictureFolderSetting);
    QString text = QStringLiteral("Added %1 %2 from %3.")
                       .arg(added)
                       .arg(added == 1 ? QStringLiteral("picture") : QStringLiteral("pictures"),
                            QDir::toNativeSeparators(folder));
    QStringList leftOut;
    if (found.otherFiles > 0) {
        leftOut << QStringLiteral("%1 %2 not a picture this program reads")
                       .arg(found.otherFiles)
                       .arg(found.otherFiles == 1 ? QStringLiteral("file is") : QStringLiteral("files are"));
    }
    if (overLimit > 0) {
        leftOut << QStringLiteral("%1 %2 over the album's limit of %3 pictures")
                       .arg(overLimit)
                       .arg(overLimit == 1 ? QStringLiteral("picture is") : QStringLiteral("pictures are"))
                       .arg(kMaxPictures);
    }
    if (!leftOut.isEmpty()) {
        text += QStringLiteral("\nLeft out: ") + leftOut.join(QStringLiteral("; ")) + u'.';
    }
    if (added > 0) {
        if (m_imageList->GetSelectionMark() < 0) {
            SetAlbumIcon(first);
        }
        SelectImage(first);
    }
    QMessageBox::information(this, LoadResString(IDS_CAPTION), text);
}

bool CMainDlg::OpenAlbumProject(const QString& path) {
    const std::string file = PathToSystem(path);
    std::string text;
    std::string problem;
    CAlbum opened;
    {
        std::error_code ec;
        const auto size = std::filesystem::file_size(file, ec);
        std::ifstream in(file, std::ios::binary);
        if (ec || size > kLargestProject || !in) {
            problem = ec ? "the file cannot be read" : size > kLargestProject ? "too large for an album project"
                                                                             : "the file cannot be read";
        } else {
            text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    const std::string folder = std::filesystem::absolute(file).parent_path().string();
    if (!problem.empty() || !ReadAlbumProject(text, folder, opened, problem)) {
        QMessageBox::warning(this, LoadResString(IDS_CAPTION),
                             QStringLiteral("The album project\n%1\ncannot be opened: %2")
                                 .arg(QDir::toNativeSeparators(path), QString::fromStdString(problem)));
        return false;
    }
    ResetAll();
    m_albumInfo->TitleBox()->setText(QString::fromStdString(opened.Title()));
    m_albumInfo->NoteBox()->setPlainText(QString::fromStdString(opened.Note()));
    QStringList missing;
    for (std::size_t i = 0; i < opened.Count(); ++i) {
        const CAlbumImage& entry = *opened.At(i);
        const QString picture = PathFromSystem(entry.m_sourcePath);
        if (m_album.Append(std::make_unique<CAlbumImage>(entry)) == nullptr ||
            !m_imageList->AddItem(ListDisplayText(picture), picture)) {
            break;
        }
        std::error_code ec;
        if (!std::filesystem::is_regular_file(entry.m_sourcePath, ec)) {
            m_imageList->MarkMissing(static_cast<int>(i), QStringLiteral("not found"));
            missing << QDir::toNativeSeparators(picture);
        }
    }
    if (!opened.IconSource().empty() && m_albumInfo->SetIconFromFile(opened.IconSource())) {
        m_album.SetIconSource(opened.IconSource());
    } else {
        m_album.SetIconSource(opened.IconSource());  // saved as it was, even while it is missing
    }
    EnableEditing(!m_album.IsEmpty());
    if (!m_album.IsEmpty()) {
        SelectImage(0);
    }
    m_projectPath = path;
    KeepFolder(QFileInfo(path).absolutePath(), kProjectFolderSetting);
    MarkSaved();
    if (!missing.isEmpty()) {
        QMessageBox::warning(this, LoadResString(IDS_CAPTION),
                             QStringLiteral("These pictures of the album were not found; they are marked "
                                            "in the list:\n\n%1")
                                 .arg(missing.join(u'\n')));
    }
    return true;
}

bool CMainDlg::SaveAlbumProject(const QString& path) {
    m_preview->StoreControls(nullptr);
    const std::string file = PathToSystem(path);
    const std::string folder = std::filesystem::absolute(file).parent_path().string();
    const std::string text = WriteAlbumProject(m_album, folder);
    std::string problem;
    std::unique_ptr<CFileOutput> output = OpenFileOutput(file, problem);
    if (output && (!output->Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()) ||
                   !output->Commit())) {
        problem = output->Error();
        output.reset();
    }
    if (!problem.empty() || !output) {
        QMessageBox::warning(this, LoadResString(IDS_CAPTION),
                             QStringLiteral("The album project cannot be saved as\n%1\n\n%2")
                                 .arg(QDir::toNativeSeparators(path), QString::fromStdString(problem)));
        return false;
    }
    m_projectPath = path;
    KeepFolder(QFileInfo(path).absolutePath(), kProjectFolderSetting);
    MarkSaved();
    return true;
}

bool CMainDlg::OpenAlbumFile(const QString& path) {
    auto* viewer = new CAlbumViewerDlg(this);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    if (!viewer->Open(path)) {
        QMessageBox::warning(this, LoadResString(IDS_CAPTION),
                             QStringLiteral("The album file\n%1\ncannot be shown: %2")
                                 .arg(QDir::toNativeSeparators(path), viewer->Error()));
        delete viewer;
        return false;
    }
    viewer->show();
    return true;
}

void CMainDlg::OnOpenAlbumFile() {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    PrepareFileDialog(dialog, kAlbumFileFilter, kAlbumFolderSetting);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        (void)OpenAlbumFile(dialog.selectedFiles().constFirst());
    }
}

void CMainDlg::OnViewSavedAlbum() {
    if (!m_savedAlbum.isEmpty()) {
        (void)OpenAlbumFile(m_savedAlbum);
    }
}

void CMainDlg::OnAddFolder() {
    QFileDialog dialog(this);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    PrepareFileDialog(dialog, nullptr, kPictureFolderSetting);
    auto* subfolders = new QCheckBox(QStringLiteral("Include subfolders"), &dialog);
    subfolders->setObjectName(QStringLiteral("subfolders"));
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        grid->addWidget(subfolders, grid->rowCount(), 0, 1, grid->columnCount());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    AddFolder(dialog.selectedFiles().constFirst(), subfolders->isChecked());
}

void CMainDlg::OnOpenAlbumProject() {
    if (!AskToKeepChanges()) {
        return;
    }
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    PrepareFileDialog(dialog, kProjectFilter, kProjectFolderSetting);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        (void)OpenAlbumProject(dialog.selectedFiles().constFirst());
    }
}

void CMainDlg::OnSaveAlbumProject() {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("json"));
    PrepareFileDialog(dialog, kProjectFilter, kProjectFolderSetting);
    dialog.selectFile(!m_projectPath.isEmpty()
                          ? m_projectPath
                          : QString::fromStdString(m_album.Title()) + QLatin1String(kProjectExtension));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        (void)SaveAlbumProject(dialog.selectedFiles().constFirst());
    }
}

void CMainDlg::AlbumChanged() {
    m_changeCheck.start();
}

std::string CMainDlg::Snapshot() {
    if (m_preview != nullptr) {
        m_preview->StoreControls(nullptr);
    }
    return WriteAlbumProject(m_album, "/");
}

bool CMainDlg::HasUnsavedChanges() {
    return Snapshot() != m_savedSnapshot;
}

void CMainDlg::MarkSaved() {
    m_savedSnapshot = Snapshot();
    setWindowModified(false);
    UpdateCaption();
}

void CMainDlg::UpdateCaption() {
    const QString caption = LoadResString(IDS_CAPTION);
    // The mark shows while the album differs from the one last saved or opened.
    setWindowTitle(m_projectPath.isEmpty()
                       ? caption + QStringLiteral("[*]")
                       : QFileInfo(m_projectPath).fileName() + QStringLiteral("[*] - ") + caption);
}

bool CMainDlg::AskToKeepChanges() {
    if (!HasUnsavedChanges()) {
        return true;
    }
    const auto answer = QMessageBox::question(
        this, LoadResString(IDS_CAPTION),
        QStringLiteral("The album has changes that are not saved.\nSave them as an album project first?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Cancel) {
        return false;
    }
    if (answer == QMessageBox::Save) {
        OnSaveAlbumProject();
        return !HasUnsavedChanges();
    }
    return true;
}

void CMainDlg::closeEvent(QCloseEvent* event) {
    if (!AskToKeepChanges()) {
        event->ignore();
        return;
    }
    CTemplateDialog::closeEvent(event);
}

void CMainDlg::resizeEvent(QResizeEvent* event) {
    CTemplateDialog::resizeEvent(event);
    if (m_templateSize.isEmpty()) {
        return;
    }
    // The picture list takes the extra room; what lies right of it or below it moves along;
    // everything else keeps its place and size.
    const int dx = std::max(0, width() - m_templateSize.width());
    const int dy = std::max(0, height() - m_templateSize.height());
    for (const auto& [widget, place] : m_anchored) {
        if (widget == m_imageListFrame || widget == m_imageList) {
            widget->resize(place.width() + dx, place.height() + dy);
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
    menu.addAction(QStringLiteral("Add &Folder..."), this, &CMainDlg::OnAddFolder);
    menu.addSeparator();
    menu.addAction(QStringLiteral("&Open Album Project..."), QKeySequence(Qt::CTRL | Qt::Key_O), this,
                   &CMainDlg::OnOpenAlbumProject);
    menu.addAction(QStringLiteral("Save Album &Project..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
                   this, &CMainDlg::OnSaveAlbumProject);
    menu.addSeparator();
    menu.addAction(QStringLiteral("Open Album &File..."), this, &CMainDlg::OnOpenAlbumFile);
    menu.addAction(QStringLiteral("&View the Saved Album"), this, &CMainDlg::OnViewSavedAlbum)
        ->setEnabled(!m_savedAlbum.isEmpty());
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
    // Shift takes a dropped folder's subfolders too.
    TakeDroppedFiles(paths, (event->modifiers() & Qt::ShiftModifier) != 0);
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

void CMainDlg::OnSave() {
    m_preview->StoreControls(nullptr);  // the save sees the edits still on the pages
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("prc"));
    PrepareFileDialog(dialog, kSaveFilter, kAlbumFolderSetting);
    dialog.selectFile(LoadResString(IDS_UNTITLED));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    KeepFolder(dialog.directory().absolutePath(), kAlbumFolderSetting);
    (void)SaveAlbum(dialog.selectedFiles().constFirst());
}

bool CMainDlg::SaveAlbum(const QString& path) {
    // The icon goes into the file as the window shows it, even if its picture has gone since.
    auto icon = std::make_shared<CDib>();
    const CDib& shown = m_albumInfo->Icon();
    if (!shown.IsCreated() || !icon->Create(shown.Width(), shown.Height(), shown.BitsPerPixel())) {
        icon.reset();  // made again from its picture by the build
    } else {
        std::memcpy(icon->Pixels(), shown.Pixels(), shown.PixelBytes());
    }
    CSaveProgressDlg progress(this);
    progress.SetJob(m_album, PathToSystem(path), PictureReading(), std::move(icon));
    progress.DoModal();
    const CBuildResult& result = progress.Result();
    switch (result.outcome) {
        case BuildOutcome::Written:
            MarkSaved();  // the user's work is on disk
            m_savedAlbum = path;
            return true;
        case BuildOutcome::Cancelled:
        case BuildOutcome::PictureFailed:
            return false;  // the user chose to stop
        case BuildOutcome::Refused:
        case BuildOutcome::WriteFailed:
            break;
    }
    QMessageBox::warning(this, LoadResString(IDS_CAPTION),
                         QStringLiteral("The album cannot be saved as\n%1\n\n%2")
                             .arg(QDir::toNativeSeparators(path), QString::fromStdString(result.reason)));
    return false;
}

void CMainDlg::OnSendToHotSync() {
    const std::int16_t count = m_installLibrary.GetUserCount();
    if (count < 1) {
        return;
    }
    std::int16_t index = 0;
    if (count > 1) {
        QMenu menu(this);
        for (std::int16_t i = 0; i < count; ++i) {
            QAction* item = menu.addAction(
                QString::fromStdString(m_installLibrary.GetUserName(i, kMenuNameSize)));
            item->setData(kFirstUserCommand + i);
        }
        const QAction* chosen =
            menu.exec(m_sendButton->mapToGlobal(QPoint(2, m_sendButton->height())));  // just below the button
        if (chosen == nullptr) {
            return;
        }
        index = static_cast<std::int16_t>(chosen->data().toInt() - kFirstUserCommand);
    }
    const std::string user = m_installLibrary.GetUserName(index, kUserNameSize);
    const std::string folder = m_installLibrary.GetUserInstallDir(user, kInstallFolderSize);

    const std::string fileName =
        InstallFileName(QString::fromStdString(m_album.Title()).trimmed().toStdString());
    if (fileName.empty()) {
        QMessageBox::critical(nullptr, QStringLiteral("error"), LoadResString(IDS_NO_ALBUM_TITLE));
        return;
    }
    if (fileName.size() > kLongestFileName || folder.size() + 1 + fileName.size() > kLongestPath) {
        QMessageBox::critical(nullptr, QStringLiteral("error"),
                              QStringLiteral("The album title is too long for a file name."));
        return;
    }
    // The handheld gets what the window shows, as with Save.
    m_preview->StoreControls(nullptr);
    const std::string path = folder + '/' + fileName;
    m_installLibrary.PrepareInstall(user, fileName);
    if (!SaveAlbum(PathFromSystem(path))) {
        return;
    }
    if (m_installLibrary.InstallFile(user, path) == kInstallQueued) {
        QMessageBox done(QMessageBox::NoIcon, LoadResString(IDS_SUCCESS), LoadResString(IDS_PERFORM_HOTSYNC),
                         QMessageBox::Ok, this);
        done.exec();
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
