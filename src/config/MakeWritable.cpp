#include "Ini.h"

#include <QFile>

// Without file attributes, a file is made writable by giving its owner write permission.
bool MakeWritable(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return false;
    return file.setPermissions(file.permissions() | QFileDevice::WriteOwner);
}
