#pragma once

#include <string>

#include <QRect>

#include "album/album_rules.h"
#include "imaging/dib.h"
#include "panes/pane_dialog.h"
#include "ui/edge_anchors.h"

class CAlbumEditor;
class QFrame;
class QLineEdit;
class QPlainTextEdit;

// The album info pane: the album's title, note and 24 x 24 icon. The boxes edit the album's
// title and note as they are typed (a run of typing is one undo step) and follow the album
// when an undo changes them; the icon is the album's own, drawn from the document.
class CAlbumInfoPane : public CPaneDialog {
    Q_OBJECT
public:
    explicit CAlbumInfoPane(QWidget* parent = nullptr);

    void SetOwner(CAlbumEditor* owner);

    // Redraws the icon, centred in its frame.
    void DrawAlbumIcon();

    const CDib& Icon() const;
    QLineEdit* TitleBox() const { return m_title; }
    QPlainTextEdit* NoteBox() const { return m_note; }
    QFrame* IconFrame() const { return m_iconFrame; }
    // Where the icon is drawn, in this pane's coordinates.
    QRect IconRect() const;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    void OnInitDialog() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnPaint();
    // Puts the album's title and note in the boxes where they differ.
    void ShowAlbumText();

    CAlbumEditor* m_owner = nullptr;
    bool m_showing = false;  // the boxes are being given the album's text
    QFrame* m_iconFrame = nullptr;
    QLineEdit* m_title = nullptr;
    QPlainTextEdit* m_note = nullptr;
    CEdgeAnchors m_anchors;
};
