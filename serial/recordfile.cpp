#include "serial/recordfile.h"

#include <QSaveFile>
#include <QTextStream>

namespace RecordFile {

bool write(const QString& path, const QString& text, QString* error)
{
    QSaveFile file(path);
    // A rename over the old name is the point: writing in place could leave half a file behind.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QTextStream out(&file);
    out << text;
    out.flush();
    if (out.status() != QTextStream::Ok) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    // commit() fails after any failed write, and when the final flush, close or rename fails;
    // the temporary file is removed then.
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace RecordFile
