#include "Ini.h"

#include <QDir>

#include <windows.h>

// Normal attributes: read-only, hidden, system and archive all cleared.
bool MakeWritable(const QString& path) {
    const QString native = QDir::toNativeSeparators(path);
    const auto* name = reinterpret_cast<const wchar_t*>(native.utf16());
    return SetFileAttributesW(name, FILE_ATTRIBUTE_NORMAL) != 0;
}
