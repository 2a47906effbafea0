#pragma once

#include <utility>
#include <vector>

#include <QDialog>
#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>

#include "res/dialog_template.h"

class QListWidget;
class QStyle;

// Horizontal and vertical dialog base units: a dialog unit is a quarter of cx across and an
// eighth of cy down.
struct CDialogBaseUnits {
    int cx = 0;
    int cy = 0;
    bool operator==(const CDialogBaseUnits&) const = default;
};

// number x numerator / denominator, rounded half away from zero, as dialog units are rounded.
int MulDiv(int number, int numerator, int denominator);

// The base units of a font, taken as Windows takes them: the average advance of the 52 Latin
// letters, rounded, and the font's character height.
CDialogBaseUnits FontBaseUnits(const QFont& font);

// A rectangle in dialog units as pixels; position and size are converted each on its own.
QRect DialogToPixels(const QRect& units, CDialogBaseUnits base);

// The font of every dialog: the platform's user-interface font, never smaller than the
// template's point size. The templates name fonts the platform need not have.
QFont DialogFont(const CDialogTemplate& dialog);

// A control's text with the mnemonic markers removed ("&&" stays one '&').
QString VisibleText(const char* text);

// The pixels a control needs to show all of its text with the control's own margins; an
// empty size for controls without text.
QSize TextNeed(const CControlTemplate& control, const QFont& font, const QStyle& style);

// Gives a list the look and selection its template asks for; a dialog that makes a list of
// its own class calls it.
void SetUpList(QListWidget& list, const CControlTemplate& control);

// The base units every dialog uses: the dialog font's, raised where the text of some control
// of some template would not fit its rectangle with them. One set for all templates keeps the
// panes exactly as large as the frames their templates were drawn for.
CDialogBaseUnits DialogBaseUnits();

class CTemplateDialog;

// Binds template controls to typed members of their dialog.
class CDataExchange {
public:
    explicit CDataExchange(CTemplateDialog& dialog) : m_dialog(dialog) {}
    QWidget* Control(int id) const;

private:
    CTemplateDialog& m_dialog;
};

// Binds control `id` to `member`; the control must be of that class. A control that the
// member type wants to know about its binding gets PreSubclassWindow().
template <class T>
void DDX_Control(CDataExchange& dx, int id, T*& member) {
    member = qobject_cast<T*>(dx.Control(id));
    if (member == nullptr) {
        qFatal("dialog control %d is missing or not a %s", id, T::staticMetaObject.className());
    }
    if constexpr (requires { member->PreSubclassWindow(); }) {
        member->PreSubclassWindow();
    }
}

// A dialog built from a template: Create() makes its controls, runs DoDataExchange and then
// OnInitDialog. Child templates become widgets inside their parent; the others are windows.
class CTemplateDialog : public QDialog {
    Q_OBJECT
public:
    explicit CTemplateDialog(int templateId, QWidget* parent = nullptr);
    ~CTemplateDialog() override;

    // False when the program has no template of this id, or the dialog was made already.
    [[nodiscard]] bool Create();
    bool IsCreated() const { return m_created; }
    // Makes the dialog if needed and runs it modally; -1 when it cannot be made.
    int DoModal();

    int TemplateId() const { return m_templateId; }
    QWidget* GetDlgItem(int id) const;
    QRect MapDialogRect(const QRect& units) const;
    CDialogBaseUnits BaseUnits() const { return m_baseUnits; }

protected:
    // Makes the widget of one template control as a child of this dialog; a dialog overrides
    // it for controls of its own classes and leaves the rest to this one.
    virtual QWidget* CreateControl(const CControlTemplate& control);
    virtual void DoDataExchange(CDataExchange& dx);
    virtual void OnInitDialog();

private:
    int m_templateId;
    bool m_created = false;
    CDialogBaseUnits m_baseUnits;
    std::vector<std::pair<int, QWidget*>> m_controls;
};
