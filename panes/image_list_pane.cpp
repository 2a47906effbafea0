#include "panes/image_list_pane.h"

#include <algorithm>
#include <filesystem>

#include <QDir>
#include <QDrag>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QListWidget>
#include <QStyle>

#include "edit/album_document.h"
#include "imaging/picture_formats.h"
#include "panes/album_editor.h"
#include "platform/registry.h"
#include "platform/system_path.h"
#include "res/resource.h"
#include "res/string_table.h"
#include "ui/file_dialogs.h"
#include "ui/tool_tip_button.h"

namespace {

// Sets a flag for as long as it lives.
class CFlagScope {
public:
    explicit CFlagScope(bool& flag) : m_flag(flag), m_was(flag) { m_flag = true; }
    ~CFlagScope() { m_flag = m_was; }
    CFlagScope(const CFlagScope&) = delete;
    CFlagScope& operator=(const CFlagScope&) = delete;

private:
    bool& m_flag;
    bool m_was;
};

// The picture list. A row dragged to a new place stays where it is until it is dropped, with
// the line where it will go; no copy of it follows the mouse over the rows it passes.
class CPictureList : public QListWidget {
public:
    using QListWidget::QListWidget;

protected:
    void startDrag(Qt::DropActions actions) override {
        const QModelIndexList rows = selectedIndexes();
        if (rows.isEmpty()) {
            return;
        }
        auto* drag = new QDrag(this);
        drag->setMimeData(model()->mimeData(rows));
        // The drop moves the row itself; nothing is taken away here afterwards.
        drag->exec(actions, Qt::MoveAction);
    }
};

// Where a row stands once the row at `from` has moved to `to`.
int RowAfterMove(int row, int from, int to) {
    if (row == from) {
        return to;
    }
    if (from < row && row <= to) {
        return row - 1;
    }
    if (to <= row && row < from) {
        return row + 1;
    }
    return row;
}

}  // namespace

CImageListPane::CImageListPane(QWidget* parent) : CPaneDialog(IDD_IMAGE_LIST_PANE, parent) {}

QWidget* CImageListPane::CreateControl(const CControlTemplate& control) {
    switch (control.id) {
        case IDC_ADD_FILES:
        case IDC_DELETE:
        case IDC_SET_ICON:
            return new CToolTipButton(QString::fromUtf8(control.text), this);
        case IDC_IMAGE_LIST: {
            auto* list = new CPictureList(this);
            SetUpList(*list, control);
            return list;
        }
        default:
            return CPaneDialog::CreateControl(control);
    }
}

void CImageListPane::DoDataExchange(CDataExchange& dx) {
    DDX_Control(dx, IDC_ADD_FILES, m_addButton);
    DDX_Control(dx, IDC_SET_ICON, m_iconButton);
    DDX_Control(dx, IDC_DELETE, m_deleteButton);
    DDX_Control(dx, IDC_IMAGE_LIST, m_list);
}

void CImageListPane::OnInitDialog() {
    m_addButton->UpdateTipText(LoadResString(IDS_TIP_ADD_FILES), CToolTipButton::kToolId);
    m_iconButton->UpdateTipText(LoadResString(IDS_TIP_SET_ICON), CToolTipButton::kToolId);
    m_deleteButton->UpdateTipText(LoadResString(IDS_TIP_DELETE), CToolTipButton::kToolId);

    // Message map.
    connect(m_addButton, &QPushButton::clicked, this, &CImageListPane::OnAddFiles);
    connect(m_deleteButton, &QPushButton::clicked, this, &CImageListPane::OnDelete);
    connect(m_iconButton, &QPushButton::clicked, this, &CImageListPane::OnSetIcon);
    connect(m_list, &QListWidget::itemSelectionChanged, this, &CImageListPane::OnItemChanged);
    connect(m_list, &QListWidget::currentRowChanged, this, &CImageListPane::OnItemChanged);

    m_list->setTextElideMode(Qt::ElideMiddle);
    // Rows are dragged to reorder the album; the keyboard moves and deletes too.
    m_list->setDragDropMode(QAbstractItemView::InternalMove);
    m_list->setDefaultDropAction(Qt::MoveAction);
    connect(m_list->model(), &QAbstractItemModel::rowsMoved, this,
            [this](const QModelIndex&, int start, int, const QModelIndex&, int row) {
                OnRowsMoved(start, row > start ? row - 1 : row);
            });
    m_list->installEventFilter(this);
    // The list takes whatever room the pane is given; its buttons keep to its right edge.
    m_anchors.Add(m_list, CEdgeAnchors::kStretchRight | CEdgeAnchors::kStretchDown, size());
    for (QWidget* button : {m_addButton, m_deleteButton, m_iconButton}) {
        m_anchors.Add(button, CEdgeAnchors::kMoveRight, size());
    }
}

bool CImageListPane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::AltModifier &&
            (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            MoveSelected(key->key() == Qt::Key_Up ? -1 : 1);
            return true;
        }
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
            OnDelete();
            return true;
        }
    }
    return CPaneDialog::eventFilter(watched, event);
}

void CImageListPane::resizeEvent(QResizeEvent* event) {
    CPaneDialog::resizeEvent(event);
    m_anchors.Apply(size());
}

void CImageListPane::SetOwner(CAlbumEditor* owner) {
    m_owner = owner;
    if (owner == nullptr) {
        return;
    }
    CAlbumDocument& document = owner->Document();
    connect(&document, &CAlbumDocument::entriesInserted, this, &CImageListPane::InsertRows);
    connect(&document, &CAlbumDocument::entriesRemoved, this, &CImageListPane::RemoveRows);
    connect(&document, &CAlbumDocument::entryMoved, this, &CImageListPane::MoveRow);
    connect(&document, &CAlbumDocument::albumReplaced, this, &CImageListPane::RebuildRows);
}

void CImageListPane::MoveSelected(int step) {
    const int row = GetSelectedRow();
    const int to = row + step;
    if (row < 0 || to < 0 || to >= m_list->count() || m_owner == nullptr) {
        return;
    }
    (void)m_owner->MoveImage(static_cast<std::int16_t>(row), static_cast<std::int16_t>(to));
}

void CImageListPane::MoveRow(int from, int to) {
    if (m_rowDragged) {
        return;  // the drag moved the row already
    }
    if (from == to || from < 0 || to < 0 || from >= m_list->count() || to >= m_list->count()) {
        return;
    }
    CFlagScope changing(m_changingRows);
    const bool selected = GetSelectedRow() == from;
    QListWidgetItem* item = m_list->takeItem(from);
    m_list->insertItem(to, item);
    m_selectionMark = RowAfterMove(m_selectionMark, from, to);
    m_reportedRow = RowAfterMove(m_reportedRow, from, to);
    if (selected) {
        m_list->setCurrentRow(to, QItemSelectionModel::ClearAndSelect);
    }
}

void CImageListPane::OnRowsMoved(int from, int to) {
    if (m_changingRows || m_owner == nullptr) {
        return;
    }
    // The list moved the row itself (a drag); the marks follow it, then the album.
    m_selectionMark = RowAfterMove(m_selectionMark, from, to);
    m_reportedRow = RowAfterMove(m_reportedRow, from, to);
    CFlagScope dragged(m_rowDragged);
    (void)m_owner->MoveImage(static_cast<std::int16_t>(from), static_cast<std::int16_t>(to));
}

void CImageListPane::InsertRows(int first, int count) {
    const CAlbumDocument& document = m_owner->Document();
    {
        CFlagScope changing(m_changingRows);
        for (int row = first; row < first + count; ++row) {
            const std::string& source = document.Entry(row)->m_sourcePath;
            const QString path = PathFromSystem(source);
            // The row shortens the path in its middle to the list's width; the tip is whole.
            auto* item = new QListWidgetItem(QDir::toNativeSeparators(path));
            item->setToolTip(item->text());
            item->setData(Qt::UserRole, item->toolTip());
            m_list->insertItem(row, item);
            std::error_code ec;
            if (!std::filesystem::is_regular_file(source, ec)) {
                MarkMissing(row, QStringLiteral("not found"));
            }
        }
    }
    const auto shift = [first, count](int& row) {
        if (row >= first) {
            row += count;
        }
    };
    shift(m_selectionMark);
    shift(m_reportedRow);
    EnableItems(m_list->count() > 0);
}

void CImageListPane::RemoveRows(int first, int count) {
    {
        CFlagScope changing(m_changingRows);
        for (int i = 0; i < count; ++i) {
            delete m_list->takeItem(first);
        }
    }
    // Rows below the removed ones move up, and so do the marks that point at them.
    const auto shift = [first, count](int& row) {
        if (row >= first && row < first + count) {
            row = -1;
        } else if (row >= first + count) {
            row -= count;
        }
    };
    shift(m_selectionMark);
    shift(m_reportedRow);
    EnableItems(m_list->count() > 0);
}

void CImageListPane::RebuildRows() {
    {
        CFlagScope changing(m_changingRows);
        m_list->clear();
    }
    m_selectionMark = -1;
    m_reportedRow = -1;
    InsertRows(0, m_owner->Document().Count());
}

void CImageListPane::EnableItems(bool enable) {
    m_list->setEnabled(enable);
    m_deleteButton->setEnabled(enable);
    m_iconButton->setEnabled(enable);
}

void CImageListPane::MarkMissing(int row, const QString& why) {
    QListWidgetItem* item = m_list->item(row);
    if (item == nullptr) {
        return;
    }
    const QString path = item->data(Qt::UserRole).toString();
    // Not by colour alone: a missing file also shows the warning sign.
    item->setForeground(why.isEmpty() ? QBrush() : QBrush(Qt::red));
    item->setIcon(why.isEmpty() ? QIcon() : style()->standardIcon(QStyle::SP_MessageBoxWarning));
    item->setData(Qt::AccessibleTextRole, why.isEmpty() ? path : path + QStringLiteral(", ") + why);
    item->setToolTip(why.isEmpty() ? path : path + QStringLiteral("\n") + why);
    item->setData(Qt::UserRole + 1, !why.isEmpty());
}

bool CImageListPane::IsMarkedMissing(int row) const {
    const QListWidgetItem* item = m_list->item(row);
    return item != nullptr && item->data(Qt::UserRole + 1).toBool();
}

int CImageListPane::GetItemCount() const {
    return m_list->count();
}

QString CImageListPane::GetItemText(int row) const {
    const QListWidgetItem* item = m_list->item(row);
    return item != nullptr ? item->text() : QString();
}

void CImageListPane::SelectRow(int row) {
    QListWidgetItem* item = m_list->item(row);
    if (item == nullptr) {
        return;
    }
    CFlagScope selecting(m_selectingRow);
    m_list->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    m_list->scrollToItem(item);
}

int CImageListPane::GetSelectedRow() const {
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->row(selected.first());
}

void CImageListPane::SetSelectionMark(int row) {
    m_selectionMark = row >= 0 && row < m_list->count() ? row : -1;
}

int CImageListPane::ActionRow() const {
    if (m_selectionMark >= 0 && m_selectionMark < m_list->count()) {
        return m_selectionMark;
    }
    return GetSelectedRow();
}

void CImageListPane::OnAddFiles() {
    QFileDialog dialog(this);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    PrepareFileDialog(dialog, PictureDialogFilter().c_str(), kPictureFolderSetting);
    if (dialog.exec() != QDialog::Accepted || m_owner == nullptr) {
        return;
    }
    // The next Add Files opens where this one ended, in this run and the next ones.
    KeepFolder(dialog.directory().absolutePath(), kPictureFolderSetting);
    const int first = m_list->count();
    m_owner->BeginEditGroup(QStringLiteral("Add Pictures"));
    bool refused = false;
    for (const QString& path : dialog.selectedFiles()) {
        // A refused file ends the batch; the files before it stay in the album, and neither
        // the shown picture nor the icon changes.
        if (!m_owner->AddImage(path)) {
            refused = true;
            break;
        }
    }
    m_owner->EndEditGroup();
    if (refused || m_list->count() == first) {
        return;
    }
    SelectRow(first);
    SetSelectionMark(first);
    m_owner->SelectImage(static_cast<std::int16_t>(first));
    // The first new picture becomes the icon, a step of its own that Undo takes back alone.
    m_owner->SetAlbumIcon(static_cast<std::int16_t>(first));
    SelectRow(first);
    SetSelectionMark(first);
}

void CImageListPane::OnItemChanged() {
    if (m_changingRows) {
        return;
    }
    const int row = m_list->currentRow();
    const QListWidgetItem* item = m_list->item(row);
    if (item == nullptr || !item->isSelected()) {
        if (m_list->selectedItems().isEmpty()) {
            m_reportedRow = -1;  // selecting that row again shows it again
        }
        return;
    }
    m_selectionMark = row;
    if (row == m_reportedRow) {
        return;
    }
    m_reportedRow = row;
    if (!m_selectingRow && m_owner != nullptr) {
        m_owner->SelectImage(static_cast<std::int16_t>(row));
    }
}

void CImageListPane::OnDelete() {
    const int row = ActionRow();
    if (row < 0 || m_owner == nullptr) {
        return;
    }
    // Deleting the last picture starts a new album; one Undo brings both back.
    m_owner->BeginEditGroup(QStringLiteral("Delete Picture"));
    (void)m_owner->DeleteImage(static_cast<std::int16_t>(row));
    const int count = m_list->count();
    if (count == 0) {
        m_owner->ResetAll();
    }
    m_owner->EndEditGroup();
    if (count == 0) {
        return;
    }
    const int next = std::min(row, count - 1);
    SelectRow(next);
    SetSelectionMark(next);
    m_owner->SelectImage(static_cast<std::int16_t>(next));
}

void CImageListPane::OnSetIcon() {
    const int row = ActionRow();
    if (row >= 0 && m_owner != nullptr) {
        m_owner->SetAlbumIcon(static_cast<std::int16_t>(row));
    }
}
