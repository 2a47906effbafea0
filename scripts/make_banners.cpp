// Draws the desktop program's pictures: the five 400 x 60 banners, the program icon in four
// sizes and the hand cursor shown over the banner. Run by scripts/make_banners.sh; the PNG
// files it writes are committed under res/.
#include <cmath>
#include <cstdio>

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>

namespace {

constexpr int kBannerWidth = 400;
constexpr int kBannerHeight = 60;
const char* const kFontFamily = "DejaVu Sans";

struct Banner {
    int id;
    QColor from;
    QColor to;
    const char* headline;
    const char* line;
    int picture;  // which small drawing sits at the left
};

QFont Font(int pixelSize, bool bold) {
    QFont font(QString::fromLatin1(kFontFamily));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

// A handheld: dark rounded body, a light screen, four buttons below it.
void DrawHandheld(QPainter& p, const QRectF& body, const QImage* screenPicture) {
    const qreal w = body.width();
    p.setPen(QPen(QColor(20, 20, 24), qMax<qreal>(1.0, w / 24)));
    QLinearGradient shell(body.topLeft(), body.topRight());
    shell.setColorAt(0, QColor(92, 96, 104));
    shell.setColorAt(1, QColor(52, 55, 62));
    p.setBrush(shell);
    p.drawRoundedRect(body, w * 0.16, w * 0.16);
    const QRectF screen(body.left() + w * 0.14, body.top() + w * 0.16, w * 0.72, w * 0.72);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 212, 190));
    p.drawRect(screen);
    if (screenPicture != nullptr) {
        p.drawImage(screen, *screenPicture);
    }
    p.setBrush(QColor(170, 176, 186));
    const qreal buttonY = screen.bottom() + (body.bottom() - screen.bottom()) * 0.45;
    const qreal r = w * 0.06;
    for (int i = 0; i < 4; ++i) {
        p.drawEllipse(QPointF(body.left() + w * (0.2 + 0.2 * i), buttonY), r, r);
    }
}

// A tiny landscape: sky, sun, two hills; what every album holds.
QImage Landscape(int side, QColor sky, QColor sun, QColor hills) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, 0, side);
    gradient.setColorAt(0, sky.lighter(130));
    gradient.setColorAt(1, sky);
    p.fillRect(image.rect(), gradient);
    p.setPen(Qt::NoPen);
    p.setBrush(sun);
    p.drawEllipse(QPointF(side * 0.72, side * 0.3), side * 0.14, side * 0.14);
    p.setBrush(hills.lighter(120));
    QPainterPath back;
    back.moveTo(0, side);
    back.lineTo(0, side * 0.62);
    back.quadTo(side * 0.35, side * 0.35, side * 0.7, side * 0.66);
    back.lineTo(side, side * 0.6);
    back.lineTo(side, side);
    p.drawPath(back);
    p.setBrush(hills);
    QPainterPath front;
    front.moveTo(0, side);
    front.lineTo(0, side * 0.8);
    front.quadTo(side * 0.55, side * 0.58, side, side * 0.82);
    front.lineTo(side, side);
    p.drawPath(front);
    return image;
}

void DrawPicture(QPainter& p, int kind) {
    const QImage photo =
        Landscape(64, QColor(70, 130, 200), QColor(255, 214, 90), QColor(60, 130, 70));
    switch (kind) {
        case 0: {  // the handheld with a photo
            DrawHandheld(p, QRectF(14, 5, 34, 50), &photo);
            break;
        }
        case 1: {  // the viewer: a handheld with thumbnails
            QImage grid(64, 64, QImage::Format_ARGB32_Premultiplied);
            grid.fill(QColor(235, 238, 230));
            QPainter g(&grid);
            for (int i = 0; i < 4; ++i) {
                g.drawImage(QRect(4 + (i % 2) * 30, 4 + (i / 2) * 30, 26, 26),
                            Landscape(26, QColor(60 + 40 * i, 120, 200 - 30 * i),
                                      QColor(255, 220, 100), QColor(50, 120 + 20 * i, 60)));
            }
            g.end();
            DrawHandheld(p, QRectF(14, 5, 34, 50), &grid);
            break;
        }
        case 2: {  // tips: a photo with a sparkle
            p.setPen(QPen(Qt::white, 2));
            p.setBrush(Qt::NoBrush);
            p.drawImage(QRectF(10, 10, 40, 40), photo);
            p.drawRect(QRectF(10, 10, 40, 40));
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 250, 200));
            QPainterPath star;
            const QPointF c(50, 12);
            for (int i = 0; i < 8; ++i) {
                const qreal radius = (i % 2 == 0) ? 9 : 2.5;
                const qreal angle = i * M_PI / 4;
                const QPointF point(c.x() + radius * std::sin(angle),
                                    c.y() - radius * std::cos(angle));
                i == 0 ? star.moveTo(point) : star.lineTo(point);
            }
            star.closeSubpath();
            p.drawPath(star);
            break;
        }
        case 3: {  // beaming: two handhelds and arcs between them
            DrawHandheld(p, QRectF(6, 14, 20, 30), &photo);
            DrawHandheld(p, QRectF(46, 14, 20, 30), &photo);
            p.setBrush(Qt::NoBrush);
            for (int i = 0; i < 3; ++i) {
                p.setPen(QPen(QColor(255, 255, 255, 230 - 60 * i), 2));
                p.drawArc(QRectF(24 + 4 * i, 20 - 3 * i, 10, 18 + 6 * i), -60 * 16, 120 * 16);
            }
            break;
        }
        default: {  // registration: an envelope
            const QRectF envelope(10, 16, 46, 30);
            p.setPen(QPen(QColor(40, 60, 70), 2));
            p.setBrush(QColor(250, 250, 244));
            p.drawRect(envelope);
            p.drawLine(envelope.topLeft(),
                       QPointF(envelope.center().x(), envelope.center().y() + 2));
            p.drawLine(envelope.topRight(),
                       QPointF(envelope.center().x(), envelope.center().y() + 2));
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(220, 60, 60));
            p.drawEllipse(QPointF(envelope.right() - 2, envelope.top() + 2), 7, 7);
            p.setPen(QPen(Qt::white, 2));
            p.setFont(Font(10, true));
            p.drawText(QRectF(envelope.right() - 9, envelope.top() - 5, 14, 14), Qt::AlignCenter,
                       "!");
            break;
        }
    }
}

bool WriteBanner(const Banner& banner, const QString& folder) {
    QImage image(kBannerWidth, kBannerHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient background(0, 0, kBannerWidth, kBannerHeight);
    background.setColorAt(0, banner.from);
    background.setColorAt(1, banner.to);
    p.fillRect(image.rect(), background);
    // A soft light behind the drawing.
    QRadialGradient glow(QPointF(34, 30), 44);
    glow.setColorAt(0, QColor(255, 255, 255, 70));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(QRect(0, 0, 90, kBannerHeight), glow);
    DrawPicture(p, banner.picture);

    p.setPen(QColor(0, 0, 0, 90));
    p.setFont(Font(19, true));
    p.drawText(QPointF(79, 27), QString::fromUtf8(banner.headline));
    p.setPen(Qt::white);
    p.drawText(QPointF(78, 26), QString::fromUtf8(banner.headline));
    p.setFont(Font(12, false));
    p.setPen(QColor(255, 255, 255, 235));
    p.drawText(QPointF(78, 45), QString::fromUtf8(banner.line));
    p.setFont(Font(10, true));
    p.setPen(QColor(255, 236, 150));
    p.drawText(QRectF(0, 0, kBannerWidth - 8, kBannerHeight - 5), Qt::AlignRight | Qt::AlignBottom,
               QStringLiteral("lumivale.com \u00bb"));
    p.setPen(QColor(0, 0, 0, 60));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, kBannerWidth - 1, kBannerHeight - 1));
    p.end();
    // Banners are 8 bits per pixel: a palette of at most 256 colours.
    return image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither)
        .save(QStringLiteral("%1/bitmaps/%2.png").arg(folder).arg(banner.id));
}

bool WriteIcon(int size, const QString& folder) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QImage photo =
        Landscape(64, QColor(70, 130, 200), QColor(255, 214, 90), QColor(60, 130, 70));
    const qreal w = size * 0.66;
    DrawHandheld(p, QRectF((size - w) / 2, size * 0.02, w, size * 0.96), &photo);
    p.end();
    return image.save(QStringLiteral("%1/icons/128_%2.png").arg(folder).arg(size));
}

// A white hand with a black outline, index finger up; its tip is the hot spot (11, 2).
bool WriteHandCursor(const QString& folder) {
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath hand;
    hand.addRoundedRect(QRectF(8.5, 1.5, 5, 16), 2.5, 2.5);    // index finger
    hand.addRoundedRect(QRectF(13.5, 9.5, 4.5, 9), 2.2, 2.2);  // middle finger
    hand.addRoundedRect(QRectF(18, 10.5, 4.5, 8), 2.2, 2.2);   // ring finger
    hand.addRoundedRect(QRectF(22.5, 12, 4, 7), 2, 2);         // little finger
    hand.addRoundedRect(QRectF(8.5, 14.5, 18, 13), 4, 4);      // palm
    QPainterPath thumb;
    thumb.moveTo(9, 22);
    thumb.lineTo(4, 16.5);
    thumb.quadTo(2, 14.5, 4, 13.5);
    thumb.quadTo(6, 12.8, 9, 16);
    hand.addPath(thumb);
    hand.setFillRule(Qt::WindingFill);
    const QPainterPath outline = hand.simplified();
    p.setPen(QPen(Qt::black, 1.2));
    p.setBrush(Qt::white);
    p.drawPath(outline);
    p.setPen(QPen(Qt::black, 0.9));
    p.drawLine(QPointF(13.5, 14), QPointF(13.5, 17.5));
    p.drawLine(QPointF(18, 14), QPointF(18, 17.5));
    p.drawLine(QPointF(22.5, 15), QPointF(22.5, 18));
    p.end();
    return image.save(QStringLiteral("%1/cursors/144.png").arg(folder));
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_banners <res folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const Banner banners[] = {
        {140, QColor(20, 52, 120), QColor(40, 120, 190), "Tavelo Desktop 2.0",
         "Your photo albums, in your pocket.", 0},
        {143, QColor(18, 96, 60), QColor(70, 160, 90), "Get the free Tavelo Viewer",
         "For every Palm OS handheld.", 1},
        {144, QColor(170, 70, 20), QColor(230, 150, 40), "Photo tips for small screens",
         "Make pictures shine at 160 x 160.", 2},
        {145, QColor(70, 30, 120), QColor(140, 80, 180), "Beam your albums",
         "Share them with friends in seconds.", 3},
        {142, QColor(10, 90, 100), QColor(40, 150, 150), "Register for free",
         "News, updates and new album ideas.", 4},
    };
    bool written = true;
    for (const Banner& banner : banners) {
        written = WriteBanner(banner, folder) && written;
    }
    for (const int size : {16, 32, 48, 128}) {
        written = WriteIcon(size, folder) && written;
    }
    written = WriteHandCursor(folder) && written;
    if (!written) {
        std::fprintf(stderr, "make_banners: could not write the pictures under %s\n", argv[1]);
        return 1;
    }
    return 0;
}
