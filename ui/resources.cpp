#include "ui/resources.h"

#include <QFile>
#include <QString>

#include "res/resource.h"

namespace {

// Where the hand cursor's finger tip is, in its 32 x 32 picture.
constexpr int kHandHotSpotX = 11;
constexpr int kHandHotSpotY = 2;

}  // namespace

// Outside any namespace: the macro declares the generated registration function.
static void RegisterResources() {
    Q_INIT_RESOURCE(tavelo);
}

void InitDesktopResources() {
    static const bool registered = (RegisterResources(), true);
    (void)registered;
}

QPixmap LoadBitmapResource(int id) {
    InitDesktopResources();
    return QPixmap(QStringLiteral(":/tavelo/bitmaps/%1.png").arg(id));
}

QIcon LoadIconResource(int id) {
    InitDesktopResources();
    QIcon icon;
    for (const int size : {16, 32, 48, 128}) {
        const QString path = QStringLiteral(":/tavelo/icons/%1_%2.png").arg(id).arg(size);
        if (QFile::exists(path)) {
            icon.addFile(path, QSize(size, size));
        }
    }
    return icon;
}

std::optional<QCursor> LoadCursorResource(int id) {
    InitDesktopResources();
    if (id != IDC_HAND_CURSOR) {
        return std::nullopt;
    }
    const QPixmap picture(QStringLiteral(":/tavelo/cursors/%1.png").arg(id));
    if (picture.isNull()) {
        return std::nullopt;
    }
    return QCursor(picture, kHandHotSpotX, kHandHotSpotY);
}
