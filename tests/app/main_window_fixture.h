#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <type_traits>

#include "album/picture_preparation.h"
#include "app/main_dlg.h"
#include "decode/picture_loader.h"
#include "edit/album_document.h"
#include "panes/album_info_pane.h"
#include "panes/image_list_pane.h"
#include "panes/preview_pane.h"
#include "platform/environment_scope.h"
#include "platform/install_library.h"
#include "platform/recording_shell.h"
#include "support/temp_dir.h"
#include "ui/tool_tip_button.h"

// The pictures in the project's samples folder.
inline const char* const kSamples[] = {
    "dogs_at_door_320x480.jpg",  "fig_on_plate_640x433.jpg",  "meadow_autumn_640x426.jpg",
    "mountain_path_640x480.jpg", "paint_brushes_400x315.gif", "dandelions_320x180.bmp",
};

inline QString Sample(int index) {
    return QStringLiteral(TAVELO_SAMPLES_DIR "/") + QString::fromLatin1(kSamples[index]);
}

inline std::vector<std::string> Samples(std::initializer_list<int> indices) {
    std::vector<std::string> paths;
    for (const int index : indices) {
        paths.push_back(Sample(index).toStdString());
    }
    return paths;
}

// Pixel rows of a bitmap, without padding, top row first.
inline std::vector<std::uint8_t> PixelRows(const CDib& dib) {
    std::vector<std::uint8_t> rows;
    for (std::int32_t y = dib.Height() - 1; y >= 0; --y) {
        const std::uint8_t* row = dib.Row(y);
        rows.insert(rows.end(), row,
                    row + static_cast<std::size_t>(dib.Width()) * dib.BitsPerPixel() / 8);
    }
    return rows;
}

// The album icon that the picture file makes, worked out here from the file.
inline std::vector<std::uint8_t> IconOf(const QString& path) {
    CPictureLoader loader;
    CDib picture;
    CDib icon;
    EXPECT_TRUE(loader.Open(path.toStdString()) && loader.RenderToDib(picture) &&
                icon.Create(24, 24, 24) && MakeIconFromPicture(picture, icon))
        << path.toStdString();
    return PixelRows(icon);
}

// Message boxes a test has said it will answer; any other that stays open fails the test.
inline int& ExpectedBoxes() {
    static int expected = 0;
    return expected;
}

// Runs `answer` on the next window of type T that opens (a modal dialog, or a popup menu).
template <class T>
void WhenShown(std::function<void(T*)> answer) {
    if constexpr (std::is_base_of_v<QMessageBox, T>) {
        ++ExpectedBoxes();
    }
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        QWidget* shown = QApplication::activePopupWidget() != nullptr
                             ? QApplication::activePopupWidget()
                             : QApplication::activeModalWidget();
        if (auto* window = qobject_cast<T*>(shown); window != nullptr && window->isVisible()) {
            poll->stop();
            poll->deleteLater();
            if constexpr (std::is_base_of_v<QMessageBox, T>) {
                --ExpectedBoxes();
            }
            answer(window);
        }
    });
    poll->start();
}

// Answers the next message box, keeping its caption and text.
inline void Answer(QMessageBox::StandardButton button, QString* caption = nullptr,
                   QString* text = nullptr, QMessageBox::Icon* icon = nullptr) {
    WhenShown<QMessageBox>([=](QMessageBox* box) {
        if (caption != nullptr) {
            *caption = box->windowTitle();
        }
        if (text != nullptr) {
            *text = box->text();
        }
        if (icon != nullptr) {
            *icon = box->icon();
        }
        box->button(button)->click();
    });
}

// A main window of its own for every test: settings, handheld users and data under a fresh
// folder, and a shell that only records what it is asked to open.
class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() {
        env_.Set("XDG_CONFIG_HOME", dir_.File("config"));
        env_.Set("XDG_DATA_HOME", dir_.File("data"));
        env_.Set("JPILOT_HOME", dir_.File("jpilot"));
        ExpectedBoxes() = 0;
        // A message box nobody answers would hold the test for ever: it fails the test and is
        // closed instead.
        QObject::connect(&boxGuard_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || ExpectedBoxes() > 0) {
                unexpectedBox_ = nullptr;
                return;
            }
            if (box != unexpectedBox_) {
                unexpectedBox_ = box;  // a moment for a late answer
                return;
            }
            ADD_FAILURE() << "a message box nobody expected: " << box->text().toStdString();
            box->reject();
        });
        boxGuard_.start(500);
    }

    CMainDlg& Dialog() {
        if (!dialog_) {
            dialog_ = std::make_unique<CMainDlg>(library_, shell_);
            EXPECT_TRUE(dialog_->Create());
        }
        return *dialog_;
    }
    CImageListPane& List() { return Dialog().ImageListPane(); }
    CPreviewPane& Preview() { return Dialog().PreviewPane(); }
    // Lets the preview's decoding finish.
    void WaitForPicture() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !Preview().IsLoading(); }, 20000));
        WaitForIcon();
    }
    // Lets the icon's picture be read and the icon made.
    void WaitForIcon() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !Dialog().IsMakingIcon(); }, 20000));
    }
    // Saves the album and gives picture `index` (from 0) as the batch tool extracts it from
    // the file, red, green, blue.
    QImage SavedPicture(int index) {
        const QString album = QString::fromStdString(dir_.File("saved.pdb"));
        const QString folder = QString::fromStdString(dir_.File("saved"));
        std::filesystem::remove_all(folder.toStdString());
        EXPECT_TRUE(Dialog().SaveAlbum(album));
        QProcess cli;
        cli.start(QStringLiteral(TAVELO_CLI_PATH), {"extract", album, "-d", folder});
        EXPECT_TRUE(cli.waitForFinished(60000));
        return QImage(folder +
                      QStringLiteral("/picture_%1.png").arg(index + 1, 3, 10, QLatin1Char('0')))
            .convertToFormat(QImage::Format_RGB888);
    }
    CAlbumDocument& Document() { return Dialog().Document(); }
    CAlbumInfoPane& Info() { return Dialog().AlbumInfoPane(); }
    const CAlbumImage* Shown() { return Dialog().PreviewPane().CurrentEntry(); }
    const CAlbumImage* Entry(std::size_t index) { return Dialog().Album().At(index); }
    std::vector<std::uint8_t> Icon() { return PixelRows(Info().Icon()); }
    // A click, and the icon it may have asked for.
    void Click(QWidget* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        WaitForIcon();
    }

    void AddHandheldUser(const std::string& name) {
        std::filesystem::create_directories(dir_.path() / "jpilot" / ".jpilot");
        WriteAll((dir_.path() / "jpilot" / ".jpilot" / "jpilot.rc").string(),
                 "user " + name + "\n");
    }

    // Drops the files on the window as a file manager would.
    void Drop(const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths) {
            urls << QUrl::fromLocalFile(path);
        }
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&Dialog(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Dialog(), &drop);
        WaitForIcon();
    }

    std::vector<std::string> AlbumPaths() {
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < Dialog().Album().Count(); ++i) {
            paths.push_back(Entry(i)->m_sourcePath);
        }
        return paths;
    }

    // The window as it starts: no pictures, the untitled album, black icon, editing off.
    void ExpectEmptyAlbum() {
        EXPECT_EQ(Dialog().Album().Count(), 0u);
        // What Save reads, not only what the boxes show.
        EXPECT_EQ(Dialog().Album().Title(), "untitled");
        EXPECT_TRUE(Dialog().Album().Note().empty());
        EXPECT_TRUE(Dialog().Album().IconSource().empty());
        EXPECT_EQ(List().GetItemCount(), 0);
        EXPECT_EQ(Info().TitleBox()->text(), "untitled");
        EXPECT_TRUE(Info().NoteBox()->toPlainText().isEmpty());
        EXPECT_EQ(Icon(), std::vector<std::uint8_t>(24 * 24 * 3, 0));
        EXPECT_EQ(Shown(), nullptr);
        const QWidget* const off[] = {Dialog().SaveButton(), Dialog().SendButton(), List().List(),
                                      List().DeleteButton(), List().IconButton()};
        for (const QWidget* control : off) {
            EXPECT_FALSE(control->isEnabled()) << control->metaObject()->className();
        }
        EXPECT_TRUE(List().AddButton()->isEnabled());
    }

    QTimer boxGuard_;
    QMessageBox* unexpectedBox_ = nullptr;
    TempDir dir_;
    EnvironmentScope env_;
    CRecordingShell shell_;
    CJPilotInstallLibrary library_;
    std::unique_ptr<CMainDlg> dialog_;
};
