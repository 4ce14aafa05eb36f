#include "app/updateinterface.h"

#include <QDebug>
#include <QObject>

// The update service lives outside Quillon; this plug-in only notes that a check was asked for.
class OrvUpdatePlugin : public QObject, public OrvUpdateInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID OrvUpdateInterface_iid)
    Q_INTERFACES(OrvUpdateInterface)

public:
    void checkForUpdate(const QString& appName, const QString& version, void (*)()) override
    {
        qDebug() << "checkForUpdate" << appName << version;
    }
};

#include "orvupdateplugin.moc"
