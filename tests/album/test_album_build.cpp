#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "album/album_build.h"
#include "album/album_database.h"
#include "album/album_file_reader.h"
#include "album/clock.h"
#include "album/file_output.h"
#include "album/picture_preparation.h"
#include "support/temp_dir.h"

namespace {

constexpr std::int64_t kNewYear2001 = 978307200;

// Pictures made up from their names: "w x h" of a pattern that differs per name, so that a
// picture placed in the wrong slot shows.
bool MakePicture(const std::string& path, CDib& picture, std::string& reason) {
    int width = 0;
    int height = 0;
    const std::string name = std::filesystem::path(path).stem().string();
    if (std::sscanf(name.c_str(), "p%*d_%dx%d", &width, &height) != 2) {
        reason = "no such picture";
        return false;
    }
    if (!picture.Create(width, height, 24)) {
        reason = "out of memory";
        return false;
    }
    const auto seed = static_cast<unsigned>(std::hash<std::string>()(name));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = picture.Row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(x * 7 + seed);
            p[1] = static_cast<std::uint8_t>(y * 5 + (seed >> 8));
            p[2] = static_cast<std::uint8_t>((x ^ y) + (seed >> 16));
        }
    }
    return true;
}

CPictureReading MadeUpPictures() {
    CPictureReading reading;
    reading.load = [](const std::string& path, const RowsWanted&, CDib& picture,
                      std::string& reason) { return MakePicture(path, picture, reason); };
    return reading;
}

class AlbumBuildTest : public ::testing::Test {
protected:
    void SetUp() override { SetClockOverride(kNewYear2001); }
    void TearDown() override {
        SetClockOverride(std::nullopt);
        SetFileOutputFactory(nullptr);
    }

    // Pictures of assorted sizes and settings, the third one giving the icon.
    CAlbum SampleAlbum(int count = 7) {
        CAlbum album;
        album.SetTitle("Trip");
        album.SetNote("Day 1");
        const int sizes[][2] = {{640, 480}, {120, 300}, {333, 1000}, {900, 40}, {160, 160}};
        for (int i = 0; i < count; ++i) {
            auto entry = std::make_unique<CAlbumImage>();
            const auto& size = sizes[i % 5];
            entry->m_sourcePath =
                dir_.File("p" + std::to_string(i) + "_" + std::to_string(size[0]) + "x" +
                          std::to_string(size[1]) + ".jpg");
            entry->m_title = "picture " + std::to_string(i);
            entry->m_colorDepth = kStoredDepths[static_cast<std::size_t>(i) % 3];
            entry->m_dither = static_cast<std::uint8_t>(i % 2);
            entry->m_crop = static_cast<std::uint8_t>(i % 4 != 3);
            entry->m_horizontalOffset = 17 * i;
            if (i % 3 == 1) {
                entry->m_sizeLimitWidth = 320;
                entry->m_sizeLimitHeight = 240;
            }
            album.Append(std::move(entry));
        }
        album.SetIconSource(album.At(2 % count)->m_sourcePath);
        return album;
    }

    // The album as the save path writes it picture after picture, everything held at once.
    std::vector<std::uint8_t> OneByOne(const CAlbum& album) {
        CPreparedAlbum prepared;
        CDib icon;
        EXPECT_TRUE(icon.Create(kIconSide, kIconSide, 24));
        for (std::size_t i = 0; i < album.Count(); ++i) {
            CDib loaded;
            std::string reason;
            EXPECT_TRUE(MakePicture(album.At(i)->m_sourcePath, loaded, reason));
            if (album.At(i)->m_sourcePath == album.IconSource()) {
                EXPECT_TRUE(MakeIconFromPicture(loaded, icon));
            }
            EXPECT_TRUE(prepared.AddPicture(PreparePicture(*album.At(i), loaded)));
        }
        prepared.m_icon = &icon;
        prepared.m_text = HandheldText(album.Title(), album.Note());
        const std::string path = dir_.File("reference.pdb");
        EXPECT_TRUE(WriteAlbumDatabase(path.c_str(), prepared));
        return ReadAll(path);
    }

    std::size_t TemporaryFiles() const {
        std::size_t count = 0;
        for (const auto& file : std::filesystem::directory_iterator(dir_.path())) {
            count += file.path().extension() == ".tmp";
        }
        return count;
    }

    TempDir dir_;
};

}  // namespace

TEST_F(AlbumBuildTest, GivesTheBytesOfThePictureByPictureSaveForAnyNumberOfThreads) {
    const CAlbum album = SampleAlbum();
    const std::vector<std::uint8_t> reference = OneByOne(album);
    for (const int threads : {1, 2, 4}) {
        CAlbumBuildOptions options;
        options.threads = threads;
        std::vector<std::size_t> reported;
        options.progress = [&](std::size_t done, std::size_t total) {
            EXPECT_EQ(total, album.Count());
            reported.push_back(done);
        };
        const std::string path = dir_.File("built.pdb");
        ASSERT_EQ(BuildAlbumFile(album, path, MadeUpPictures(), options).outcome,
                  BuildOutcome::Written);
        EXPECT_EQ(ReadAll(path), reference) << threads << " threads";
        EXPECT_EQ(reported, (std::vector<std::size_t>{1, 2, 3, 4, 5, 6, 7}))
            << threads << " threads";
    }
}

TEST_F(AlbumBuildTest, AnIconFromAFileOutsideTheAlbumOrNoneAtAll) {
    CAlbum album = SampleAlbum(3);
    const std::string path = dir_.File("a.pdb");
    album.SetIconSource(dir_.File("p9_50x80.jpg"));
    ASSERT_EQ(BuildAlbumFile(album, path, MadeUpPictures()).outcome, BuildOutcome::Written);
    const std::vector<std::uint8_t> outside = ReadAll(path);
    album.SetIconSource("");
    ASSERT_EQ(BuildAlbumFile(album, path, MadeUpPictures()).outcome, BuildOutcome::Written);
    const std::vector<std::uint8_t> black = ReadAll(path);
    const auto iconIsBlack = [](const std::vector<std::uint8_t>& bytes) {
        CAlbumFile file;
        std::string error;
        EXPECT_TRUE(ReadAlbumFile(bytes, file, error)) << error;
        const std::vector<std::uint8_t>& rgb = file.icon.back().image.rgb;  // the 8-bit member
        return std::all_of(rgb.begin(), rgb.end(), [](std::uint8_t v) { return v == 0; });
    };
    EXPECT_TRUE(iconIsBlack(black));
    EXPECT_FALSE(iconIsBlack(outside));
}

TEST_F(AlbumBuildTest, CancellingStopsTheWorkersWritesNothingAndLeavesNoTemporaryFile) {
    const CAlbum album = SampleAlbum(24);
    const std::string path = dir_.File("album.pdb");
    WriteAll(path, "the old album");
    std::atomic<bool> cancel{false};
    std::atomic<int> loads{0};
    std::mutex mutex;
    std::condition_variable cancelled;
    CPictureReading reading = MadeUpPictures();
    reading.load = [&](const std::string& file, const RowsWanted&, CDib& picture,
                       std::string& reason) {
        ++loads;
        // Every picture after the first waits for the cancel, so each worker holds one then.
        if (file != album.At(0)->m_sourcePath) {
            std::unique_lock lock(mutex);
            cancelled.wait_for(lock, std::chrono::seconds(10), [&] { return cancel.load(); });
        }
        return MakePicture(file, picture, reason);
    };
    CAlbumBuildOptions options;
    options.threads = 3;
    options.cancel = &cancel;
    options.progress = [&](std::size_t, std::size_t) {
        {
            std::lock_guard lock(mutex);
            cancel = true;
        }
        cancelled.notify_all();
        // Time for workers that ignore the cancel to go on to the next pictures.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    };
    EXPECT_EQ(BuildAlbumFile(album, path, reading, options).outcome, BuildOutcome::Cancelled);
    EXPECT_LE(loads.load(), 1 + options.threads);
    const std::vector<std::uint8_t> kept = ReadAll(path);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "the old album");
    EXPECT_EQ(TemporaryFiles(), 0u);
}

namespace {
std::atomic<bool>* g_cancelAfterWrites = nullptr;

// The built-in output, with the build cancelled once a few records are written.
class CCancellingOutput : public CFileOutput {
public:
    explicit CCancellingOutput(std::unique_ptr<CFileOutput> inner) : m_inner(std::move(inner)) {}
    bool Write(const std::uint8_t* data, std::size_t size) override {
        if (++m_writes == 4) {
            g_cancelAfterWrites->store(true);
        }
        return m_inner->Write(data, size);
    }
    bool Prepare() override { return m_inner->Prepare(); }
    bool Commit() override { return m_inner->Commit(); }

private:
    std::unique_ptr<CFileOutput> m_inner;
    int m_writes = 0;
};
}  // namespace

TEST_F(AlbumBuildTest, CancellingDuringTheWriteKeepsTheOldFile) {
    const CAlbum album = SampleAlbum();
    const std::string path = dir_.File("album.pdb");
    ASSERT_EQ(BuildAlbumFile(album, path, MadeUpPictures()).outcome, BuildOutcome::Written);
    const std::vector<std::uint8_t> old = ReadAll(path);
    std::atomic<bool> cancel{false};
    g_cancelAfterWrites = &cancel;
    SetFileOutputFactory(
        [](const std::string& target, std::string& error) -> std::unique_ptr<CFileOutput> {
            SetFileOutputFactory(nullptr);
            auto inner = OpenFileOutput(target, error);
            return inner ? std::make_unique<CCancellingOutput>(std::move(inner)) : nullptr;
        });
    CAlbum changed = SampleAlbum();
    changed.SetTitle("Another trip");
    CAlbumBuildOptions options;
    options.cancel = &cancel;
    EXPECT_EQ(BuildAlbumFile(changed, path, MadeUpPictures(), options).outcome,
              BuildOutcome::Cancelled);
    EXPECT_TRUE(cancel.load());
    EXPECT_EQ(ReadAll(path), old);
    EXPECT_EQ(TemporaryFiles(), 0u);
}

TEST_F(AlbumBuildTest, APictureThatCannotBeReadIsRetriedOrStopsTheBuild) {
    CAlbum album = SampleAlbum(4);
    album.At(2)->m_sourcePath = dir_.File("gone.jpg");
    const std::string path = dir_.File("album.pdb");

    std::vector<CPictureFailure> asked;
    CAlbumBuildOptions options;
    options.retry = [&](const CPictureFailure& failure) {
        asked.push_back(failure);
        return false;
    };
    const CBuildResult refused = BuildAlbumFile(album, path, MadeUpPictures(), options);
    EXPECT_EQ(refused.outcome, BuildOutcome::PictureFailed);
    EXPECT_EQ(refused.picture.index, 2u);
    EXPECT_EQ(refused.picture.path, dir_.File("gone.jpg"));
    EXPECT_EQ(refused.picture.reason, "no such picture");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(path));

    // The user puts the picture back and tries again: the album is complete.
    CAlbum whole = SampleAlbum(4);
    whole.At(2)->m_sourcePath = dir_.File("gone.jpg");
    options.retry = [&](const CPictureFailure&) {
        whole.At(2)->m_sourcePath = SampleAlbum(4).At(2)->m_sourcePath;
        return true;
    };
    ASSERT_EQ(BuildAlbumFile(whole, path, MadeUpPictures(), options).outcome,
              BuildOutcome::Written);
    EXPECT_EQ(ReadAll(path), OneByOne(SampleAlbum(4)));
}

TEST_F(AlbumBuildTest, AnAlbumTooLargeForAFileIsRefusedBeforeAnyPictureIsDecoded) {
    CAlbum album;
    for (int i = 0; i < 830; ++i) {
        auto entry = std::make_unique<CAlbumImage>();
        entry->m_sourcePath = dir_.File("p" + std::to_string(i) + "_1280x1024.jpg");
        entry->m_colorDepth = 16;
        entry->m_crop = 0;
        entry->m_sizeLimitWidth = 1280;
        entry->m_sizeLimitHeight = 1024;
        album.Append(std::move(entry));
    }
    std::atomic<int> loads{0};
    CPictureReading reading = MadeUpPictures();
    reading.load = [&](const std::string&, const RowsWanted&, CDib&, std::string&) {
        ++loads;
        return false;
    };
    reading.readSize = [](const std::string&, std::int32_t& width, std::int32_t& height) {
        width = 1280;
        height = 1024;
        return true;
    };
    const CBuildResult result = BuildAlbumFile(album, dir_.File("big.pdb"), reading);
    EXPECT_EQ(result.outcome, BuildOutcome::Refused);
    EXPECT_NE(result.reason.find("at most 2048 MB"), std::string::npos) << result.reason;
    EXPECT_EQ(loads.load(), 0);
    // 780 such pictures fit.
    std::vector<std::pair<std::int32_t, std::int32_t>> sizes(780, {1280, 1024});
    EXPECT_LE(EstimateAlbumFileSize(album, sizes), album_layout::kMaxAlbumFileSize);
}

TEST_F(AlbumBuildTest, TheRowsAPictureNeedsAreTheOnlyOnesRead) {
    CAlbum album = SampleAlbum(2);
    album.At(0)->m_sourcePath = dir_.File("p0_640x3000.jpg");
    album.SetIconSource(album.At(0)->m_sourcePath);
    CPictureReading reading;
    // Rows the build does not want are made grey here; the file must not change.
    reading.load = [](const std::string& path, const RowsWanted& rows, CDib& picture,
                      std::string& reason) {
        if (!MakePicture(path, picture, reason)) {
            return false;
        }
        const std::vector<bool> wanted = rows(picture.Width(), picture.Height());
        for (std::int32_t y = 0; y < picture.Height(); ++y) {
            if (!wanted.empty() && !wanted[static_cast<std::size_t>(picture.Height() - 1 - y)]) {
                std::fill_n(picture.Row(y), 3 * picture.Width(), 0x80);
            }
        }
        return true;
    };
    const std::string sparse = dir_.File("sparse.pdb");
    const std::string full = dir_.File("full.pdb");
    ASSERT_EQ(BuildAlbumFile(album, sparse, reading).outcome, BuildOutcome::Written);
    ASSERT_EQ(BuildAlbumFile(album, full, MadeUpPictures()).outcome, BuildOutcome::Written);
    EXPECT_EQ(ReadAll(sparse), ReadAll(full));
}
