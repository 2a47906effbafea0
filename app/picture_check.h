#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <QObject>

class CAlbumDocument;
class CImageListPane;
class CPictureCache;

// Reads every picture added to the album in the background, one at a time and after the shown
// picture, through the preview's picture cache, and marks in the list each one that cannot be
// read, with why as the row's tip, so that a damaged file is found when it is added rather
// than at Save.
class CPictureCheck : public QObject {
    Q_OBJECT
public:
    CPictureCheck(CAlbumDocument& document, CPictureCache& cache, CImageListPane& list,
                  QObject* parent = nullptr);

    // Whether pictures are still waiting to be read.
    bool IsBusy() const { return m_running || !m_waiting.empty(); }
    // Why the picture file could not be read; empty when it could, or is not read yet.
    std::string Problem(const std::string& path) const;
    // What a later reading of the file found: `reason` why it cannot be read, or empty when it
    // could (a file put back loses its mark).
    void Found(const std::string& path, const std::string& reason);
    // Calls `done` with how many of `paths` cannot be read, once all of them have been read.
    void AfterReading(std::vector<std::string> paths, std::function<void(int unreadable)> done);

private:
    void Take(int first, int count);
    void ReadNext();
    // Puts the marks on the rows again: the list redraws rows from the album.
    void Mark();
    // Hands over the batches whose pictures have all been read.
    void Report();

    CAlbumDocument& m_document;
    CPictureCache& m_cache;
    CImageListPane& m_list;
    std::deque<std::string> m_waiting;
    std::map<std::string, std::string> m_problems;
    bool m_running = false;
    bool m_starting = false;
    std::map<std::string, int> m_unread;  // pictures waiting, by path, with how often queued
    struct CBatch {
        std::vector<std::string> paths;
        std::function<void(int)> done;
    };
    std::vector<CBatch> m_batches;
};
