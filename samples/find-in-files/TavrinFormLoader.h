#pragma once

#include <QString>
#include <QUiLoader>
#include <exception>

namespace Tavrin {
class UserControlHost;
}

// Loads a Designer form and places each TavrinX on it through the host, as a saved instance
// named after its object name, so it runs its container events and uses its own settings file.
class TavrinFormLoader : public QUiLoader {
    Q_OBJECT
public:
    explicit TavrinFormLoader(Tavrin::UserControlHost &host, QObject *parent = nullptr);

    // The form from a .ui file or resource. A form that cannot be read throws PlatformError;
    // a control that could not be created throws what its creation threw.
    QWidget *loadForm(const QString &uiFile, QWidget *parentWidget);

    QWidget *createWidget(const QString &className, QWidget *parent = nullptr,
                          const QString &name = QString()) override;

private:
    Tavrin::UserControlHost &mHost;
    // The failure of a control's creation; QUiLoader cannot carry an exception through.
    std::exception_ptr mCreateError;
};
