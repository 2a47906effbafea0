#include "edit/album_document.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "album/album_project.h"

namespace {

CAlbumImage Picture(const std::string& path) {
    CAlbumImage entry;
    entry.m_sourcePath = path;
    entry.m_title = path;
    return entry;
}

// What a view kept in step with the document only by its signals would show: one title per
// row. Rows that change are read again; a replaced album is read whole.
class CMirror {
public:
    explicit CMirror(CAlbumDocument& doc) : m_doc(doc) {
        QObject::connect(&doc, &CAlbumDocument::entriesInserted, [this](int first, int count) {
            for (int i = 0; i < count; ++i) {
                m_rows.insert(m_rows.begin() + first + i, Row(first + i));
            }
        });
        QObject::connect(&doc, &CAlbumDocument::entriesRemoved, [this](int first, int count) {
            m_rows.erase(m_rows.begin() + first, m_rows.begin() + first + count);
        });
        QObject::connect(&doc, &CAlbumDocument::entryMoved, [this](int from, int to) {
            const std::string row = m_rows[static_cast<std::size_t>(from)];
            m_rows.erase(m_rows.begin() + from);
            m_rows.insert(m_rows.begin() + to, row);
        });
        QObject::connect(&doc, &CAlbumDocument::entryChanged, [this](int index, unsigned fields) {
            m_rows[static_cast<std::size_t>(index)] = Row(index);
            m_fields |= fields;
        });
        QObject::connect(&doc, &CAlbumDocument::albumReplaced, [this] {
            m_rows.clear();
            for (int i = 0; i < m_doc.Count(); ++i) {
                m_rows.push_back(Row(i));
            }
        });
    }
    std::vector<std::string> Rows() const { return m_rows; }
    std::vector<std::string> Expected() const {
        std::vector<std::string> rows;
        for (int i = 0; i < m_doc.Count(); ++i) {
            rows.push_back(Row(i));
        }
        return rows;
    }
    unsigned m_fields = 0;

private:
    std::string Row(int index) const {
        const CAlbumImage* e = m_doc.Entry(index);
        return e->m_sourcePath + "|" + e->m_title + "|" + std::to_string(e->m_brightness);
    }
    CAlbumDocument& m_doc;
    std::vector<std::string> m_rows;
};

std::string Snapshot(const CAlbumDocument& doc) {
    const CIconPixels pixels = doc.IconPixels();
    const std::string icon(pixels.begin(), pixels.end());
    return WriteAlbumProject(doc.Album(), "/albums") + "#" + icon + "#" + doc.ProjectPath();
}

TEST(AlbumDocument, RandomEditsUndoToTheStartAndRedoToTheEndWithViewsInStep) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 random(seed);
        auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
        CAlbumDocument doc;
        CMirror mirror(doc);
        doc.AddPictures({Picture("/p/a.jpg"), Picture("/p/b.jpg")});
        doc.SetAlbumTitle("Trip");
        const int startIndex = doc.UndoStack().index();
        const std::string start = Snapshot(doc);
        for (int step = 0; step < 40; ++step) {
            const int n = doc.Count();
            CAlbumImage value = Picture("/p/" + std::to_string(step) + ".png");
            value.m_brightness = static_cast<std::int16_t>(pick(100));
            value.m_horizontalOffset = pick(50);
            switch (pick(9)) {
                case 0:
                    doc.AddPictures({value, Picture("/p/x" + std::to_string(step))});
                    break;
                case 1:
                    if (n > 0)
                        doc.DeletePicture(pick(n));
                    break;
                case 2:
                    if (n > 0)
                        doc.MovePicture(pick(n), pick(n));
                    break;
                case 3:
                    if (n > 0)
                        doc.EditPicture(pick(n), kFieldTitle | kFieldBrightness, value);
                    break;
                case 4:
                    if (n > 0)
                        doc.EditPicture(pick(n), kFieldOffset, value);
                    doc.BreakMerge();
                    break;
                case 5:
                    doc.ApplyToAll(kFieldBrightness | kFieldCrop, value, "Apply");
                    break;
                case 6:
                    doc.SetIcon(value.m_sourcePath,
                                CIconPixels(24 * 24 * 3, static_cast<std::uint8_t>(step)));
                    break;
                case 7:
                    doc.SetAlbumNote("note " + std::to_string(step));
                    doc.BreakMerge();
                    break;
                case 8:
                    if (pick(4) == 0)
                        doc.Reset();
                    break;
            }
            ASSERT_EQ(mirror.Rows(), mirror.Expected()) << "seed " << seed << " step " << step;
        }
        const std::string end = Snapshot(doc);
        while (doc.UndoStack().index() > startIndex) {
            doc.UndoStack().undo();
            ASSERT_EQ(mirror.Rows(), mirror.Expected()) << "seed " << seed;
        }
        EXPECT_EQ(Snapshot(doc), start) << "seed " << seed;
        while (doc.UndoStack().canRedo()) {
            doc.UndoStack().redo();
        }
        EXPECT_EQ(Snapshot(doc), end) << "seed " << seed;
        EXPECT_EQ(mirror.Rows(), mirror.Expected()) << "seed " << seed;
    }
}

TEST(AlbumDocument, ASliderDragIsOneStepUntilTheMergeBreaks) {
    CAlbumDocument doc;
    CMirror mirror(doc);
    doc.AddPictures({Picture("/p/a.jpg"), Picture("/p/b.jpg")});
    const int before = doc.UndoStack().count();
    CAlbumImage value;
    for (int b = 10; b <= 60; b += 10) {
        value.m_brightness = static_cast<std::int16_t>(b);
        doc.EditPicture(0, kFieldBrightness, value);
    }
    EXPECT_EQ(doc.UndoStack().count(), before + 1);
    EXPECT_EQ(mirror.m_fields, unsigned{kFieldBrightness});

    // Another field, another picture, or a break each start a new step.
    value.m_contrast = 3;
    doc.EditPicture(0, kFieldContrast, value);
    doc.EditPicture(1, kFieldContrast, value);
    doc.BreakMerge();
    value.m_contrast = 4;
    doc.EditPicture(1, kFieldContrast, value);
    EXPECT_EQ(doc.UndoStack().count(), before + 4);

    doc.UndoStack().undo();
    doc.UndoStack().undo();
    doc.UndoStack().undo();
    EXPECT_EQ(doc.Entry(0)->m_brightness, 60);
    doc.UndoStack().undo();
    EXPECT_EQ(doc.Entry(0)->m_brightness, kSliderNeutral);

    // A drag that comes back to where it started leaves no step at all.
    value.m_brightness = 5;
    doc.EditPicture(0, kFieldBrightness, value);
    value.m_brightness = kSliderNeutral;
    doc.EditPicture(0, kFieldBrightness, value);
    EXPECT_FALSE(doc.UndoStack().canUndo() &&
                 doc.UndoStack().undoText() == QStringLiteral("Change Brightness"));
}

TEST(AlbumDocument, ResetIsOneStepThatForgetsTheProjectAndUndoBringsItAllBack) {
    CAlbumDocument doc;
    CAlbum album;
    album.SetTitle("Crete");
    album.SetNote("Summer");
    album.SetIconSource("/p/a.jpg");
    ASSERT_NE(album.Insert(0, std::make_unique<CAlbumImage>(Picture("/p/a.jpg"))), nullptr);
    doc.OpenProject(album, CIconPixels(24 * 24 * 3, 7), "/albums/crete.json");
    EXPECT_TRUE(doc.IsClean());
    const std::string opened = Snapshot(doc);

    int projectSignals = 0;
    QObject::connect(&doc, &CAlbumDocument::projectChanged, [&] { ++projectSignals; });
    doc.Reset();
    EXPECT_TRUE(doc.IsBlank());
    EXPECT_EQ(doc.Album().Title(), CAlbum::kUntitled);
    EXPECT_TRUE(doc.Album().Note().empty());
    EXPECT_TRUE(doc.Album().IconSource().empty());
    EXPECT_TRUE(doc.IconPixels().empty());
    EXPECT_FALSE(doc.IsClean());
    EXPECT_EQ(projectSignals, 1);

    doc.UndoStack().undo();
    EXPECT_EQ(Snapshot(doc), opened);
    EXPECT_TRUE(doc.IsClean());
    EXPECT_EQ(projectSignals, 2);

    // Saving under a new name takes the album as saved there.
    doc.SetAlbumTitle("Crete 2");
    EXPECT_FALSE(doc.IsClean());
    doc.MarkSaved("/albums/crete2.json");
    EXPECT_TRUE(doc.IsClean());
    EXPECT_EQ(doc.ProjectPath(), "/albums/crete2.json");
}

TEST(AlbumDocument, AddingStopsAtTheAlbumsLimit) {
    CAlbumDocument doc;
    std::vector<CAlbumImage> many(kMaxPictures + 3, Picture("/p/a.jpg"));
    EXPECT_EQ(doc.AddPictures(many), static_cast<int>(kMaxPictures));
    EXPECT_EQ(doc.AddPictures({Picture("/p/b.jpg")}), 0);
    EXPECT_EQ(doc.UndoStack().count(), 1);
}

}  // namespace
