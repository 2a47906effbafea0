#include "cli/album_builder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "album/album_database.h"
#include "album/picture_preparation.h"
#include "imaging/picture_loader.h"

namespace {

constexpr int kIconSide = 24;

struct CSlot {
    std::unique_ptr<CPreparedPicture> picture;
    QString failure;  // why this picture could not be prepared
    bool done = false;
};

// Loads and prepares one picture, and makes the album icon from it when asked to.
CSlot PrepareSlot(const CPictureRequest& request, CDib* icon) {
    CSlot result;
    try {
        CPictureLoader loader;
        CDib loaded;
        if (!loader.Open(request.path.toStdString())) {
            result.failure = QString::fromStdString(loader.Error());
        } else if (!loader.RenderToDib(loaded)) {
            result.failure = QStringLiteral("the picture cannot be rendered (out of memory)");
        } else {
            CAlbumImage entry = request.entry;
            if (request.center) {
                CenterCropWindow(entry, loaded.Width(), loaded.Height());
            }
            result.picture = PreparePicture(entry, loaded);
            if (!result.picture) {
                result.failure = QStringLiteral("the picture cannot be prepared (out of memory)");
            } else if (icon != nullptr && !MakeIconFromPicture(loaded, *icon)) {
                result.failure = QStringLiteral("the album icon cannot be made");
            }
        }
    } catch (const std::bad_alloc&) {
        result.picture.reset();
        result.failure = QStringLiteral("out of memory");
    }
    result.done = true;
    return result;
}

bool CheckOutput(const QString& output, CInputError& error) {
    const QFileInfo info(output);
    if (output.isEmpty()) {
        error = {output, QStringLiteral("no output file given")};
        return false;
    }
    if (info.isDir()) {
        error = {output, QStringLiteral("is a folder")};
        return false;
    }
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir()) {
        error = {output, QStringLiteral("cannot be written: the folder %1 does not exist")
                             .arg(QDir::toNativeSeparators(info.absolutePath()))};
        return false;
    }
    if (!folder.isWritable()) {
        error = {output, QStringLiteral("cannot be written: the folder is not writable")};
        return false;
    }
    if (info.exists() && !info.isWritable()) {
        error = {output, QStringLiteral("cannot be written: the file is read-only")};
        return false;
    }
    return true;
}

// An album written over one of its own pictures would lose that picture.
bool CheckNotAPicture(const CAlbumRequest& request, const QString& output, CInputError& error) {
    const QString target = QFileInfo(output).canonicalFilePath();
    if (target.isEmpty()) {
        return true;  // no such file yet
    }
    for (const CPictureRequest& picture : request.pictures) {
        if (QFileInfo(picture.path).canonicalFilePath() == target) {
            error = {output, QStringLiteral("is one of the album's pictures")};
            return false;
        }
    }
    return true;
}

}  // namespace

bool BuildAlbumFile(const CAlbumRequest& request, const QString& output, const CBuildOptions& options,
                    CInputError& error) {
    if (!ValidateAlbumRequest(request, error) || !CheckOutput(output, error) ||
        !CheckNotAPicture(request, output, error)) {
        return false;
    }
    const int total = static_cast<int>(request.pictures.size());
    const int iconIndex = request.iconIndex && total > 0 ? *request.iconIndex : -1;

    CDib icon;
    if (!icon.Create(kIconSide, kIconSide, 24)) {  // black until a picture gives it
        error = {output, QStringLiteral("out of memory")};
        return false;
    }

    std::vector<CSlot> results(static_cast<std::size_t>(total));
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    std::mutex mutex;
    std::condition_variable changed;
    int finished = 0;

    auto work = [&] {
        for (;;) {
            const int i = next.fetch_add(1);
            if (i >= total || failed.load()) {
                return;
            }
            CSlot result = PrepareSlot(request.pictures[static_cast<std::size_t>(i)],
                                       i == iconIndex ? &icon : nullptr);
            if (!result.failure.isEmpty()) {
                failed.store(true);
            }
            std::lock_guard lock(mutex);
            results[static_cast<std::size_t>(i)] = std::move(result);
            ++finished;
            changed.notify_all();
        }
    };

    int threads = options.threads > 0 ? options.threads : QThread::idealThreadCount();
    threads = std::max(1, std::min(threads, total));
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back(work);
    }
    {
        // This thread only reports progress while the workers prepare.
        std::unique_lock lock(mutex);
        int reported = -1;
        while (finished < total && !failed.load()) {
            if (finished != reported) {
                reported = finished;
                if (options.progress) {
                    lock.unlock();
                    options.progress(reported, total);
                    lock.lock();
                }
            }
            changed.wait(lock, [&] { return finished != reported || failed.load(); });
        }
    }
    for (auto& worker : workers) {
        worker.join();
    }
    for (int i = 0; i < total; ++i) {
        const CSlot& slot = results[static_cast<std::size_t>(i)];
        if (slot.done && !slot.failure.isEmpty()) {
            error = {request.pictures[static_cast<std::size_t>(i)].path, slot.failure};
            return false;
        }
    }
    if (options.progress) {
        options.progress(total, total);
    }

    CPreparedAlbum album;
    album.m_icon = &icon;
    album.m_text = FormText(request.title.toStdString(), request.note.toStdString());
    for (auto& slot : results) {
        if (!slot.picture || !album.AddPicture(std::move(slot.picture))) {
            error = {output, QStringLiteral("out of memory")};
            return false;
        }
    }
    if (!WriteAlbumDatabase(QFile::encodeName(output).constData(), album)) {
        error = {output, QStringLiteral("cannot be written")};
        return false;
    }
    return true;
}
