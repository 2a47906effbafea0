#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QCursor>
#include <QString>
#include <QStringList>
#include "app/album_file_commands.h"
#include "app/album_icons.h"
#include "app/hotsync_command.h"
#include "app/project_commands.h"
#include "edit/album_document.h"
#include "panes/album_editor.h"
#include "platform/install_library.h"
#include "platform/shell.h"
#include "ui/template_layer.h"

class CAlbumInfoPane;
class CPictureAdder;
class CPictureCheck;
class CImageListPane;
class CPreviewPane;
class QAction;
class QFrame;
class QLabel;
class QPushButton;

// The main window: it holds the album document, the three panes that show and edit it, and
// the commands, each in a class of its own: the album file commands (Save, the handheld view),
// Send To HotSync, the album projects, and adding folders and dropped files.
class CMainDlg : public CTemplateDialog {
    Q_OBJECT
public:
    // Command id of the About box in the window's menu.
    static constexpr int kIdmAboutBox = 0x0010;

    explicit CMainDlg(CInstallLibrary& installLibrary = DefaultInstallLibrary(),
                      CShell& shell = DefaultShell(), QWidget* parent = nullptr);
    ~CMainDlg() override;

    // The album editing operations, as the panes have them (see CAlbumEditor); each is an
    // undoable step on the document, and the panes follow the document. Out-of-range indices do
    // nothing and give false.
    [[nodiscard]] bool AddImage(const QString& path);
    bool DeleteImage(std::int16_t index);
    bool MoveImage(std::int16_t from, std::int16_t to);
    bool SelectImage(std::int16_t index);
    bool SetAlbumIcon(std::int16_t index);
    void ResetAll();
    void ApplySizeLimitToAll(std::int16_t width, std::int16_t height);
    void ApplyCropToAll(std::uint8_t crop);
    void ApplyColorToAll(std::uint8_t colorDepth, std::int16_t brightness, std::int16_t contrast,
                         std::uint8_t dither);
    void BeginEditGroup(const QString& name);
    void EndEditGroup();
    CAlbumDocument& Document() { return m_document; }

    // Adds the picture files of a folder (and its subfolders when `recursive`) in natural
    // order, up to the album's limit, and says in one message, once they have been read, how
    // many were added, how many left out and why, and how many cannot be read.
    void AddFolder(const QString& folder, bool recursive);
    // Replaces the album with the album project at `path` (one undoable step); pictures whose
    // files are missing are marked in the list and named in a message. False, with a message,
    // for a file that is not an album project.
    bool OpenAlbumProject(const QString& path);
    // Writes the album as an album project (the batch tool's ALBUM.json) with paths relative to
    // it, and takes the album as saved; false, with a message, when it cannot be written.
    bool SaveAlbumProject(const QString& path);
    // Shows an album file in a viewer of its own, as the handheld shows it; false, with a
    // message, for a file that is damaged or not an album.
    bool OpenAlbumFile(const QString& path);
    // The project last opened or saved; empty when there is none.
    QString ProjectPath() const;
    // Whether the album differs from the one last saved or opened as a project.
    bool HasUnsavedChanges() const;
    // Switches the controls that need a picture; "Send To HotSync" also needs a handheld
    // user. Returns `enable`.
    bool EnableEditing(bool enable);
    // Writes the album to `path` under the progress dialog; true when the file was written.
    // A failure other than the user's Cancel is shown with the path and the reason. Writing an
    // album file is an export: the album is not taken as saved.
    bool SaveAlbum(const QString& path);
    // Whether icons are still being made from their pictures.
    bool IsMakingIcon() const { return m_icons.IsBusy(); }
    // Whether added pictures are still being read to find those that cannot be.
    bool IsCheckingPictures() const;

    // Files dropped on the window, or named on the command line: each is added in turn, a
    // refused one not stopping the others; the first added is then shown, and it becomes
    // the album icon when the list had no selection to keep. A folder adds its pictures; an
    // album project (.json) is opened instead.
    void OnDropFiles(const QStringList& paths);
    // Shows the window restored and in front of the others.
    void BringToFront();

    const CAlbum& Album() const { return m_document.Album(); }
    CPreviewPane& PreviewPane() const { return *m_preview; }
    CAlbumInfoPane& AlbumInfoPane() const { return *m_albumInfo; }
    CImageListPane& ImageListPane() const { return *m_imageList; }
    std::int16_t BannerIndex() const { return m_bannerIndex; }
    QLabel* Banner() const { return m_banner; }
    QPushButton* SaveButton() const { return m_saveButton; }
    QPushButton* SendButton() const { return m_sendButton; }
    QAction* UndoAction() const { return m_undoAction; }
    QAction* RedoAction() const { return m_redoAction; }

protected:
    void DoDataExchange(CDataExchange& dx) override;
    void OnInitDialog() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void OnAddFolder();
    void OnOpenAlbumProject();
    void OnSaveAlbumProject();
    void OnOpenAlbumFile();
    void OnViewSavedAlbum();
    void OnSave();
    void OnSendToHotSync();
    void OnReset();
    void OnUserGuide();
    void OnFaq();
    void OnFreeRegistration();

private:
    // Shows entry `index` and selects its row.
    void ShowPicture(int index);
    // Makes the album icon from the picture of entry `index` once its file is read; a
    // picture that cannot be read keeps the icon as it is.
    void MakeAlbumIcon(int index);
    void UpdateCaption();
    void OnSysCommand(int id);
    void OnSetCursor();
    void OnLButtonDown(const QPoint& position);

    CInstallLibrary& m_installLibrary;
    CShell& m_shell;
    CAlbumDocument m_document;
    CAlbumEditor m_editor{m_document};
    CAlbumIcons m_icons;
    CAlbumFileCommands m_files{m_document, m_icons, this};
    CProjectCommands m_projects{m_document, m_editor, m_icons, m_files, this};
    CHotSyncCommand m_hotSync{m_document, m_installLibrary, m_files, this};
    std::unique_ptr<CPictureCheck> m_check;  // made with the panes
    std::unique_ptr<CPictureAdder> m_adder;  // made with the panes
    CPreviewPane* m_preview = nullptr;       // owned by its frame
    CAlbumInfoPane* m_albumInfo = nullptr;   // owned by its frame
    CImageListPane* m_imageList = nullptr;   // owned by its frame
    std::int16_t m_bannerIndex = 0;
    std::optional<QCursor> m_handCursor;
    QLabel* m_banner = nullptr;
    QPushButton* m_saveButton = nullptr;
    QPushButton* m_sendButton = nullptr;
    QFrame* m_previewFrame = nullptr;
    QFrame* m_imageListFrame = nullptr;
    QFrame* m_albumInfoFrame = nullptr;
    QAction* m_undoAction = nullptr;
    QAction* m_redoAction = nullptr;

    // The window's size as its template makes it, and the places of what moves or grows when
    // the window is made larger.
    QSize m_templateSize;
    std::vector<std::pair<QWidget*, QRect>> m_anchored;
};
