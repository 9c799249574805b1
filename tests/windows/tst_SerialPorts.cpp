#include "SerialPorts.h"

#include <QTest>

#include <windows.h>

// The port list the port dialogs offer: the registry's value data, whole, in the order the
// registry enumerates them (here also the order of their value names and of their creation).
class TstSerialPorts : public QObject {
    Q_OBJECT

    HKEY m_key = nullptr;
    const QList<QPair<QString, QString>> m_ports = {{"\\Device\\zSerial1", "COM12"},
                                                    {"\\Device\\zSerial2", "COM3"},
                                                    {"\\Device\\zSerial3", "COM1"}};

    static const wchar_t* w(const QString& s) {
        return reinterpret_cast<const wchar_t*>(s.utf16());
    }

  private slots:
    void initTestCase() {
        QCOMPARE(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                                 REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &m_key, nullptr),
                 LONG(ERROR_SUCCESS));
        for (const auto& [name, port] : m_ports)
            QCOMPARE(RegSetValueExW(m_key, w(name), 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(w(port)),
                                    DWORD((port.size() + 1) * sizeof(wchar_t))),
                     LONG(ERROR_SUCCESS));
    }
    void cleanupTestCase() {
        for (const auto& entry : m_ports)
            RegDeleteValueW(m_key, w(entry.first));
        RegCloseKey(m_key);
    }

    void list_valueDataWholeInRegistryOrder() {
        const QStringList ports = ListSerialPorts(); // after the prefix's own
        QCOMPARE(ports.mid(ports.size() - 3), QStringList({"COM12", "COM3", "COM1"}));
        QCOMPARE(PlatformPortName("COM12"), QStringLiteral("COM12"));
    }
};

QTEST_GUILESS_MAIN(TstSerialPorts)
#include "tst_SerialPorts.moc"
