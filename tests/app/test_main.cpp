#include <gtest/gtest.h>
#include <QApplication>
#include <QImage>

#include "platform/environment_scope.h"
#include "support/temp_dir.h"

// The desktop tests run with a QApplication, on non-native dialogs, and never touch the
// settings, handheld users or sockets of whoever runs them.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    TempDir home;
    EnvironmentScope environment;
    for (const char* folder : {"config", "data", "jpilot", "runtime"}) {
        std::filesystem::create_directories(home.path() / folder);
    }
    std::filesystem::permissions(home.path() / "runtime", std::filesystem::perms::owner_all);
    environment.Set("XDG_CONFIG_HOME", (home.path() / "config").string());
    environment.Set("XDG_DATA_HOME", (home.path() / "data").string());
    environment.Set("JPILOT_HOME", (home.path() / "jpilot").string());
    environment.Set("XDG_RUNTIME_DIR", (home.path() / "runtime").string());
    // Headless unless told otherwise: listing the tests at build time has no display either.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        environment.Set("QT_QPA_PLATFORM", "offscreen");
    }
    environment.Set("QT_QPA_PLATFORMTHEME", "");
    QApplication application(argc, argv);
    // LeakSanitizer of this toolchain crashes at exit when the JPEG library's thread-local
    // data is first set up late in a run; decoding one picture first keeps leak checks working.
    if (QImage(QStringLiteral(TAVELO_SAMPLES_DIR "/dogs_at_door_320x480.jpg")).isNull()) {
        return 1;
    }
    return RUN_ALL_TESTS();
}
