#include "TavrinFormLoader.h"

#include <tavrinx/PlatformError.h>
#include <tavrinx/TavrinX.h>
#include <tavrinx/UserControlHost.h>

#include <QFile>

TavrinFormLoader::TavrinFormLoader(Tavrin::UserControlHost &host, QObject *parent)
    : QUiLoader(parent), mHost(host) {}

QWidget *TavrinFormLoader::loadForm(const QString &uiFile, QWidget *parentWidget) {
    QFile file(uiFile);
    if (!file.open(QIODevice::ReadOnly))
        throw Tavrin::PlatformError(Tavrin::PlatformError::FileNotFound,
                                    QStringLiteral("Cannot open the form %1").arg(uiFile));
    mCreateError = nullptr;
    QWidget *form = load(&file, parentWidget);
    if (mCreateError) {
        delete form;
        std::rethrow_exception(std::exchange(mCreateError, nullptr));
    }
    if (!form)
        throw Tavrin::PlatformError(
            Tavrin::PlatformError::FileNotFound,
            QStringLiteral("Cannot load the form %1: %2").arg(uiFile, errorString()));
    return form;
}

QWidget *TavrinFormLoader::createWidget(const QString &className, QWidget *parent,
                                        const QString &name) {
    if (className != QLatin1String("TavrinX"))
        return QUiLoader::createWidget(className, parent, name);
    try {
        return mHost.load(
            name, [parent](QWidget *) -> Tavrin::UserControl * { return new TavrinX(parent); });
    } catch (...) {
        if (!mCreateError)
            mCreateError = std::current_exception();
    }
    // A stand-in keeps the loader going; loadForm reports the failure.
    return new QWidget(parent);
}
