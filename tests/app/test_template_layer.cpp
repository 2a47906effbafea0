#include <gtest/gtest.h>
#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTabBar>
#include <QTest>
#include <QToolTip>

#include "app/main_window_fixture.h"
#include "app/tool_tip_button.h"
#include "res/resource.h"
#include "res/tab_ctrl.h"
#include "res/template_layer.h"

namespace {

TEST(TemplateLayerTest, DialogUnitsRoundHalfAwayFromZero) {
    EXPECT_EQ(MulDiv(10, 14, 8), 18);  // 17.5
    EXPECT_EQ(MulDiv(5, 7, 4), 9);     // 8.75
    EXPECT_EQ(MulDiv(3, 6, 4), 5);     // 4.5
    EXPECT_EQ(MulDiv(-3, 6, 4), -5);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(DialogToPixels(QRect(5, 40, 145, 210), CDialogBaseUnits{6, 13}),
              QRect(8, 65, 218, 341));
}

TEST(TemplateLayerTest, MnemonicMarkersAreNotShown) {
    EXPECT_EQ(VisibleText("&About Tavelo Desktop..."), "About Tavelo Desktop...");
    EXPECT_EQ(VisibleText("Fish && Chips"), "Fish & Chips");
}

// Every text of the widget lies wholly inside the room its control gives it.
void ExpectReadable(QWidget* widget, const QString& where) {
    if (auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty()) {
        const QFontMetrics metrics(label->font());
        EXPECT_LE(metrics.horizontalAdvance(label->text()), label->contentsRect().width())
            << where.toStdString() << ": " << label->text().toStdString();
        EXPECT_LE(metrics.height(), label->contentsRect().height()) << where.toStdString();
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect contents =
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        const QFontMetrics metrics(button->font());
        EXPECT_LE(metrics.horizontalAdvance(VisibleText(button->text().toUtf8().constData())),
                  contents.width())
            << where.toStdString() << ": " << button->text().toStdString();
        EXPECT_LE(metrics.height(), contents.height()) << where.toStdString();
    } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect label = box->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                         QStyle::SC_GroupBoxLabel, box);
        EXPECT_LE(QFontMetrics(box->font()).horizontalAdvance(box->title()), label.width())
            << where.toStdString();
        EXPECT_TRUE(box->rect().contains(label)) << where.toStdString();
    }
}

// Every control lies inside the dialog, and every text inside its control.
void ExpectTemplatesReadable() {
    for (const CDialogTemplate& dialogTemplate : AllDialogTemplates()) {
        CTemplateDialog dialog(dialogTemplate.id);
        ASSERT_TRUE(dialog.Create());
        const QString where = QStringLiteral("template %1").arg(dialogTemplate.id);
        const auto controls = dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        ASSERT_EQ(controls.size(), static_cast<qsizetype>(dialogTemplate.controls.size()))
            << where.toStdString();
        for (QWidget* control : controls) {
            EXPECT_TRUE(dialog.rect().contains(control->geometry())) << where.toStdString();
            ExpectReadable(control, where);
        }
    }
}

TEST(TemplateLayerTest, EveryTextOfEveryTemplateIsWhollyShown) {
    ExpectTemplatesReadable();
}

TEST(TemplateLayerTest, EveryTextIsWhollyShownWithLargeAndSmallFonts) {
    const QFont original = QApplication::font();
    for (const int points : {14, 6}) {
        QFont font = original;
        font.setPointSize(points);
        QApplication::setFont(font);
        ExpectTemplatesReadable();
    }
    QApplication::setFont(original);
}

TEST(TemplateLayerTest, BaseUnitsFollowTheFont) {
    const QFont original = QApplication::font();
    const CDialogBaseUnits normal = DialogBaseUnits();
    QFont large = original;
    large.setPointSize(original.pointSize() * 2);
    QApplication::setFont(large);
    const CDialogBaseUnits doubled = DialogBaseUnits();
    QApplication::setFont(original);
    EXPECT_GT(doubled.cx, normal.cx * 3 / 2);
    EXPECT_GT(doubled.cy, normal.cy * 3 / 2);
    // The font's own units are never cut down.
    EXPECT_GE(normal.cx, FontBaseUnits(original).cx);
    EXPECT_GE(normal.cy, FontBaseUnits(original).cy);
}

using PaneLayoutTest = MainWindowTest;

TEST_F(PaneLayoutTest, EveryControlOfAPaneLiesInsideItsFrame) {
    CMainDlg& dialog = Dialog();
    const std::pair<QWidget*, int> panes[] = {{&dialog.PreviewPane(), IDC_PREVIEW_FRAME},
                                              {&dialog.AlbumInfoPane(), IDC_ALBUM_INFO_FRAME},
                                              {&dialog.ImageListPane(), IDC_IMAGE_LIST_FRAME}};
    for (const auto& [pane, frameId] : panes) {
        QWidget* frame = dialog.GetDlgItem(frameId);
        ASSERT_EQ(pane->parentWidget(), frame);
        EXPECT_EQ(pane->pos(), QPoint(0, 0));
        for (const QWidget* control :
             pane->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            const QRect inFrame(pane->mapTo(frame, control->pos()), control->size());
            EXPECT_TRUE(frame->rect().contains(inFrame)) << frameId;
        }
    }
}

TEST(TabCtrlTest, OnlyTheUsersChoiceOfTabIsReported) {
    CTabCtrl tabs;
    tabs.resize(300, 200);
    tabs.InsertItem(0, "Annotation");
    tabs.InsertItem(1, "Color");
    tabs.InsertItem(2, "Size");
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
    EXPECT_EQ(tabs.ClientArea().bottom(), tabs.height() - 1);
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
