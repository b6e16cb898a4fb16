#include <tavrinx/TavrinX.h>

#include <QPluginLoader>
#include <QTemporaryDir>
#include <QTest>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

// Qt Designer finds the control through the plugin: loaded as Designer loads it, it must
// describe TavrinX and make working instances.
class TestDesignerPlugin : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(mConfig.isValid());
        qputenv("XDG_CONFIG_HOME", mConfig.path().toLocal8Bit());
        mLoader.setFileName(QStringLiteral(DESIGNER_PLUGIN_PATH));
        QVERIFY2(mLoader.load(), qPrintable(mLoader.errorString()));
        mPlugin = qobject_cast<QDesignerCustomWidgetInterface *>(mLoader.instance());
        QVERIFY(mPlugin);
    }

    void describesTheControlForTheWidgetBox() {
        QCOMPARE(mPlugin->name(), QStringLiteral("TavrinX"));
        QCOMPARE(mPlugin->group(), QStringLiteral("Tavrin"));
        QCOMPARE(mPlugin->includeFile(), QStringLiteral("tavrinx/TavrinX.h"));
        QVERIFY(!mPlugin->toolTip().isEmpty());
        QVERIFY(!mPlugin->icon().isNull());
        QVERIFY(!mPlugin->isContainer());
        QVERIFY(mPlugin->domXml().contains(QStringLiteral("<widget class=\"TavrinX\"")));
    }

    void createsAnInitialisedControlOnTheForm() {
        QWidget form;
        QWidget *widget = mPlugin->createWidget(&form);
        auto *control = qobject_cast<TavrinX *>(widget);
        QVERIFY(control);
        QCOMPARE(control->parentWidget(), &form);
        // Its engine is there: the filter reads back the engine's default.
        QCOMPARE(control->SearchExt(), QStringLiteral("*.*"));
    }

    void createsAControlWithoutAForm() {
        std::unique_ptr<QWidget> widget(mPlugin->createWidget(nullptr));
        auto *control = qobject_cast<TavrinX *>(widget.get());
        QVERIFY(control);
        QCOMPARE(control->SearchExt(), QStringLiteral("*.*"));
    }

private:
    QTemporaryDir mConfig;
    QPluginLoader mLoader;
    QDesignerCustomWidgetInterface *mPlugin = nullptr;
};

QTEST_MAIN(TestDesignerPlugin)
#include "tst_designerplugin.moc"
