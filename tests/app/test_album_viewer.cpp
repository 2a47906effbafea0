#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <cstring>

#include "app/album_viewer_dlg.h"
#include "app/main_window_fixture.h"

namespace {

QImage ImageOf(const CRgbImage& rgb) {
    QImage image(rgb.width, rgb.height, QImage::Format_RGB888);
    for (int y = 0; y < rgb.height; ++y) {
        std::memcpy(image.scanLine(y), rgb.rgb.data() + static_cast<std::size_t>(y) * rgb.width * 3,
                    static_cast<std::size_t>(rgb.width) * 3);
    }
    return image;
}

class AlbumViewerTest : public MainWindowTest {
protected:
    std::string Build(const QStringList& arguments) {
        const std::string path = dir_.File("album.pdb");
        QProcess cli;
        cli.start(QStringLiteral(TAVELO_CLI_PATH),
                  QStringList{"build", "-o", QString::fromStdString(path)} + arguments);
        EXPECT_TRUE(cli.waitForFinished(60000));
        EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
        return path;
    }
    CAlbumViewerDlg* Viewer() { return Dialog().findChild<CAlbumViewerDlg*>(); }
};

}  // namespace

TEST_F(AlbumViewerTest, ShowsTheAlbumOfAFileAsTheHandheldWould) {
    const std::string path = Build(
        {"--title", "Trip", "--note", "Day 1", "--depth", "4", Sample(3), Sample(0), Sample(5)});
    Dialog().OnDropFiles({QString::fromStdString(path)});  // as `tavelo album.pdb` does
    CAlbumViewerDlg* viewer = Viewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(Dialog().Album().IsEmpty());  // looked at, not added
    EXPECT_EQ(viewer->TitleLabel()->text(), "Trip");
    EXPECT_EQ(viewer->NoteLabel()->text(), "Day 1");
    ASSERT_EQ(viewer->PictureList()->count(), 3);
    EXPECT_EQ(viewer->PictureList()->item(0)->text(), "mountain_path_640x480");

    CAlbumFile file;
    std::string error;
    ASSERT_TRUE(ReadAlbumFile(ReadAll(path), file, error)) << error;
    // A 4-bit picture carries 2- and 4-bit thumbnails: an 8-bit screen shows the 4-bit one,
    // a 2-bit or 1-bit screen the 2-bit one.
    const std::pair<int, std::size_t> members[] = {{8, 1}, {2, 0}, {1, 0}};
    for (const auto& [depth, member] : members) {
        viewer->SetScreenDepth(depth);
        EXPECT_EQ(viewer->PictureList()->item(0)->icon().pixmap(32, 32).toImage().convertToFormat(
                      QImage::Format_RGB888),
                  ImageOf(file.pictures[0].thumbnails[member].image))
            << depth;
    }
    viewer->PictureList()->setCurrentRow(1);
    EXPECT_EQ(viewer->PictureView()->pixmap().size(), QSize(160, 160));
    viewer->close();
}

TEST_F(AlbumViewerTest, ADamagedOrForeignFileIsCalledSoInPlainWordsWithTheReadersDetail) {
    const std::string path = Build({Sample(3)});
    const std::vector<std::uint8_t> bytes = ReadAll(path);
    ASSERT_GT(bytes.size(), 1000u);
    WriteAll(dir_.File("cut.pdb"), std::string(bytes.begin(), bytes.begin() + 1000));
    WriteAll(dir_.File("trip.json"),
             R"({"title": "Trip to the coast", "note": "Summer", "pictures": [)"
             R"({"path": "beach.jpg"}, {"path": "harbour.jpg"}]})");
    std::string project(bytes.begin(), bytes.end());
    project.replace(60, 8, "DATAPROJ");  // a Palm database, but not an album
    WriteAll(dir_.File("other.pdb"), project);
    const std::pair<const char*, const char*> cases[] = {
        {"cut.pdb", "cut.pdb is a damaged album file (record "},
        {"trip.json", "trip.json is not a Palm album file (the database name is not terminated"},
        {"other.pdb", "other.pdb is not a Palm album file (not an album file"},
        {"missing.pdb", "missing.pdb cannot be read (file not found)"},
    };
    for (const auto& [name, said] : cases) {
        QString caption;
        QString text;
        Answer(QMessageBox::Ok, &caption, &text);
        EXPECT_FALSE(Dialog().OpenAlbumFile(QString::fromStdString(dir_.File(name))));
        EXPECT_EQ(caption, "Tavelo Desktop");
        // What happened, what to do, and the whole path last.
        EXPECT_TRUE(text.startsWith(said) && text.count('\n') >= 2 &&
                    text.endsWith("\n\n" + QString::fromStdString(dir_.File(name))))
            << text.toStdString();
        EXPECT_EQ(Viewer(), nullptr);
    }
}
