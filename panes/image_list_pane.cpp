#include "panes/image_list_pane.h"

#include <algorithm>

#include <QFileDialog>
#include <QFileInfo>
#include <QListWidget>

#include "panes/album_editor.h"
#include "platform/registry.h"
#include "platform/system_path.h"
#include "ui/tool_tip_button.h"
#include "res/resource.h"
#include "res/string_table.h"

namespace {

// The settings value that keeps the folder Add Files last showed.
constexpr char kPictureFolderSetting[] = "picture folder";

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

}  // namespace

QStringList FileDialogFilters(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) {
            break;  // the closing "||"
        }
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
        }
        filters << parts[i] + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return filters;
}

CImageListPane::CImageListPane(QWidget* parent) : CPaneDialog(IDD_IMAGE_LIST_PANE, parent) {}

QWidget* CImageListPane::CreateControl(const CControlTemplate& control) {
    switch (control.id) {
        case IDC_ADD_FILES:
        case IDC_DELETE:
        case IDC_SET_ICON:
            return new CToolTipButton(QString::fromUtf8(control.text), this);
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
}

bool CImageListPane::AddItem(const QString& text) {
    if (m_list->count() >= kMaxRows) {
        return false;
    }
    {
        CFlagScope changing(m_changingRows);
        m_list->addItem(text);
    }
    EnableItems(true);
    return true;
}

void CImageListPane::EnableItems(bool enable) {
    m_list->setEnabled(enable);
    m_deleteButton->setEnabled(enable);
    m_iconButton->setEnabled(enable);
}

bool CImageListPane::DeleteItem(std::int16_t index) {
    if (index < 0 || index >= m_list->count()) {
        return false;
    }
    {
        CFlagScope changing(m_changingRows);
        delete m_list->takeItem(index);
    }
    // Rows below the deleted one move up, and so do the marks that point at them.
    const auto shift = [index](int& row) {
        if (row == index) {
            row = -1;
        } else if (row > index) {
            --row;
        }
    };
    shift(m_selectionMark);
    shift(m_reportedRow);
    return true;
}

void CImageListPane::DeleteAllItems() {
    CFlagScope changing(m_changingRows);
    m_list->clear();
    m_selectionMark = -1;
    m_reportedRow = -1;
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
    const QString folder = PathFromSystem(ReadProgramSetting(kPictureFolderSetting));
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
        dialog.setDirectory(folder);
    }
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(FileDialogFilters(QString::fromLatin1(kAddFilesFilter)));
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (dialog.exec() != QDialog::Accepted || m_owner == nullptr) {
        return;
    }
    // The next Add Files opens where this one ended, in this run and the next ones.
    (void)WriteProgramSetting(kPictureFolderSetting,
                              PathToSystem(dialog.directory().absolutePath()));
    const int first = m_list->count();
    for (const QString& path : dialog.selectedFiles()) {
        // A refused file ends the batch; the files before it stay in the album.
        if (!m_owner->AddImage(path)) {
            return;
        }
    }
    if (m_list->count() == first) {
        return;
    }
    SelectRow(first);
    SetSelectionMark(first);
    m_owner->SelectImage(static_cast<std::int16_t>(first));
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
    (void)m_owner->DeleteImage(static_cast<std::int16_t>(row));
    const int count = m_list->count();
    if (count == 0) {
        m_owner->ResetAll();
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
