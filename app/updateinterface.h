#pragma once

#include <QString>
#include <QtPlugin>

// What the program needs of an update plug-in: one call per start.
class OrvUpdateInterface {
public:
    virtual ~OrvUpdateInterface() = default;
    // quit lets the plug-in end the program (for example after starting an installer).
    virtual void checkForUpdate(const QString& appName, const QString& version, void (*quit)()) = 0;
};

#define OrvUpdateInterface_iid "org.quillon.Quillon.OrvUpdateInterface"
Q_DECLARE_INTERFACE(OrvUpdateInterface, OrvUpdateInterface_iid)
