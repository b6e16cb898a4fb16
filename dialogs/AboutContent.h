#pragma once

#include <QSize>
#include <QString>
#include <array>
#include <initializer_list>

class QFont;
class QLabel;
class QWidget;

// The pictures and texts that the about box and the About page share, placed on `host` back to
// front: background (Image7), the six animation frames (hidden until the first tick), labels.
struct AboutContent {
    // What differs between the window and the page.
    struct Variant {
        int image7Top;
        int label1Height;
        const char *offerName;
        QString offerText;
    };

    AboutContent(QWidget *host, const Variant &variant);

    QLabel *Image7 = nullptr;
    std::array<QLabel *, 6> Images{};
    QLabel *Label1 = nullptr;
    QLabel *offer = nullptr; // lblAboutTavrin on the window, Label4 on the page
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label5 = nullptr;

    // The space the label's text takes in `font`, wrapped at the label's width.
    static QSize textSize(const QLabel *label, const QFont &font);
    // The label's font at the largest size, up to its own, in which its text fits its box.
    static QFont fittingFont(const QLabel *label);
    // Gives the labels the largest common size in which each text fits its box.
    static void fitTogether(std::initializer_list<QLabel *> labels);

    static QString longOffer();
    static QString shortOffer();
};
