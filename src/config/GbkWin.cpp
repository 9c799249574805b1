#include "Gbk.h"

#include <windows.h>

// Qt for Windows is built without ICU, so its converters do not know GBK; the system's code
// page 936 is the same table.
namespace {
constexpr UINT kGbk = 936;
}

QByteArray GbkEncode(QStringView text) {
    if (text.isEmpty())
        return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    const int length = int(text.size());
    const int size = WideCharToMultiByte(kGbk, 0, wide, length, nullptr, 0, nullptr, nullptr);
    QByteArray bytes(size, Qt::Uninitialized);
    WideCharToMultiByte(kGbk, 0, wide, length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

QString GbkDecode(QByteArrayView bytes) {
    if (bytes.isEmpty())
        return {};
    const int length = int(bytes.size());
    const int size = MultiByteToWideChar(kGbk, 0, bytes.data(), length, nullptr, 0);
    QString text(size, Qt::Uninitialized);
    MultiByteToWideChar(kGbk, 0, bytes.data(), length, reinterpret_cast<wchar_t*>(text.data()),
                        size);
    return text;
}
