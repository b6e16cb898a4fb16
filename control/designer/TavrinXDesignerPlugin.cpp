#include "TavrinXDesignerPlugin.h"

#include <tavrinx/TavrinX.h>
#include <tavrinx/UserControlHost.h>

#include <QIcon>
#include <QLabel>
#include <exception>

TavrinXDesignerPlugin::TavrinXDesignerPlugin(QObject *parent) : QObject(parent) {}

QString TavrinXDesignerPlugin::name() const {
    return QStringLiteral("TavrinX");
}

QString TavrinXDesignerPlugin::group() const {
    return QStringLiteral("Tavrin");
}

QString TavrinXDesignerPlugin::toolTip() const {
    return QStringLiteral("Find in files: a results grid with a status bar");
}

QString TavrinXDesignerPlugin::whatsThis() const {
    return QStringLiteral("Searches the text files below a folder for a string and lists every "
                          "finding (file, line, column, text). Set SearchPath and SearchString, "
                          "or call ShowTavrinDialog(), then Grep().");
}

QString TavrinXDesignerPlugin::includeFile() const {
    return QStringLiteral("tavrinx/TavrinX.h");
}

QIcon TavrinXDesignerPlugin::icon() const {
    return QIcon(QStringLiteral(":/tavrinx-designer/tavrin-icon.png"));
}

bool TavrinXDesignerPlugin::isContainer() const {
    return false;
}

QString TavrinXDesignerPlugin::domXml() const {
    return QStringLiteral(R"(<ui language="c++">
 <widget class="TavrinX" name="TavrinX1">
  <property name="geometry">
   <rect><x>0</x><y>0</y><width>413</width><height>231</height></rect>
  </property>
  <property name="toolTip"><string>Find in files</string></property>
 </widget>
</ui>
)");
}

QWidget *TavrinXDesignerPlugin::createWidget(QWidget *parent) {
    // The host lives on the form and terminates the control when the form goes. Without a
    // form (a preview of the widget box), a holder of its own plays the form.
    QWidget *form = parent;
    QWidget *holder = nullptr;
    if (!form)
        form = holder = new QWidget;
    auto *host = new Tavrin::UserControlHost(form);
    try {
        Tavrin::UserControl *control = host->createNew(
            QStringLiteral("TavrinX1"), [form](QWidget *) { return new TavrinX(form); });
        if (holder)
            QObject::connect(control, &QObject::destroyed, holder, &QObject::deleteLater);
        return control;
    } catch (const std::exception &error) {
        // Designer must go on without the engine server: show why instead of a control.
        delete holder;
        if (!holder)
            delete host;
        auto *placeholder = new QLabel(
            QStringLiteral("TavrinX: %1").arg(QString::fromStdString(error.what())), parent);
        placeholder->setWordWrap(true);
        return placeholder;
    }
}

bool TavrinXDesignerPlugin::isInitialized() const {
    return mbInitialized;
}

void TavrinXDesignerPlugin::initialize(QDesignerFormEditorInterface *) {
    mbInitialized = true;
}
