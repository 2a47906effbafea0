#include "ui/template_layer.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>

#include "res/accessible_texts.h"
#include "ui/resources.h"
#include "ui/scroll_bar.h"
#include "ui/tab_ctrl.h"

namespace {

// The letters whose average advance is a font's horizontal base unit.
constexpr char kBaseUnitLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
// Size of the rectangle the style is asked about when measuring a control's margins.
constexpr int kProbeSize = 200;
// Room kept between a button's text and its frame, so that the text never touches it.
constexpr int kButtonTextPadding = 4;
// The size an icon static shows its icon at.
constexpr int kIconSize = 32;

bool Has(std::uint32_t style, std::uint32_t flag) {
    return (style & flag) != 0;
}

QWidget* MakeEdit(const CControlTemplate& control, QWidget* parent) {
    using namespace ControlStyle;
    if (Has(control.style, kMultiLine)) {
        auto* edit = new QPlainTextEdit(parent);
        edit->setLineWrapMode(Has(control.style, kAutoHScroll) ? QPlainTextEdit::NoWrap
                                                               : QPlainTextEdit::WidgetWidth);
        // No scroll bars in the template: the box scrolls with the caret, as a small box should.
        edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->setTabChangesFocus(true);
        edit->setReadOnly(Has(control.style, kReadOnly));
        if (!Has(control.style, kBorder)) {
            edit->setFrameShape(QFrame::NoFrame);
        }
        edit->setPlainText(QString::fromUtf8(control.text));
        return edit;
    }
    auto* edit = new QLineEdit(QString::fromUtf8(control.text), parent);
    edit->setFrame(Has(control.style, kBorder));
    edit->setReadOnly(Has(control.style, kReadOnly));
    return edit;
}

// Whether a control's text marks a letter as its mnemonic.
bool HasMnemonic(const char* text) {
    return VisibleText(text).size() + 1 == QString::fromUtf8(text).size();
}

QWidget* MakeText(const CControlTemplate& control, QWidget* parent) {
    // A label with a mnemonic keeps its marker; it leads to the control beside it.
    auto* label = new QLabel(
        HasMnemonic(control.text) ? QString::fromUtf8(control.text) : VisibleText(control.text),
        parent);
    label->setTextFormat(Qt::PlainText);
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (Has(control.style, ControlStyle::kAlignCenter)) {
        horizontal = Qt::AlignHCenter;
    } else if (Has(control.style, ControlStyle::kAlignRight)) {
        horizontal = Qt::AlignRight;
    }
    label->setAlignment(horizontal | Qt::AlignTop);
    return label;
}

QWidget* MakeFrame(QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    frame->setLineWidth(1);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    frame->setPalette(palette);
    return frame;
}

QWidget* MakeList(const CControlTemplate& control, QWidget* parent) {
    auto* list = new QListWidget(parent);
    SetUpList(*list, control);
    return list;
}

}  // namespace

void SetUpList(QListWidget& list, const CControlTemplate& control) {
    list.setSelectionMode(Has(control.style, ControlStyle::kSingleSelection)
                              ? QAbstractItemView::SingleSelection
                              : QAbstractItemView::ExtendedSelection);
    list.setWordWrap(!Has(control.style, ControlStyle::kNoLabelWrap));
    list.setUniformItemSizes(true);
    list.setTextElideMode(Qt::ElideRight);
    list.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    if (!Has(control.style, ControlStyle::kBorder)) {
        list.setFrameShape(QFrame::NoFrame);
    }
}

namespace {

QWidget* MakeStandardControl(const CControlTemplate& control, QWidget* parent) {
    const Qt::Orientation orientation =
        Has(control.style, ControlStyle::kVertical) ? Qt::Vertical : Qt::Horizontal;
    switch (control.kind) {
        case ControlKind::Text:
            return MakeText(control, parent);
        case ControlKind::Frame:
            return MakeFrame(parent);
        case ControlKind::Bitmap: {
            auto* label = new QLabel(parent);
            label->setPixmap(LoadBitmapResource(control.image));
            return label;
        }
        case ControlKind::Icon: {
            auto* label = new QLabel(parent);
            label->setPixmap(LoadIconResource(control.image).pixmap(kIconSize, kIconSize));
            return label;
        }
        case ControlKind::GroupBox: {
            auto* box = new QGroupBox(VisibleText(control.text), parent);
            // A group box only frames its neighbours; it must not take their mouse presses.
            box->setAttribute(Qt::WA_TransparentForMouseEvents);
            return box;
        }
        case ControlKind::PushButton:
        case ControlKind::DefPushButton: {
            auto* button = new QPushButton(QString::fromUtf8(control.text), parent);
            button->setDefault(control.kind == ControlKind::DefPushButton);
            return button;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(QString::fromUtf8(control.text), parent);
        case ControlKind::Edit: {
            // Files dropped on an edit box go to its window, as the window's pictures.
            QWidget* edit = MakeEdit(control, parent);
            edit->setAcceptDrops(false);
            return edit;
        }
        case ControlKind::ListView:
            return MakeList(control, parent);
        case ControlKind::TabControl:
            return new CTabCtrl(parent);
        case ControlKind::ScrollBar:
            return new CScrollBar(orientation, parent);
        case ControlKind::Trackbar:
            return new QSlider(orientation, parent);
        case ControlKind::ComboBox: {
            auto* combo = new QComboBox(parent);
            combo->setEditable(!Has(control.style, ControlStyle::kDropDownList));
            const QString items = QString::fromUtf8(control.items);
            if (!items.isEmpty()) {
                combo->addItems(items.split(u'\n'));
            }
            combo->setCurrentIndex(-1);  // nothing chosen until the dialog chooses
            return combo;
        }
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setTextVisible(false);
            return bar;
        }
    }
    return nullptr;
}

// The control a label leads to: the nearest one right of it whose height takes in the
// label's middle and that the keyboard can reach.
QWidget* ControlBeside(const QWidget* label,
                       const std::vector<std::pair<int, QWidget*>>& controls) {
    const QRect at = label->geometry();
    QWidget* nearest = nullptr;
    for (const auto& [id, widget] : controls) {
        const QRect place = widget->geometry();
        if (widget == label || (widget->focusPolicy() & Qt::TabFocus) == 0 ||
            place.left() <= at.left() || place.top() > at.center().y() ||
            place.bottom() < at.center().y()) {
            continue;
        }
        if (nearest == nullptr || place.left() < nearest->x()) {
            nearest = widget;
        }
    }
    return nearest;
}

}  // namespace

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) {
        return -1;
    }
    const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    const std::int64_t magnitude =
        (std::llabs(product) + std::llabs(static_cast<std::int64_t>(denominator)) / 2) /
        std::llabs(static_cast<std::int64_t>(denominator));
    const bool negative = (product < 0) != (denominator < 0);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

CDialogBaseUnits FontBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(QString::fromLatin1(kBaseUnitLetters));
    return CDialogBaseUnits{(letters / 26 + 1) / 2, metrics.height()};
}

QRect DialogToPixels(const QRect& units, CDialogBaseUnits base) {
    return QRect(MulDiv(units.x(), base.cx, 4), MulDiv(units.y(), base.cy, 8),
                 MulDiv(units.width(), base.cx, 4), MulDiv(units.height(), base.cy, 8));
}

QFont DialogFont(const CDialogTemplate& dialog) {
    QFont font = QApplication::font();
    if (font.pointSizeF() > 0 && font.pointSizeF() < dialog.pointSize) {
        font.setPointSizeF(dialog.pointSize);
    }
    return font;
}

QString VisibleText(const char* text) {
    const QString marked = QString::fromUtf8(text);
    QString visible;
    visible.reserve(marked.size());
    for (qsizetype i = 0; i < marked.size(); ++i) {
        if (marked[i] == u'&' && i + 1 < marked.size()) {
            ++i;  // the marker goes, the letter it marks (or a second '&') stays
        }
        visible.append(marked[i]);
    }
    return visible;
}

QSize TextNeed(const CControlTemplate& control, const QFont& font, const QStyle& style) {
    const QString text = VisibleText(control.text);
    if (text.isEmpty()) {
        return {};
    }
    const QFontMetrics metrics(font);
    const int textWidth = metrics.horizontalAdvance(text);
    const int textHeight = metrics.height();
    switch (control.kind) {
        case ControlKind::Text:
            return {textWidth, textHeight};
        case ControlKind::PushButton:
        case ControlKind::DefPushButton: {
            QStyleOptionButton option;
            option.rect = QRect(0, 0, kProbeSize, kProbeSize);
            option.fontMetrics = metrics;
            option.text = text;
            if (control.kind == ControlKind::DefPushButton) {
                option.features |= QStyleOptionButton::DefaultButton;
            }
            const QRect contents = style.subElementRect(QStyle::SE_PushButtonContents, &option);
            return {textWidth + kProbeSize - contents.width() + kButtonTextPadding,
                    textHeight + kProbeSize - contents.height()};
        }
        case ControlKind::CheckBox: {
            QStyleOptionButton option;
            option.rect = QRect(0, 0, kProbeSize, kProbeSize);
            option.fontMetrics = metrics;
            option.text = text;
            const QRect contents = style.subElementRect(QStyle::SE_CheckBoxContents, &option);
            return {contents.left() + textWidth,
                    std::max(textHeight, style.pixelMetric(QStyle::PM_IndicatorHeight))};
        }
        case ControlKind::GroupBox: {
            QStyleOptionGroupBox option;
            option.rect = QRect(0, 0, kProbeSize, kProbeSize);
            option.fontMetrics = metrics;
            option.text = text;
            option.textAlignment = Qt::AlignLeft;
            option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
            const QRect label =
                style.subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel);
            return {label.right() + 1 + label.left(), label.bottom() + 1};
        }
        default:
            return {};
    }
}

CDialogBaseUnits DialogBaseUnits() {
    CDialogBaseUnits base;
    const QStyle& style = *QApplication::style();
    for (const CDialogTemplate& dialog : AllDialogTemplates()) {
        const QFont font = DialogFont(dialog);
        const CDialogBaseUnits fontBase = FontBaseUnits(font);
        base.cx = std::max(base.cx, fontBase.cx);
        base.cy = std::max(base.cy, fontBase.cy);
        for (const CControlTemplate& control : dialog.controls) {
            const QSize need = TextNeed(control, font, style);
            if (need.isEmpty() || control.cx <= 0 || control.cy <= 0) {
                continue;
            }
            while (MulDiv(control.cx, base.cx, 4) < need.width()) {
                ++base.cx;
            }
            while (MulDiv(control.cy, base.cy, 8) < need.height()) {
                ++base.cy;
            }
        }
    }
    return base;
}

QWidget* CDataExchange::Control(int id) const {
    return m_dialog.GetDlgItem(id);
}

CTemplateDialog::CTemplateDialog(int templateId, QWidget* parent)
    : QDialog(parent), m_templateId(templateId) {}

CTemplateDialog::~CTemplateDialog() = default;

bool CTemplateDialog::Create() {
    const CDialogTemplate* dialog = FindDialogTemplate(m_templateId);
    if (m_created || dialog == nullptr) {
        return false;
    }
    m_baseUnits = DialogBaseUnits();
    setFont(DialogFont(*dialog));
    setWindowTitle(QString::fromUtf8(dialog->caption));

    const QSize client = MapDialogRect(QRect(0, 0, dialog->cx, dialog->cy)).size();
    if ((dialog->style & DialogStyle::kChild) != 0) {
        setWindowFlags(Qt::Widget);
        // A pane paints its own background over whatever frame it sits in.
        setAutoFillBackground(true);
        resize(client);
    } else {
        Qt::WindowFlags flags =
            (dialog->style & DialogStyle::kAppWindow) != 0 ? Qt::Window : Qt::Dialog;
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        if ((dialog->style & DialogStyle::kSystemMenu) != 0) {
            flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        }
        if ((dialog->style & DialogStyle::kMinimizeBox) != 0) {
            flags |= Qt::WindowMinimizeButtonHint;
        }
        setWindowFlags(flags);
        if ((dialog->style & DialogStyle::kModalFrame) != 0) {
            setFixedSize(client);
        } else {
            resize(client);
        }
    }

    std::vector<std::pair<const CControlTemplate*, QWidget*>> made;
    for (const CControlTemplate& control : dialog->controls) {
        QWidget* widget = CreateControl(control);
        if (widget == nullptr) {
            continue;
        }
        made.emplace_back(&control, widget);
        QRect rect = MapDialogRect(QRect(control.x, control.y, control.cx, control.cy));
        if (control.kind == ControlKind::ComboBox) {
            // The template's height includes the open list; the box itself is one line high.
            rect.setHeight(widget->sizeHint().height());
        }
        if (control.kind == ControlKind::Bitmap || control.kind == ControlKind::Icon) {
            // A picture static takes the size of its picture.
            if (auto* label = qobject_cast<QLabel*>(widget); label && !label->pixmap().isNull()) {
                rect.setSize(label->pixmap().deviceIndependentSize().toSize());
            }
        }
        widget->setGeometry(rect);
        widget->setEnabled((control.style & ControlStyle::kDisabled) == 0);
        if ((control.style & ControlStyle::kTabStop) == 0 && widget->focusPolicy() != Qt::NoFocus) {
            widget->setFocusPolicy(Qt::ClickFocus);
        }
        // The first control of a template lies on top of the later ones.
        widget->lower();
        m_controls.emplace_back(control.id, widget);
    }
    for (const auto& [control, widget] : made) {
        if (control->kind == ControlKind::Text && HasMnemonic(control->text)) {
            if (QWidget* buddy = ControlBeside(widget, m_controls)) {
                static_cast<QLabel*>(widget)->setBuddy(buddy);
            }
        }
        if (const CAccessibleText* text = FindAccessibleText(m_templateId, control->id)) {
            if (text->name != nullptr) {
                widget->setAccessibleName(QString::fromUtf8(text->name));
            }
            widget->setAccessibleDescription(QString::fromUtf8(text->description));
        }
    }
    m_created = true;

    CDataExchange exchange(*this);
    DoDataExchange(exchange);
    OnInitDialog();
    return true;
}

int CTemplateDialog::DoModal() {
    if (!m_created && !Create()) {
        return -1;
    }
    return exec();
}

QWidget* CTemplateDialog::GetDlgItem(int id) const {
    for (const auto& [controlId, widget] : m_controls) {
        if (controlId == id && id != -1) {
            return widget;
        }
    }
    return nullptr;
}

QRect CTemplateDialog::MapDialogRect(const QRect& units) const {
    return DialogToPixels(units, m_baseUnits);
}

QWidget* CTemplateDialog::CreateControl(const CControlTemplate& control) {
    return MakeStandardControl(control, this);
}

void CTemplateDialog::DoDataExchange(CDataExchange&) {}

void CTemplateDialog::OnInitDialog() {}
