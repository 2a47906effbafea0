#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QObject>
#include <QThreadPool>

#include "edit/album_document.h"

// Makes album icons from their picture files off the window's thread, one at a time, so that
// a large or slow picture never holds the window.
class CAlbumIcons : public QObject {
    Q_OBJECT
public:
    explicit CAlbumIcons(QObject* parent = nullptr);
    ~CAlbumIcons() override;

    // Reads the picture and makes its 24 x 24 icon; `done` then gets the pixels, or none when
    // the file cannot be read, on this object's thread.
    void Make(const std::string& source, std::function<void(std::optional<CIconPixels>)> done);
    bool IsBusy() const { return m_pending > 0; }
    // Lets the icons asked for so far be made and handed over, so that a save holds the icon
    // chosen just before it.
    void Finish();

private:
    QThreadPool m_workers;
    int m_pending = 0;
};
