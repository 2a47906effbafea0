#include <QFontMetrics>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTabBar>
#include <QToolTip>

#include "app/main_window_fixture.h"
#include "res/resource.h"
#include "ui/tab_ctrl.h"
#include "ui/template_layer.h"

namespace {

TEST(TemplateLayerTest, DialogUnitsRoundHalfAwayFromZeroAndMnemonicsAreNotShown) {
    EXPECT_EQ(MulDiv(10, 14, 8), 18);  // 17.5
    EXPECT_EQ(MulDiv(5, 7, 4), 9);     // 8.75
    EXPECT_EQ(MulDiv(-3, 6, 4), -5);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(DialogToPixels(QRect(5, 40, 145, 210), CDialogBaseUnits{6, 13}),
              QRect(8, 65, 218, 341));
    EXPECT_EQ(VisibleText("&About Tavelo Desktop..."), "About Tavelo Desktop...");
    EXPECT_EQ(VisibleText("Fish && Chips"), "Fish & Chips");
}

// The text a control shows and the room it gives it; no text for controls without one.
std::pair<QString, QRect> TextAndRoom(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        // A label that leads to a control shows its mnemonic underlined, not as '&'.
        const QString text = label->buddy() != nullptr
                                 ? VisibleText(label->text().toUtf8().constData())
                                 : label->text();
        return {text, label->contentsRect()};
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        return {VisibleText(button->text().toUtf8().constData()),
                button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button)};
    }
    if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect label = box->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                         QStyle::SC_GroupBoxLabel, box);
        return {box->title(), box->rect().contains(label) ? label : QRect()};
    }
    return {};
}

// Every control lies inside its dialog and every text wholly inside its control, at the
// platform's font and at a large and a small one; the dialog units follow the font.
TEST(TemplateLayerTest, EveryTextOfEveryTemplateIsWhollyShownAtAnyFontSize) {
    const QFont original = QApplication::font();
    const CDialogBaseUnits normal = DialogBaseUnits();
    EXPECT_GE(normal.cx, FontBaseUnits(original).cx);
    EXPECT_GE(normal.cy, FontBaseUnits(original).cy);
    for (const int points : {original.pointSize(), original.pointSize() * 2, 6}) {
        QFont font = original;
        font.setPointSize(points);
        QApplication::setFont(font);
        if (points == original.pointSize() * 2) {
            EXPECT_GT(DialogBaseUnits().cx, normal.cx * 3 / 2);
            EXPECT_GT(DialogBaseUnits().cy, normal.cy * 3 / 2);
        }
        for (const CDialogTemplate& dialogTemplate : AllDialogTemplates()) {
            CTemplateDialog dialog(dialogTemplate.id);
            ASSERT_TRUE(dialog.Create());
            const auto controls =
                dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
            EXPECT_EQ(controls.size(), static_cast<qsizetype>(dialogTemplate.controls.size()));
            for (QWidget* control : controls) {
                const auto [text, room] = TextAndRoom(control);
                const QFontMetrics metrics(control->font());
                const std::string where = std::to_string(dialogTemplate.id) + " at " +
                                          std::to_string(points) + " points: " + text.toStdString();
                EXPECT_TRUE(dialog.rect().contains(control->geometry())) << where;
                EXPECT_LE(metrics.horizontalAdvance(text), room.width()) << where;
                EXPECT_TRUE(text.isEmpty() || metrics.height() <= room.height()) << where;
            }
        }
    }
    QApplication::setFont(original);
}

using PaneLayoutTest = MainWindowTest;

TEST_F(PaneLayoutTest, EveryControlOfAPaneLiesInsideItsFrame) {
    const std::pair<QWidget*, int> panes[] = {{&Dialog().PreviewPane(), IDC_PREVIEW_FRAME},
                                              {&Info(), IDC_ALBUM_INFO_FRAME},
                                              {&List(), IDC_IMAGE_LIST_FRAME}};
    for (const auto& [pane, frameId] : panes) {
        QWidget* frame = Dialog().GetDlgItem(frameId);
        ASSERT_EQ(pane->parentWidget(), frame);
        EXPECT_EQ(pane->pos(), QPoint(0, 0));
        for (const QWidget* control :
             pane->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            EXPECT_TRUE(frame->rect().contains(control->geometry())) << frameId;
        }
    }
}

TEST(TabCtrlTest, OnlyTheUsersChoiceOfTabIsReported) {
    CTabCtrl tabs;
    tabs.resize(300, 200);
    for (const char* name : {"Annotation", "Color", "Size"}) {
        tabs.InsertItem(tabs.TabBar()->count(), name);
    }
    QSignalSpy changes(&tabs, &CTabCtrl::selChange);
    tabs.SetCurSel(2);
    EXPECT_EQ(tabs.GetCurSel(), 2);
    EXPECT_EQ(changes.count(), 0);
    tabs.show();
    QTest::mouseClick(tabs.TabBar(), Qt::LeftButton, Qt::NoModifier,
                      tabs.TabBar()->tabRect(1).center());
    EXPECT_EQ(tabs.GetCurSel(), 1);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(tabs.ClientArea().top(), tabs.TabBar()->height());
}

// The tip that hovering over the button at `point` shows: the button's own, or the window's
// when the button leaves the point to its window.
QString TipAt(CToolTipButton& button, QPoint point) {
    QToolTip::showText(QPoint(0, 0), "nothing yet");
    QHelpEvent help(QEvent::ToolTip, point, button.mapToGlobal(point));
    QApplication::sendEvent(&button, &help);
    return QToolTip::text();
}

TEST(ToolTipButtonTest, TipShowsOverTheAreaTheButtonHadWhenBound) {
    QWidget window;
    window.resize(300, 100);
    window.setToolTip("window");
    auto* button = new CToolTipButton("Delete", &window);
    button->setGeometry(0, 0, 60, 20);
    window.show();
    button->PreSubclassWindow();
    EXPECT_EQ(TipAt(*button, QPoint(10, 10)), "window");  // no text yet
    button->UpdateTipText("Delete the selected image", 2);
    EXPECT_TRUE(button->TipText().isEmpty());
    button->UpdateTipText("Delete the selected image", CToolTipButton::kToolId);
    EXPECT_EQ(TipAt(*button, QPoint(10, 10)), "Delete the selected image");
    button->resize(120, 20);
    EXPECT_EQ(TipAt(*button, QPoint(100, 10)), "window");
    EXPECT_EQ(TipAt(*button, QPoint(59, 19)), "Delete the selected image");
    QToolTip::hideText();
}

}  // namespace
