#include <QAction>
#include <QFileDialog>
#include <QTimer>

#include "app/main_window_fixture.h"

namespace {

using ImageListPaneTest = MainWindowTest;

TEST_F(ImageListPaneTest, MarkFollowsItsRowWhenRowsAboveItGo) {
    for (const char* name : {"zero.jpg", "one.jpg", "two.jpg", "three.jpg"}) {
        ASSERT_TRUE(Dialog().AddImage(QString::fromStdString(dir_.File(name))));
    }
    List().SelectRow(3);
    EXPECT_TRUE(Dialog().DeleteImage(1));
    EXPECT_TRUE(List().GetItemText(List().GetSelectionMark()).endsWith("three.jpg"));
    EXPECT_TRUE(Dialog().DeleteImage(2));
    EXPECT_EQ(List().GetSelectionMark(), -1);
    EXPECT_FALSE(Dialog().DeleteImage(2));
    EXPECT_EQ(List().GetItemCount(), 2);
    // Undo puts the row back where it was, with its own text.
    Document().UndoStack().undo();
    EXPECT_EQ(List().GetItemCount(), 3);
    EXPECT_TRUE(List().GetItemText(2).endsWith("three.jpg"));
}

// Answers the next Add Files dialog with `names` typed into it, from `folder`; an empty list
// cancels it. Returns what the dialog offered as filters; `opened` gets the folder it opened in.
QStringList AddFiles(CImageListPane& pane, const QString& folder, const QStringList& names,
                     QString* opened = nullptr) {
    QStringList filters;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        filters = dialog->nameFilters();
        if (opened != nullptr) {
            *opened = dialog->directory().absolutePath();
        }
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
        if (names.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->setDirectory(folder);
        auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(edit, nullptr);
        edit->setText('"' + names.join("\" \"") + '"');
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QTest::mouseClick(pane.AddButton(), Qt::LeftButton);
    return filters;
}

TEST_F(ImageListPaneTest, AddFilesShowsTheFirstOfAWholeBatchAndStopsAtARefusedFile) {
    Drop({Sample(0), Sample(1), Sample(2), Sample(3), Sample(4)});
    List().List()->setCurrentRow(3);
    EXPECT_EQ(
        AddFiles(List(), TAVELO_SAMPLES_DIR, {kSamples[5], kSamples[1], kSamples[2]}),
        (QStringList{"All Readable Image Files (*.jpg *.jpeg *.bmp *.gif *.png *.webp "
                     "*.heic *.heif)",
                     "Jpeg File (*.jpg; *.jpeg) (*.jpg *.jpeg)", "Gif file (*.gif) (*.gif)",
                     "Bitmap Files (*.bmp) (*.bmp)", "Png File (*.png) (*.png)",
                     "WebP File (*.webp) (*.webp)", "Heif File (*.heic; *.heif) (*.heic *.heif)"}));
    WaitForIcon();
    EXPECT_EQ(AlbumPaths(), Samples({0, 1, 2, 3, 4, 5, 1, 2}));
    EXPECT_EQ(List().GetSelectedRow(), 5);
    EXPECT_EQ(List().GetSelectionMark(), 5);
    EXPECT_EQ(Shown(), Entry(5));
    EXPECT_EQ(Icon(), IconOf(Sample(5)));
    // The new icon is a step of its own: one undo brings the earlier icon back and keeps the
    // pictures.
    Dialog().UndoAction()->trigger();
    EXPECT_EQ(Icon(), IconOf(Sample(0)));
    EXPECT_EQ(Dialog().Album().Count(), 8u);
    Dialog().RedoAction()->trigger();
    EXPECT_EQ(Icon(), IconOf(Sample(5)));

    // Cancelled: nothing changes.
    AddFiles(List(), TAVELO_SAMPLES_DIR, {});
    EXPECT_EQ(Dialog().Album().Count(), 8u);
    EXPECT_EQ(Shown(), Entry(5));

    // A refused file ends the batch; selection and icon stay.
    List().List()->setCurrentRow(1);
    WriteAll(dir_.File("notes.txt"), "words");
    for (const int sample : {2, 3}) {
        std::filesystem::copy_file(Sample(sample).toStdString(), dir_.File(kSamples[sample]));
    }
    AddFiles(List(), QString::fromStdString(dir_.path().string()),
             {kSamples[2], "notes.txt", kSamples[3]});
    ASSERT_EQ(Dialog().Album().Count(), 9u);
    EXPECT_EQ(Entry(8)->m_sourcePath, dir_.File(kSamples[2]));
    EXPECT_EQ(List().GetSelectedRow(), 1);
    EXPECT_EQ(Shown(), Entry(1));
    EXPECT_EQ(Icon(), IconOf(Sample(5)));

    // The next Add Files, in this window or the next run's, opens in the folder used last.
    QString opened;
    AddFiles(List(), QString(), {}, &opened);
    EXPECT_EQ(opened, QString::fromStdString(dir_.path().string()));
    dialog_.reset();
    AddFiles(List(), QString(), {}, &opened);
    EXPECT_EQ(opened, QString::fromStdString(dir_.path().string()));
}

TEST_F(ImageListPaneTest, ArrowKeysShowEachRowInTurn) {
    Drop({Sample(0), Sample(1), Sample(2)});
    Dialog().show();
    List().List()->setFocus();
    ASSERT_EQ(Shown(), Entry(0));
    for (const auto& [key, row] :
         {std::pair{Qt::Key_Down, 1}, {Qt::Key_Down, 2}, {Qt::Key_Up, 1}}) {
        QTest::keyClick(List().List(), key);
        EXPECT_EQ(Shown(), Entry(row));
        EXPECT_EQ(List().GetSelectionMark(), row);
    }
}

TEST_F(ImageListPaneTest, DeleteAndSetIconTakeTheMarkElseTheSelectedRowElseDoNothing) {
    Drop({Sample(0), Sample(1), Sample(2), Sample(3)});
    // A cleared selection keeps the picture shown and the mark.
    List().List()->setCurrentRow(3);
    List().List()->clearSelection();
    EXPECT_EQ(List().GetSelectedRow(), -1);
    EXPECT_EQ(Shown(), Entry(3));
    Click(List().IconButton());
    EXPECT_EQ(Icon(), IconOf(Sample(3)));
    Click(List().DeleteButton());
    EXPECT_EQ(AlbumPaths(), Samples({0, 1, 2}));

    // No mark: the selected row.
    List().SelectRow(1);
    List().SetSelectionMark(-1);
    Click(List().IconButton());
    EXPECT_EQ(Icon(), IconOf(Sample(1)));
    Click(List().DeleteButton());
    EXPECT_EQ(AlbumPaths(), Samples({0, 2}));

    // Neither mark nor selection: nothing to act on.
    List().List()->clearSelection();
    List().SetSelectionMark(-1);
    Click(List().IconButton());
    Click(List().DeleteButton());
    EXPECT_EQ(AlbumPaths(), Samples({0, 2}));
    EXPECT_EQ(List().GetItemCount(), 2);
    EXPECT_EQ(Icon(), IconOf(Sample(1)));
    EXPECT_FALSE(Dialog().DeleteImage(-1));
    EXPECT_FALSE(Dialog().SetAlbumIcon(-1));
    EXPECT_FALSE(Dialog().SelectImage(2));
}

}  // namespace
