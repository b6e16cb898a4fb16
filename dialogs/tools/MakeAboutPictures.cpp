// Draws the about pictures and the window icon into the folder given as the only argument:
// about-background.png (480 x 360), about-frame1.png .. about-frame6.png (129 x 184, 256
// colours: a magnifying glass sweeping over a page of text) and tavrin-icon.png (32 x 32).
// Run once by hand; the PNGs are committed and compiled in as resources.

#include <QColor>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <array>

namespace {

const QColor Ink(40, 60, 110);
const QColor Paper(255, 255, 250);
const QColor TextGrey(150, 158, 170);
const QColor Match(255, 214, 64);

struct TextLine {
    qreal indent;
    qreal length;
};

// Lines of the page, in page coordinates (page is 129 x 184).
const std::array<TextLine, 11> PageLines{{{14, 80},
                                          {14, 95},
                                          {22, 70},
                                          {14, 88},
                                          {14, 60},
                                          {22, 84},
                                          {14, 96},
                                          {14, 72},
                                          {22, 66},
                                          {14, 90},
                                          {14, 50}}};
constexpr qreal FirstLineY = 28;
constexpr qreal LineStep = 13.5;

void drawPage(QPainter &p, int highlighted) {
    QPainterPath page;
    page.moveTo(6, 6);
    page.lineTo(104, 6);
    page.lineTo(122, 24);
    page.lineTo(122, 178);
    page.lineTo(6, 178);
    page.closeSubpath();
    p.setPen(QPen(QColor(120, 130, 150), 1.5));
    p.setBrush(Paper);
    p.drawPath(page);
    p.setBrush(QColor(225, 230, 238));
    p.drawPolygon(QPolygonF({QPointF(104, 6), QPointF(104, 24), QPointF(122, 24)}));

    p.setPen(Qt::NoPen);
    for (int i = 0; i < int(PageLines.size()); ++i) {
        const TextLine &line = PageLines[i];
        const qreal y = FirstLineY + i * LineStep;
        if (i == highlighted) {
            p.setBrush(Match);
            p.drawRoundedRect(QRectF(line.indent - 2, y - 3, line.length + 4, 10), 3, 3);
        }
        p.setBrush(i == highlighted ? Ink : TextGrey);
        p.drawRoundedRect(QRectF(line.indent, y, line.length, 4), 2, 2);
    }
}

QImage frame(int number) {
    // The lens sweeps left and right while it walks down the page.
    static const std::array<QPointF, 6> centres{
        {{42, 40}, {84, 60}, {46, 82}, {86, 104}, {48, 124}, {82, 142}}};
    const QPointF centre = centres[number - 1];
    const int highlighted = qRound((centre.y() - FirstLineY) / LineStep);
    constexpr qreal Radius = 22;

    QImage image(129, 184, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(236, 240, 246));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawPage(p, -1);

    // Inside the lens: the same page, magnified, with the line under it marked.
    p.save();
    QPainterPath lens;
    lens.addEllipse(centre, Radius, Radius);
    p.setClipPath(lens);
    p.setBrush(Paper);
    p.drawEllipse(centre, Radius, Radius);
    p.translate(centre);
    p.scale(1.6, 1.6);
    p.translate(-centre);
    drawPage(p, highlighted);
    p.restore();

    // Glass shine, rim and handle.
    QRadialGradient shine(centre - QPointF(8, 8), Radius);
    shine.setColorAt(0, QColor(255, 255, 255, 110));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawEllipse(centre, Radius, Radius);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Ink, 5));
    p.drawEllipse(centre, Radius, Radius);
    const QPointF handleStart = centre + QPointF(Radius * 0.72, Radius * 0.72);
    p.setPen(QPen(QColor(110, 70, 40), 8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(handleStart + QPointF(4, 4), handleStart + QPointF(20, 20));
    p.setPen(QPen(Ink, 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(handleStart, handleStart + QPointF(5, 5));
    p.end();
    return image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
}

QImage background() {
    QImage image(480, 360, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 360);
    sky.setColorAt(0, QColor(250, 251, 253));
    sky.setColorAt(1, QColor(214, 226, 240));
    p.fillRect(image.rect(), sky);

    // Faint ruled lines, like a sheet of notes.
    p.setPen(QPen(QColor(190, 205, 225, 90), 1));
    for (int y = 30; y < 360; y += 24)
        p.drawLine(0, y, 480, y);

    // A large, pale lens in the lower right corner.
    p.setPen(QPen(QColor(120, 145, 190, 60), 14));
    p.setBrush(QColor(255, 255, 255, 40));
    p.drawEllipse(QPointF(400, 300), 70, 70);
    p.setPen(QPen(QColor(120, 145, 190, 60), 22, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(455, 355), QPointF(490, 390));
    return image;
}

QImage icon() {
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 130, 150), 1));
    p.setBrush(Paper);
    p.drawRect(QRectF(3.5, 1.5, 19, 25));
    p.setPen(QPen(TextGrey, 1.5));
    for (int y = 6; y <= 22; y += 4)
        p.drawLine(QPointF(6.5, y), QPointF(19.5, y));
    const QPointF centre(18, 16);
    p.setBrush(QColor(255, 230, 120, 200));
    p.setPen(QPen(Ink, 2.5));
    p.drawEllipse(centre, 7, 7);
    p.setPen(QPen(QColor(110, 70, 40), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(23.5, 21.5), QPointF(29, 27));
    return image;
}

} // namespace

int main(int argc, char *argv[]) {
    if (argc != 2) {
        QTextStream(stderr) << "usage: " << argv[0] << " <output folder>\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    bool ok = background().save(out.filePath(QStringLiteral("about-background.png")));
    for (int number = 1; number <= 6; ++number)
        ok =
            frame(number).save(out.filePath(QStringLiteral("about-frame%1.png").arg(number))) && ok;
    ok = icon().save(out.filePath(QStringLiteral("tavrin-icon.png"))) && ok;
    return ok ? 0 : 1;
}
