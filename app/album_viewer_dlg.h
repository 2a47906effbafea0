#pragma once

#include <memory>

#include <QDialog>
#include <QString>

#include "album/album_file_reader.h"

class QComboBox;
class QLabel;
class QListWidget;
class QScrollArea;

// A look at an album file as the handheld shows it, without a handheld: the album's title,
// note and icon, the list of pictures with their thumbnails, titles and notes, and the chosen
// picture 1:1 in a 160 x 160 view that scrolls. Everything comes from the file's own bytes,
// read as `tavelo-cli inspect` and `extract` read them; nothing can be changed here. The
// screen depth chooses which of the icon's and thumbnails' bitmaps a handheld would show.
class CAlbumViewerDlg : public QDialog {
    Q_OBJECT
public:
    // The screen depths a handheld may have, in bits per pixel.
    static constexpr int kScreenDepths[] = {1, 2, 4, 8, 16};

    explicit CAlbumViewerDlg(QWidget* parent = nullptr);
    ~CAlbumViewerDlg() override;

    // Reads the album file; false, with Error() saying why, for a file that cannot be read or
    // is not an album.
    [[nodiscard]] bool Open(const QString& path);
    const QString& Error() const { return m_error; }

    // Shows the icon and thumbnails a handheld with a screen of `depth` bits would show.
    void SetScreenDepth(int depth);
    // Shows picture `index` (from 0) in the view, with its title and note.
    void ShowPicture(int index);

    const CAlbumFile& Album() const { return m_album; }
    QLabel* TitleLabel() const { return m_title; }
    QLabel* NoteLabel() const { return m_note; }
    QLabel* IconLabel() const { return m_icon; }
    QListWidget* PictureList() const { return m_list; }
    QComboBox* DepthList() const { return m_depths; }
    QLabel* PictureView() const { return m_picture; }
    QScrollArea* View() const { return m_view; }

private:
    void FillList();

    CAlbumFile m_album;
    QString m_error;
    int m_screenDepth = 8;
    QLabel* m_icon = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_note = nullptr;
    QComboBox* m_depths = nullptr;
    QListWidget* m_list = nullptr;
    QScrollArea* m_view = nullptr;
    QLabel* m_picture = nullptr;
    QLabel* m_pictureText = nullptr;
};
