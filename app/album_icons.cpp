#include "app/album_icons.h"

#include <QCoreApplication>
#include <QEvent>

#include "album/picture_preparation.h"
#include "decode/picture_loader.h"
#include "imaging/dib.h"

CAlbumIcons::CAlbumIcons(QObject* parent) : QObject(parent) {
    m_workers.setMaxThreadCount(1);
}

CAlbumIcons::~CAlbumIcons() {
    m_workers.waitForDone();
}

void CAlbumIcons::Make(const std::string& source,
                       std::function<void(std::optional<CIconPixels>)> done) {
    ++m_pending;
    m_workers.start([this, source, done = std::move(done)] {
        std::optional<CIconPixels> pixels;
        CPictureLoader loader;
        CDib picture;
        CDib icon;
        if (loader.Open(source) && loader.RenderToDib(picture) &&
            icon.Create(kIconSide, kIconSide, 24) && MakeIconFromPicture(picture, icon)) {
            pixels = CIconPixels(icon.Pixels(), icon.Pixels() + icon.PixelBytes());
        }
        QMetaObject::invokeMethod(
            this,
            [this, pixels = std::move(pixels), done] {
                --m_pending;
                done(pixels);
            },
            Qt::QueuedConnection);
    });
}

void CAlbumIcons::Finish() {
    if (m_pending > 0) {
        m_workers.waitForDone();
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
}
