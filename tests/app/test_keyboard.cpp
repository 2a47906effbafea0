#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <map>
#include <set>

#include "app/about_dlg.h"
#include "app/album_viewer_dlg.h"
#include "app/main_window_fixture.h"
#include "app/save_progress_dlg.h"
#include "panes/album_info_pane.h"
#include "panes/color_page.h"
#include "panes/size_page.h"
#include "res/resource.h"
#include "ui/tab_ctrl.h"
#include "ui/tool_tip_button.h"

namespace {

class KeyboardTest : public MainWindowTest {
protected:
    void ShowActive() {
        Dialog().show();
        Dialog().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Dialog()));
    }
    QWidget* Item(const CTemplateDialog& dialog, int id) { return dialog.GetDlgItem(id); }
    QWidget* MainItem(int id) { return Item(Dialog(), id); }
    // Where Tab takes the focus from `start` until it comes back to it.
    std::vector<QWidget*> TabWalk(QWidget* start) {
        start->setFocus(Qt::TabFocusReason);
        std::vector<QWidget*> seen{QApplication::focusWidget()};
        for (int i = 0; i < 60; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (QApplication::focusWidget() == seen.front()) {
                break;
            }
            seen.push_back(QApplication::focusWidget());
        }
        return seen;
    }
    void SelectPage(int page) { Preview().TabControl()->TabBar()->setCurrentIndex(page); }
};

std::string Name(const QWidget* widget) {
    return widget == nullptr ? "none"
                             : std::string(widget->metaObject()->className()) + " " +
                                   widget->accessibleName().toStdString();
}

}  // namespace

TEST_F(KeyboardTest, TabGoesFromThePicturesToTheTextThePreviewItsPageAndTheCommands) {
    AddHandheldUser("Alice");
    ShowActive();
    Drop({Sample(3)});
    WaitForPicture();
    const CColorPage& color = Preview().ColorPage();
    const CTemplateDialog& size = Preview().SizePage();
    const std::vector<QWidget*> head = {List().List(),           List().AddButton(),
                                        List().DeleteButton(),   List().IconButton(),
                                        Info().TitleBox(),       Info().NoteBox(),
                                        Preview().PictureArea(), Preview().TabControl()->TabBar()};
    const std::vector<QWidget*> tail = {
        MainItem(IDC_RESET),      MainItem(IDC_SAVE), MainItem(IDC_SEND_TO_HOTSYNC),
        MainItem(IDC_USER_GUIDE), MainItem(IDC_FAQ),  MainItem(IDC_FREE_REGISTRATION)};
    const std::map<int, std::vector<QWidget*>> pages = {
        {1,
         {Item(color, IDC_COLOR_DEPTH), Item(color, IDC_CONTRAST), Item(color, IDC_RESET_CONTRAST),
          Item(color, IDC_BRIGHTNESS), Item(color, IDC_RESET_BRIGHTNESS), Item(color, IDC_DITHER),
          Item(color, IDC_APPLY_TO_ALL), Item(color, IDC_SHOW_AS_SAVED)}},
        {2,
         {Item(size, IDC_CROP), Item(size, IDC_SIZE_LIMIT), Item(size, IDC_UPDATE_SIZE),
          Item(size, IDC_APPLY_TO_ALL)}},
    };
    for (const auto& [page, controls] : pages) {
        SelectPage(page);
        std::vector<QWidget*> expected = head;
        expected.insert(expected.end(), controls.begin(), controls.end());
        expected.insert(expected.end(), tail.begin(), tail.end());
        const std::vector<QWidget*> walked = TabWalk(List().List());
        std::string names;
        for (const QWidget* widget : walked) {
            names += Name(widget) + ", ";
        }
        ASSERT_EQ(walked.size(), expected.size()) << "page " << page << ": " << names;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(walked[i], expected[i])
                << "page " << page << " step " << i << ": " << Name(walked[i]) << " instead of "
                << Name(expected[i]);
        }
    }
}

TEST_F(KeyboardTest, EveryLabelledControlHasAMnemonicOfItsOwnThatLeadsToIt) {
    ShowActive();
    Drop({Sample(3)});
    WaitForPicture();
    for (const int page : {0, 1, 2}) {
        SelectPage(page);
        std::map<QString, QString> letters;  // mnemonic and the text that has it
        std::set<QWidget*> labelled;
        for (QWidget* widget : Dialog().findChildren<QWidget*>()) {
            if (!widget->isVisibleTo(&Dialog())) {
                continue;
            }
            QString text;
            if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
                text = button->text();
            } else if (auto* label = qobject_cast<QLabel*>(widget); label && label->buddy()) {
                text = label->text();
                labelled.insert(label->buddy());
            }
            if (text.isEmpty()) {
                continue;
            }
            const QString key = QKeySequence::mnemonic(text).toString();
            EXPECT_FALSE(key.isEmpty()) << "page " << page << ": " << text.toStdString();
            const auto [at, added] = letters.emplace(key, text);
            EXPECT_TRUE(added) << "page " << page << ": " << text.toStdString() << " and "
                               << at->second.toStdString() << " share " << key.toStdString();
        }
        // Every box, list and slider that a label names is reached from its label.
        for (QWidget* widget : Dialog().findChildren<QWidget*>()) {
            const bool field = qobject_cast<QLineEdit*>(widget) ||
                               qobject_cast<QPlainTextEdit*>(widget) ||
                               qobject_cast<QComboBox*>(widget) || qobject_cast<QSlider*>(widget);
            if (field && widget->isVisibleTo(&Dialog())) {
                EXPECT_TRUE(labelled.count(widget) == 1) << "page " << page << ": " << Name(widget);
            }
        }
    }
    // The keys take the focus where their labels say.
    SelectPage(1);
    QTest::keyClick(&Dialog(), Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), Preview().ColorPage().DepthList());
    QTest::keyClick(&Dialog(), Qt::Key_M, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), Info().TitleBox());
}

TEST_F(KeyboardTest, EveryControlTheKeyboardReachesIsNamedAndDescribed) {
    CAboutDlg about;
    ASSERT_TRUE(about.Create());
    CSaveProgressDlg progress;
    ASSERT_TRUE(progress.Create());
    CAlbumViewerDlg viewer;
    std::size_t checked = 0;
    for (QWidget* window : std::initializer_list<QWidget*>{&Dialog(), &about, &progress, &viewer}) {
        for (QWidget* widget : window->findChildren<QWidget*>()) {
            // A tab strip's own scroll arrows are the strip's business.
            if ((widget->focusPolicy() & Qt::TabFocus) == 0 ||
                qobject_cast<QTabBar*>(widget->parentWidget()) != nullptr) {
                continue;
            }
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
            ASSERT_NE(accessible, nullptr) << Name(widget);
            if (auto* tabs = qobject_cast<QTabBar*>(widget)) {
                // A tab strip is its tabs: each is named and described.
                for (int tab = 0; tab < tabs->count(); ++tab) {
                    QAccessibleInterface* child = accessible->child(tab);
                    EXPECT_FALSE(child->text(QAccessible::Name).isEmpty()) << tab;
                    EXPECT_FALSE(child->text(QAccessible::Description).isEmpty()) << tab;
                }
                continue;
            }
            EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty()) << Name(widget);
            EXPECT_FALSE(accessible->text(QAccessible::Description).isEmpty())
                << Name(widget) << " " << accessible->text(QAccessible::Name).toStdString();
            ++checked;
        }
    }
    EXPECT_GT(checked, 30u);
}

TEST_F(KeyboardTest, AWiderWindowWidensTheAlbumTextAndTheListButtonsKeepToTheListsEdge) {
    Dialog().show();
    const int titleWidth = Info().TitleBox()->width();
    const auto gap = [this] {
        return List().List()->geometry().right() - List().IconButton()->geometry().right();
    };
    const int buttonGap = gap();
    Dialog().resize(Dialog().width() + 200, Dialog().height() + 50);
    EXPECT_EQ(Info().TitleBox()->width(), titleWidth + 200);
    EXPECT_EQ(gap(), buttonGap);
    EXPECT_LE(Info().geometry().right(), Dialog().rect().right());
}
