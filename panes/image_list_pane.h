#pragma once

#include <cstdint>

#include <QString>
#include <QStringList>

#include "album/album_rules.h"
#include "panes/pane_dialog.h"
#include "ui/edge_anchors.h"

class CAlbumEditor;
class CToolTipButton;
class QListWidget;

// The image list pane: one row per album picture, in album order (row i is entry i), with
// "Add Files...", "Delete" and "Set Icon". It holds no album data; every change goes through
// the main window.
class CImageListPane : public CPaneDialog {
    Q_OBJECT
public:
    static constexpr int kMaxRows = static_cast<int>(kMaxPictures);

    explicit CImageListPane(QWidget* parent = nullptr);

    // The editor the commands go through; the rows follow its document, one per entry.
    void SetOwner(CAlbumEditor* owner);

    // Marks a row whose picture file is missing, with why as its tip; or unmarks it.
    void MarkMissing(int row, const QString& why);
    bool IsMarkedMissing(int row) const;
    // Enables or disables the list, "Delete" and "Set Icon" together.
    void EnableItems(bool enable);

    int GetItemCount() const;
    QString GetItemText(int row) const;
    // Selects the row and scrolls it into view; the pane takes it as its own selection and
    // does not report it back to the main window.
    void SelectRow(int row);
    // The selected row; -1 when none is.
    int GetSelectedRow() const;
    // The row last selected, which stays when a click on empty space clears the selection;
    // -1 when none.
    int GetSelectionMark() const { return m_selectionMark; }
    void SetSelectionMark(int row);

    QListWidget* List() const { return m_list; }
    CToolTipButton* AddButton() const { return m_addButton; }
    CToolTipButton* DeleteButton() const { return m_deleteButton; }
    CToolTipButton* IconButton() const { return m_iconButton; }

protected:
    QWidget* CreateControl(const CControlTemplate& control) override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnInitDialog() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void OnAddFiles();
    void OnItemChanged();
    void OnDelete();
    void OnSetIcon();
    void OnRowsMoved(int from, int to);

private:
    // The document's signals: rows are inserted, removed, moved and made again as its entries.
    void InsertRows(int first, int count);
    void RemoveRows(int first, int count);
    void MoveRow(int from, int to);
    void RebuildRows();
    // The row Delete and Set Icon act on: the selection mark, else the selected row; -1 when
    // there is neither.
    int ActionRow() const;
    // Alt+Up and Alt+Down: the selected picture one place up or down.
    void MoveSelected(int step);

    CAlbumEditor* m_owner = nullptr;
    CToolTipButton* m_addButton = nullptr;
    CToolTipButton* m_iconButton = nullptr;
    CToolTipButton* m_deleteButton = nullptr;
    QListWidget* m_list = nullptr;
    int m_selectionMark = -1;
    int m_reportedRow = -1;       // the row whose selection went to the main window last
    bool m_selectingRow = false;  // the pane selects a row itself
    bool m_changingRows = false;  // rows are added, removed or moved by the pane itself
    bool m_rowDragged = false;    // the list moved a row itself, ahead of the album
    CEdgeAnchors m_anchors;
};
