#include "AboutAnimation.h"
#include "AboutContent.h"
#include "ModalDriver.h"
#include "Twips.h"
#include "frmAbout.h"
#include "ppgAbout.h"
#include "ppgAboutPrivate.h"

#include <QLabel>
#include <QPointer>
#include <QTest>

namespace {

// Numbers (1-6) of the frames on view.
QList<int> shownFrames(const AboutContent &content) {
    QList<int> shown;
    for (int i = 0; i < 6; ++i)
        if (!content.Images[i]->isHidden())
            shown << i + 1;
    return shown;
}

} // namespace

class TestAboutAnimation : public QObject {
    Q_OBJECT

private slots:
    // With whatever fonts the machine offers, each text keeps within its designed box, wrapped
    // at its width, descenders included.
    void everyTextFitsItsDesignedBox_data() {
        QTest::addColumn<bool>("onPage");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");
        for (const bool onPage : {false, true}) {
            const char *where = onPage ? "page " : "window ";
            const int titleHeight = onPage ? 555 : 435;
            const QString offer =
                onPage ? QStringLiteral("Label4") : QStringLiteral("lblAboutTavrin");
            QTest::addRow("%sLabel1", where)
                << onPage << "Label1" << QRect(1530, 90, 2175, titleHeight);
            QTest::addRow("%soffer", where) << onPage << offer << QRect(1320, 600, 3345, 1095);
            QTest::addRow("%sLabel2", where) << onPage << "Label2" << QRect(1260, 1500, 3375, 555);
            QTest::addRow("%sLabel3", where) << onPage << "Label3" << QRect(1260, 2100, 3165, 255);
            QTest::addRow("%sLabel5", where) << onPage << "Label5" << QRect(840, 2460, 3765, 255);
        }
    }
    void everyTextFitsItsDesignedBox() {
        QFETCH(bool, onPage);
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        frmAbout window;
        Tavrin::ppgAbout page;
        QWidget &host = onPage ? static_cast<QWidget &>(page) : window;
        const auto *label = host.findChild<QLabel *>(name);
        QVERIFY(label);
        QCOMPARE(label->geometry(),
                 Twips::toPixels(&host, twips.x(), twips.y(), twips.width(), twips.height()));
        const QSize need = AboutContent::textSize(label, label->font());
        QVERIFY2(need.width() <= label->width() && need.height() <= label->height(),
                 qPrintable(QStringLiteral("%1x%2 in %3x%4")
                                .arg(need.width())
                                .arg(need.height())
                                .arg(label->width())
                                .arg(label->height())));
    }

    void ticksCycleThroughTheSixFrames() {
        Tavrin::ppgAbout page;
        AboutAnimation &animation = Tavrin::ppgAboutPrivate::animation(page);
        QCOMPARE(animation.Timer1.interval(), 500);
        QVERIFY(animation.Timer1.isActive());
        animation.Timer1.stop(); // ticks are driven by hand below
        QCOMPARE(animation.lFrame, 1);
        for (int tick = 1; tick <= 13; ++tick) {
            animation.Timer1_Timer();
            const int expected = (tick - 1) % 6 + 1;
            QCOMPARE(shownFrames(Tavrin::ppgAboutPrivate::content(page)), QList<int>({expected}));
            QCOMPARE(animation.lFrame, expected % 6 + 1);
        }
    }

    void aboutBoxRestartsAtFrameOneEveryTime() {
        QPointer<frmAbout> firstWindow;
        whenModal<frmAbout>([&](frmAbout *window) {
            firstWindow = window;
            QCOMPARE(window->windowTitle(), QString("About TavrinX"));
            window->animation().Timer1_Timer();
            window->animation().Timer1_Timer();
            window->animation().Timer1_Timer();
            QCOMPARE(shownFrames(window->content()), QList<int>({3}));
            window->close();
        });
        ShowAboutBox();
        QVERIFY(firstWindow.isNull()); // released after closing

        int startFrame = 0;
        QList<int> shownAtStart{-1};
        QList<int> shownAfterRealTick;
        whenModal<frmAbout>([&](frmAbout *window) {
            QVERIFY(window != firstWindow);
            startFrame = window->animation().lFrame;
            shownAtStart = shownFrames(window->content());
            // The window's own timer drives it too.
            QTRY_VERIFY_WITH_TIMEOUT(!shownFrames(window->content()).isEmpty(), 2000);
            shownAfterRealTick = shownFrames(window->content());
            window->close();
        });
        ShowAboutBox();
        QCOMPARE(startFrame, 1);
        QCOMPARE(shownAtStart, QList<int>());
        QCOMPARE(shownAfterRealTick, QList<int>({1}));
    }

    void pageAnimatesIndependentlyOfTheWindow() {
        frmAbout window;
        Tavrin::ppgAbout page;
        window.animation().Timer1.stop();
        Tavrin::ppgAboutPrivate::animation(page).Timer1.stop();
        window.animation().Timer1_Timer();
        window.animation().Timer1_Timer();
        QCOMPARE(Tavrin::ppgAboutPrivate::animation(page).lFrame, 1);
        QCOMPARE(shownFrames(Tavrin::ppgAboutPrivate::content(page)), QList<int>());
        Tavrin::ppgAboutPrivate::animation(page).Timer1_Timer();
        QCOMPARE(shownFrames(Tavrin::ppgAboutPrivate::content(page)), QList<int>({1}));
        QCOMPARE(shownFrames(window.content()), QList<int>({2}));
    }
};

QTEST_MAIN(TestAboutAnimation)
#include "tst_AboutAnimation.moc"
