#pragma once

#include <string>

#include <QRect>

#include "album/album_rules.h"
#include "imaging/dib.h"
#include "panes/pane_dialog.h"

class CAlbumEditor;
class QFrame;
class QLineEdit;
class QPlainTextEdit;

// The album info pane: the album's title, note and 24 x 24 icon. The boxes edit the album's
// title and note as they are typed; the icon shows the picture the album's icon comes from.
class CAlbumInfoPane : public CPaneDialog {
    Q_OBJECT
public:
    
    explicit CAlbumInfoPane(QWidget* parent = nullptr);

    void SetOwner(CAlbumEditor* owner) { m_owner = owner; }

    // Title "untitled", empty note, black icon.
    void ResetAlbumInfo();
    // Makes the icon from the central square of the picture file (three quarters of its
    // shorter side); a picture that cannot be loaded leaves the icon as it was.
    [[nodiscard]] bool SetIconFromFile(const std::string& path);
    // Redraws the icon, centred in its frame.
    void DrawAlbumIcon();
    // Every icon pixel black.
    void ClearIcon();

    const CDib& Icon() const { return m_icon; }
    QLineEdit* TitleBox() const { return m_title; }
    QPlainTextEdit* NoteBox() const { return m_note; }
    QFrame* IconFrame() const { return m_iconFrame; }
    // Where the icon is drawn, in this pane's coordinates.
    QRect IconRect() const;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    void OnInitDialog() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnPaint();

    CAlbumEditor* m_owner = nullptr;
    CDib m_icon;
    QFrame* m_iconFrame = nullptr;
    QLineEdit* m_title = nullptr;
    QPlainTextEdit* m_note = nullptr;
};
