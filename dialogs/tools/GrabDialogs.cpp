// Saves pictures of the options dialog, the General and About pages and the about box into the
// folder given as the only argument, for checking the layout by eye.

#include "AboutAnimation.h"
#include "PropertyPageFrame.h"
#include "frmAbout.h"
#include "frmTavrinOptions.h"
#include "ppgAbout.h"
#include "ppgAboutPrivate.h"
#include "ppgGeneral.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QTextStream>

namespace {

// Just enough of the control for the General page to load.
class SampleControl : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint16 CaseSensitive MEMBER mCaseSensitive)
    Q_PROPERTY(QVariant WholeWordOnly MEMBER mWholeWordOnly)
    Q_PROPERTY(QVariant LookInSubfolders MEMBER mLookInSubfolders)
    Q_PROPERTY(qint16 StreamFindings MEMBER mStreamFindings)
public:
    qint16 mCaseSensitive = -1;
    QVariant mWholeWordOnly = false;
    QVariant mLookInSubfolders = true;
    qint16 mStreamFindings = -1;
};

bool save(QWidget *widget, const QDir &out, const QString &name) {
    widget->show();
    QApplication::processEvents();
    return widget->grab().save(out.filePath(name));
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: " << argv[0] << " <output folder>\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    bool ok = true;

    frmTavrinOptions options;
    options.cbSearchFor->addItem(QStringLiteral("TODO"));
    options.cbFileExt->addItem(QStringLiteral("*.cpp"));
    options.cbDirectory->addItem(QStringLiteral("/home/user/projects/tavrin"));
    options.cbLookInSubfolders->setChecked(true);
    ok = save(&options, out, QStringLiteral("options.png")) && ok;

    SampleControl control;
    auto *general = new Tavrin::ppgGeneral;
    auto *aboutPage = new Tavrin::ppgAbout;
    Tavrin::PropertyPageFrame frame({&control}, {general, aboutPage});
    ok = save(&frame, out, QStringLiteral("page-general.png")) && ok;
    Tavrin::ppgAboutPrivate::animation(*aboutPage).Timer1_Timer();
    ok = save(aboutPage, out, QStringLiteral("page-about.png")) && ok;

    frmAbout about;
    about.animation().Timer1_Timer();
    about.animation().Timer1_Timer();
    ok = save(&about, out, QStringLiteral("about.png")) && ok;
    return ok ? 0 : 1;
}

#include "GrabDialogs.moc"
