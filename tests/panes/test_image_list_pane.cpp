#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

#include "app/main_window_fixture.h"
#include "app/tool_tip_button.h"

namespace {

using ImageListPaneTest = MainWindowTest;

TEST(ImageListPaneAloneTest, ListTakesAThousandRowsAndNoMore) {
    CImageListPane pane;
    ASSERT_TRUE(pane.Create());
    for (int i = 0; i < CImageListPane::kMaxRows; ++i) {
        ASSERT_TRUE(pane.AddItem(QStringLiteral("row %1").arg(i)));
    }
    EXPECT_FALSE(pane.AddItem("one too many"));
    EXPECT_EQ(pane.GetItemCount(), 1000);
    EXPECT_EQ(pane.GetItemText(999), "row 999");
}

TEST(ImageListPaneAloneTest, MarkFollowsItsRowWhenRowsAboveItGo) {
    CImageListPane pane;
    ASSERT_TRUE(pane.Create());
    for (const char* text : {"zero", "one", "two", "three"}) {
        ASSERT_TRUE(pane.AddItem(text));
    }
    pane.SelectRow(3);
    ASSERT_EQ(pane.GetSelectionMark(), 3);
    EXPECT_TRUE(pane.DeleteItem(1));
    EXPECT_EQ(pane.GetItemText(pane.GetSelectionMark()), "three");
    EXPECT_TRUE(pane.DeleteItem(2));
    EXPECT_EQ(pane.GetSelectionMark(), -1);
    EXPECT_FALSE(pane.DeleteItem(2));
    EXPECT_EQ(pane.GetItemCount(), 2);
}

TEST(ImageListPaneAloneTest, AddFilesStaysEnabledWhenTheRestIsSwitched) {
    CImageListPane pane;
    ASSERT_TRUE(pane.Create());
    EXPECT_FALSE(pane.DeleteButton()->isEnabled());
    EXPECT_FALSE(pane.IconButton()->isEnabled());
    ASSERT_TRUE(pane.AddItem("row"));
    EXPECT_TRUE(pane.List()->isEnabled());
    EXPECT_TRUE(pane.DeleteButton()->isEnabled());
    EXPECT_TRUE(pane.IconButton()->isEnabled());
    pane.EnableItems(false);
    EXPECT_FALSE(pane.List()->isEnabled());
    EXPECT_FALSE(pane.DeleteButton()->isEnabled());
    EXPECT_FALSE(pane.IconButton()->isEnabled());
    EXPECT_TRUE(pane.AddButton()->isEnabled());
}

TEST(ImageListPaneAloneTest, ButtonsCarryTheirTips) {
    CImageListPane pane;
    ASSERT_TRUE(pane.Create());
    EXPECT_EQ(pane.AddButton()->TipText(), "Add files");
    EXPECT_EQ(pane.IconButton()->TipText(), "Set album icon using the selected image");
    EXPECT_EQ(pane.DeleteButton()->TipText(), "Delete the selected image");
    EXPECT_EQ(pane.DeleteButton()->ToolRect(), pane.DeleteButton()->rect());
}

TEST(FileDialogFiltersTest, DescriptionAndPatternPairsBecomeNameFilters) {
    EXPECT_EQ(FileDialogFilters(QString::fromLatin1(CImageListPane::kAddFilesFilter)),
              (QStringList{"All Readable Image Files (*.jpg *.jpeg *.bmp *.gif)",
                           "Jpeg File (*.jpg; *.jpeg) (*.jpg *.jpeg)", "Gif file (*.gif) (*.gif)",
                           "Bitmap Files (*.bmp) (*.bmp)"}));
}

// Answers the next Add Files dialog with `names` typed into it, from `folder`; an empty list
// cancels it.
void AnswerFileDialog(const QString& folder, const QStringList& names,
                      QStringList* filters = nullptr) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        if (filters != nullptr) {
            *filters = dialog->nameFilters();
        }
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
        if (names.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->setDirectory(folder);
        auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(edit, nullptr);
        QStringList quoted;
        for (const QString& name : names) {
            quoted << '"' + name + '"';
        }
        edit->setText(quoted.join(' '));
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

TEST_F(ImageListPaneTest, AddFilesShowsTheFirstOfTheBatchAndMakesItTheIcon) {
    Drop({Sample(0), Sample(1), Sample(2), Sample(3), Sample(4)});
    List().List()->setCurrentRow(3);
    QStringList filters;
    AnswerFileDialog(TAVELO_SAMPLES_DIR, {kSamples[5], kSamples[1], kSamples[2]}, &filters);
    QTest::mouseClick(List().AddButton(), Qt::LeftButton);
    EXPECT_EQ(filters, FileDialogFilters(QString::fromLatin1(CImageListPane::kAddFilesFilter)));
    ASSERT_EQ(Dialog().Album().Count(), 8u);
    EXPECT_EQ(Entry(5)->m_sourcePath, Sample(5).toStdString());
    EXPECT_EQ(Entry(7)->m_sourcePath, Sample(2).toStdString());
    EXPECT_EQ(List().GetSelectedRow(), 5);
    EXPECT_EQ(List().GetSelectionMark(), 5);
    EXPECT_EQ(Shown(), Entry(5));
    EXPECT_EQ(PixelRows(Info().Icon()), IconOf(Sample(5)));
}

TEST_F(ImageListPaneTest, AddFilesStopsAtARefusedFileAndKeepsSelectionAndIcon) {
    Drop({Sample(0), Sample(1)});
    List().List()->setCurrentRow(1);
    WriteAll(dir_.File("notes.txt"), "words");
    for (const int sample : {2, 3}) {
        std::filesystem::copy_file(Sample(sample).toStdString(), dir_.File(kSamples[sample]));
    }
    AnswerFileDialog(QString::fromStdString(dir_.path().string()),
                     {kSamples[2], "notes.txt", kSamples[3]});
    QTest::mouseClick(List().AddButton(), Qt::LeftButton);
    ASSERT_EQ(Dialog().Album().Count(), 3u);
    EXPECT_EQ(Entry(2)->m_sourcePath, dir_.File(kSamples[2]));
    EXPECT_EQ(List().GetSelectedRow(), 1);
    EXPECT_EQ(Shown(), Entry(1));
    EXPECT_EQ(PixelRows(Info().Icon()), IconOf(Sample(0)));
}

TEST_F(ImageListPaneTest, CancelledAddFilesChangesNothing) {
    Drop({Sample(0)});
    AnswerFileDialog(TAVELO_SAMPLES_DIR, {});
    QTest::mouseClick(List().AddButton(), Qt::LeftButton);
    EXPECT_EQ(Dialog().Album().Count(), 1u);
    EXPECT_EQ(Shown(), Entry(0));
}

TEST_F(ImageListPaneTest, ArrowKeysShowEachRowInTurn) {
    Drop({Sample(0), Sample(1), Sample(2)});
    Dialog().show();
    List().List()->setFocus();
    ASSERT_EQ(Shown(), Entry(0));
    QTest::keyClick(List().List(), Qt::Key_Down);
    EXPECT_EQ(Shown(), Entry(1));
    QTest::keyClick(List().List(), Qt::Key_Down);
    EXPECT_EQ(Shown(), Entry(2));
    QTest::keyClick(List().List(), Qt::Key_Up);
    EXPECT_EQ(Shown(), Entry(1));
    EXPECT_EQ(List().GetSelectionMark(), 1);
}

TEST_F(ImageListPaneTest, ClearedSelectionKeepsThePictureAndTheMarkForDeleteAndSetIcon) {
    Drop({Sample(0), Sample(1), Sample(2)});
    List().List()->setCurrentRow(2);
    List().List()->clearSelection();
    EXPECT_EQ(List().GetSelectedRow(), -1);
    EXPECT_EQ(Shown(), Entry(2));
    QTest::mouseClick(List().IconButton(), Qt::LeftButton);
    EXPECT_EQ(PixelRows(Info().Icon()), IconOf(Sample(2)));
    QTest::mouseClick(List().DeleteButton(), Qt::LeftButton);
    EXPECT_EQ(AlbumPaths(),
              (std::vector<std::string>{Sample(0).toStdString(), Sample(1).toStdString()}));
}

TEST_F(ImageListPaneTest, WithoutMarkDeleteAndSetIconTakeTheSelectedRowOrDoNothing) {
    Drop({Sample(0), Sample(1), Sample(2)});
    List().SelectRow(1);
    List().SetSelectionMark(-1);
    QTest::mouseClick(List().IconButton(), Qt::LeftButton);
    EXPECT_EQ(PixelRows(Info().Icon()), IconOf(Sample(1)));
    QTest::mouseClick(List().DeleteButton(), Qt::LeftButton);
    EXPECT_EQ(AlbumPaths(),
              (std::vector<std::string>{Sample(0).toStdString(), Sample(2).toStdString()}));

    // Neither mark nor selection: nothing to act on.
    List().List()->clearSelection();
    List().SetSelectionMark(-1);
    QTest::mouseClick(List().IconButton(), Qt::LeftButton);
    QTest::mouseClick(List().DeleteButton(), Qt::LeftButton);
    EXPECT_EQ(Dialog().Album().Count(), 2u);
    EXPECT_EQ(List().GetItemCount(), 2);
    EXPECT_EQ(PixelRows(Info().Icon()), IconOf(Sample(1)));
    EXPECT_FALSE(Dialog().DeleteImage(-1));
    EXPECT_FALSE(Dialog().SetAlbumIcon(-1));
    EXPECT_FALSE(Dialog().SelectImage(2));
}

}  // namespace
