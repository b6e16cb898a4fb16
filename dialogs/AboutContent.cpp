#include "AboutContent.h"

#include "DialogResources.h"
#include "Twips.h"

#include <QLabel>
#include <QPixmap>

namespace {

QLabel *picture(QWidget *host, const QString &name, const QString &resource, QRect place) {
    auto *image = new QLabel(host);
    image->setObjectName(name);
    image->setPixmap(QPixmap(resource));
    image->setScaledContents(true);
    image->setGeometry(place);
    return image;
}

QLabel *text(QWidget *host, const char *name, const QString &caption, const QFont &font,
             QRect place) {
    auto *label = new QLabel(caption, host);
    label->setObjectName(QLatin1String(name));
    label->setFont(font);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    label->setGeometry(place);
    return label;
}

} // namespace

QSize AboutContent::textSize(const QLabel *label, const QFont &font) {
    return QFontMetrics(font)
        .boundingRect(QRect(0, 0, label->width(), QWIDGETSIZE_MAX),
                      Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, label->text())
        .size();
}

QFont AboutContent::fittingFont(const QLabel *label) {
    // The designed font where it fits; a font of other proportions is made smaller, a quarter
    // point at a time, until the text keeps within its box and loses none of its descenders.
    QFont font = label->font();
    const QSize box = label->size();
    constexpr qreal SmallestPointSize = 6;
    const auto fits = [&] {
        const QSize need = textSize(label, font);
        return need.width() <= box.width() && need.height() <= box.height();
    };
    while (!fits() && font.pointSizeF() > SmallestPointSize)
        font.setPointSizeF(font.pointSizeF() - 0.25);
    return font;
}

void AboutContent::fitTogether(std::initializer_list<QLabel *> labels) {
    // One size for all, so that labels of the same font still look alike.
    qreal size = -1;
    for (const QLabel *label : labels) {
        const qreal fitting = fittingFont(label).pointSizeF();
        size = size < 0 ? fitting : qMin(size, fitting);
    }
    for (QLabel *label : labels) {
        QFont font = label->font();
        font.setPointSizeF(size);
        label->setFont(font);
    }
}

QString AboutContent::longOffer() {
    return QStringLiteral("Finds every line that holds your text in the files below a folder.");
}

QString AboutContent::shortOffer() {
    return QStringLiteral("A find-in-files control for Qt applications.");
}

AboutContent::AboutContent(QWidget *host, const Variant &variant) {
    DialogResources::ensureLoaded();
    const auto twips = [host](int left, int top, int width, int height) {
        return Twips::toPixels(host, left, top, width, height);
    };

    Image7 = picture(host, QStringLiteral("Image7"), DialogResources::AboutBackground,
                     twips(0, variant.image7Top, 4875, 3705));
    for (int i = 0; i < 6; ++i) {
        Images[i] = picture(host, QStringLiteral("Image%1").arg(i + 1),
                            DialogResources::aboutFrame(i + 1), twips(0, 0, 1200, 1815));
        Images[i]->hide();
    }

    QFont title(QStringLiteral("Times New Roman"));
    title.setPointSizeF(18);
    title.setBold(true);
    title.setItalic(true);
    Label1 = text(host, "Label1", QStringLiteral("TavrinX"), title,
                  twips(1530, 90, 2175, variant.label1Height));

    QFont body(QStringLiteral("Times New Roman"));
    body.setPointSizeF(11.25);
    body.setBold(true);
    offer = text(host, variant.offerName, variant.offerText, body, twips(1320, 600, 3345, 1095));
    Label2 = text(host, "Label2", QStringLiteral("Questions and ideas are welcome at:"), body,
                  twips(1260, 1500, 3375, 555));
    Label3 = text(host, "Label3", QStringLiteral("support@tavrin.invalid"), body,
                  twips(1260, 2100, 3165, 255));
    Label5 = text(host, "Label5", QStringLiteral("Tavrin project, version 1.0"), body,
                  twips(840, 2460, 3765, 255));
    fitTogether({Label1});
    fitTogether({offer, Label2, Label3, Label5});
}
