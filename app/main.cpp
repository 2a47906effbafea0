#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/album_app.h"
#include "tavelo_version.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tavelo %s\n", kTaveloVersion);
            return 0;
        }
    }
    const QStringList files = CAlbumApp::FileArguments(argc, argv);
    if (CAlbumApp::HandToRunningCopy(argc, argv, files)) {
        return 0;
    }
    QApplication application(argc, argv);
    CAlbumApp app(files);
    app.InitInstance();
    return 0;
}
