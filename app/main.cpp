#include <QApplication>

#include "app/album_app.h"
#include "platform/file_output.h"

int main(int argc, char** argv) {
    const QStringList files = CAlbumApp::FileArguments(argc, argv);
    if (CAlbumApp::HandToRunningCopy(argc, argv, files)) {
        return 0;
    }
    QApplication application(argc, argv);
    InstallFileOutput();
    CAlbumApp app(files);
    app.InitInstance();
    return 0;
}
