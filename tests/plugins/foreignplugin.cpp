// Somebody else's plug-in that fits the update interface, left in a folder Quillon starts from.
// Its code leaves a mark in the working folder the moment it is loaded.
#include "app/updateinterface.h"

#include <QDebug>
#include <QFile>
#include <QObject>

namespace {

struct Mark {
    Mark()
    {
        QFile mark(QStringLiteral("foreign-plugin-ran"));
        mark.open(QIODevice::WriteOnly);
    }
} mark;

}

class ForeignPlugin : public QObject, public OrvUpdateInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID OrvUpdateInterface_iid)
    Q_INTERFACES(OrvUpdateInterface)

public:
    void checkForUpdate(const QString&, const QString&, void (*)()) override
    {
        qDebug() << "foreign plug-in called";
    }
};

#include "foreignplugin.moc"
