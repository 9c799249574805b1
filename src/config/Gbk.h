#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Text to and from the GBK code page (Windows code page 936), the encoding of config.ini and
// of the data files. The bytes are the same on every platform; only the converter differs.
// A character GBK cannot hold comes out as a stand-in, so a round trip shows the loss.
QByteArray GbkEncode(QStringView text);
QString GbkDecode(QByteArrayView bytes);
