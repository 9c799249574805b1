#include "Gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

// Qt's converters know GBK where Qt is built with ICU, as on Linux.
QByteArray GbkEncode(QStringView text) {
    QStringEncoder encoder("GBK");
    return encoder(text);
}

QString GbkDecode(QByteArrayView bytes) {
    QStringDecoder decoder("GBK");
    return decoder(bytes);
}
