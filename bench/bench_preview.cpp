// How quickly the preview follows the user: a slider step (store, adjust, convert, draw) at
// the largest size limit and at the full screen, and a scroll step (draw only).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QImage>
#include <QScrollBar>
#include <QSlider>
#include <QTemporaryDir>
#include <cmath>
#include <cstdlib>

#include "album/album_image.h"
#include "edit/album_document.h"
#include "panes/album_editor.h"
#include "panes/color_page.h"
#include "panes/preview_pane.h"

namespace {

QTemporaryDir* g_dir = nullptr;

// A photograph-like picture of 1600 x 1280: smooth light and fine noise.
std::string Photograph() {
    const QString path = g_dir->filePath(QStringLiteral("photo.jpg"));
    if (!QFile::exists(path)) {
        QImage image(1600, 1280, QImage::Format_RGB32);
        std::uint32_t noise = 12345;
        for (int y = 0; y < image.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                noise = noise * 1664525u + 1013904223u;
                const int n = static_cast<int>(noise >> 28) - 8;
                const double wave = std::sin(x * 0.01) * std::cos(y * 0.013);
                row[x] = qRgb(std::clamp(int(120 + 90 * wave) + n, 0, 255),
                              std::clamp(int(110 + 60 * std::sin(y * 0.004)) + n, 0, 255),
                              std::clamp(int(140 - 80 * wave) + n, 0, 255));
            }
        }
        image.save(path, "jpeg", 90);
    }
    return path.toStdString();
}

// A preview showing the photograph at `depth` bits, fitted to 1280 x 1024 or cropped to the
// screen.
struct CShownPreview {
    CAlbumDocument document;
    CAlbumEditor editor{document};
    CPreviewPane pane;

    CShownPreview(int depth, bool dither, bool largest) {
        (void)pane.Create();
        pane.SetOwner(&editor);
        CAlbumImage entry;
        entry.m_sourcePath = Photograph();
        entry.m_colorDepth = static_cast<std::uint8_t>(depth);
        entry.m_dither = dither ? 1 : 0;
        if (largest) {
            entry.m_crop = 0;
            entry.m_sizeLimitWidth = 1280;
            entry.m_sizeLimitHeight = 1024;
        }
        document.AddPictures({entry});
        pane.show();
        pane.ShowImage(0);
        QElapsedTimer waited;
        waited.start();
        while (pane.IsLoading() && waited.elapsed() < 20000) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }
};

void SliderStep(benchmark::State& state) {
    CShownPreview shown(static_cast<int>(state.range(0)), state.range(1) != 0, state.range(2) != 0);
    QSlider* slider = shown.pane.ColorPage().BrightnessSlider();
    int step = 0;
    for (auto _ : state) {
        // The page gives the value to the document, whose change redraws the view.
        slider->setValue(100 + (++step % 50));
        shown.pane.repaint();
    }
    state.counters["width"] = shown.pane.SizedBitmap() ? shown.pane.SizedBitmap()->Width() : 0;
}

// A scroll step: drawing only, or with "Show as saved" the crop window prepared, converted and
// stored again (8-bit, dithered: the slowest depth).
void ScrollStep(benchmark::State& state) {
    const bool asSaved = state.range(0) != 0;
    CShownPreview shown(8, asSaved, !asSaved);
    if (shown.pane.ColorPage().ShowAsSavedBox()->isChecked() != asSaved) {
        shown.pane.ColorPage().ShowAsSavedBox()->click();
    }
    QScrollBar* bar = shown.pane.HorizontalBar();
    int step = 0;
    for (auto _ : state) {
        bar->triggerAction(++step % 2 != 0 ? QAbstractSlider::SliderSingleStepAdd
                                           : QAbstractSlider::SliderSingleStepSub);
        shown.pane.repaint();
    }
}

}  // namespace

// depth, dither, largest limit
BENCHMARK(SliderStep)
    ->Args({8, 0, 1})
    ->Args({8, 1, 1})
    ->Args({16, 0, 1})
    ->Args({4, 1, 1})
    ->Args({8, 1, 0})
    ->Args({16, 0, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ScrollStep)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QPA_PLATFORMTHEME", "");
    QApplication application(argc, argv);
    g_dir = new QTemporaryDir();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    delete g_dir;
    return 0;
}
