#include "FileBytes.h"
#include "Ini.h"
#include "SmallDisk.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

class TstIni : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_dir;
    QString m_path;

    void writeRaw(const QByteArray& bytes) {
        QFile f(m_path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QByteArray readRaw() { return FileBytes(m_path); }

  private slots:
    void init() {
        QFile::remove(m_path = m_dir.filePath(QStringLiteral("config.ini")));
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner);
    }

    void defaultWriter_producesExactFile() {
        QVERIFY(WriteDefaultConfig(m_path));
        QByteArray expected =
            "[caption]\r\ntitle=" + QByteArray::fromHex("d1b9c1a6d2c7b1edbce0bfd8c8edbcfe") +
            "\r\n[ComSet]\r\nbaudrate=3\r\ncomid=\r\n";
        const QList<QPair<QByteArray, QByteArray>> numbered = {{"LineWidthPress", "1"},
                                                               {"LineColorPress", "255"},
                                                               {"LineWidthTemp", "1"},
                                                               {"LineColorTemp", "255"},
                                                               {"OpenOrClose", "0"}};
        for (const auto& [section, value] : numbered) {
            expected += "[" + section + "]\r\n";
            for (int n = 1; n <= 8; ++n)
                expected += QByteArray::number(n) + "=" + value + "\r\n";
        }
        expected += "[mSet]\r\n";
        for (int n = 1; n <= 8; ++n)
            expected += "PresFull" + QByteArray::number(n) + "=50\r\n";
        expected += "TempFull=1\r\nPresY0=0\r\nPresYn=1000\r\n";
        QCOMPARE(readRaw(), expected);

        QCOMPARE(IniReadString(m_path, "Caption", "title"), QStringLiteral("压力仪表监控软件"));
        QCOMPARE(IniReadString(m_path, "comSet", "comid"), QString());
        QCOMPARE(IniReadInteger(m_path, "MSET", "presyn"), 1000);
    }

    void write_existingSectionOtherCase_keepsFirstHeader() {
        QVERIFY(WriteDefaultConfig(m_path));
        QVERIFY(IniWriteString(m_path, "comSet", "comid", "ttyUSB0"));
        QVERIFY(IniWriteInteger(m_path, "comSet", "BAUDRATE", 4));
        const QByteArray raw = readRaw();
        QCOMPARE(raw.count("[ComSet]"), 1);
        QVERIFY(!raw.contains("[comSet]"));
        QVERIFY(raw.contains("[ComSet]\r\nbaudrate=4\r\ncomid=ttyUSB0\r\n[LineWidthPress]"));
        QCOMPARE(IniReadString(m_path, "COMSET", "ComId"), QStringLiteral("ttyUSB0"));
    }

    void write_placesEntries_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("after");
        const auto row = [](const char* name, const QByteArray& before, const QString& section,
                            const QString& key, const QByteArray& after) {
            QTest::newRow(name) << before << section << key << after;
        };
        row("missing file", {}, "New", "k", "[New]\r\nk=v\r\n");
        row("replace in place", "[a]\nx=1\ny=2\n", "A", "X", "[a]\nx=v\ny=2\n");
        row("missing key at end of its section, before blank lines",
            "[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n", "a", "z",
            "[a]\r\nx=1\r\nz=v\r\n\r\n[b]\r\ny=2\r\n");
        row("missing key in last section", "[a]\nx=1\n[b]\ny=2", "b", "z",
            "[a]\nx=1\n[b]\ny=2\nz=v\n");
        row("missing section at end of file", "[a]\r\nx=1\r\n", "Neu", "k",
            "[a]\r\nx=1\r\n[Neu]\r\nk=v\r\n");
        row("comments and other sections kept", "; note\n[b]\nx=1\n[a]\nx=1\n", "a", "x",
            "; note\n[b]\nx=1\n[a]\nx=v\n");
        row("garbage without sections", QByteArray("\x01\xff\xfe=\x80\n\0\0zz", 10), "s", "k",
            QByteArray("\x01\xff\xfe=\x80\n\0\0zz\n[s]\nk=v\n", 19));
    }
    void write_placesEntries() {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QByteArray, after);
        if (!before.isNull())
            writeRaw(before);
        QVERIFY(IniWriteString(m_path, section, key, "v"));
        QCOMPARE(readRaw(), after);
        QCOMPARE(IniReadString(m_path, section, key), QStringLiteral("v"));
    }

    void read_value_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("value");
        QTest::newRow("blanks") << QByteArray("k =  \t a b \t") << "a b";
        QTest::newRow("double quotes") << QByteArray("k= \" a \" ") << " a ";
        QTest::newRow("single quotes") << QByteArray("k='x'") << "x";
        QTest::newRow("just a pair of quotes") << QByteArray("k=\"\"") << "";
        QTest::newRow("only one pair") << QByteArray("k=\"\"x\"\"") << "\"x\"";
        QTest::newRow("unmatched quotes") << QByteArray("k=\"x'") << "\"x'";
        QTest::newRow("lone quote") << QByteArray("k=\"") << "\"";
        QTest::newRow("empty") << QByteArray("k=") << "";
        QTest::newRow("equals in value") << QByteArray("k=a=b") << "a=b";
        QTest::newRow("gbk") << QByteArray("k=\xd1\xb9\xc1\xa6") << "压力";
        QTest::newRow("gbk beyond gb2312")
            << QByteArray("k=\x89\xba\xc1\xa6\x9c\xd8\xb6\xc8") << "壓力溫度";
        QTest::newRow("cut at 2047 bytes") << "k=" + QByteArray(3000, 'a') << QString(2047, 'a');
        QTest::newRow("cut keeps no half character")
            << "k=" + QByteArray(2046, 'a') + "\xd1\xb9" << QString(2046, 'a');
        QTest::newRow("quotes removed before the cut")
            << "k=\"" + QByteArray(2047, 'b') + "\"" << QString(2047, 'b');
    }
    void read_value() {
        QFETCH(QByteArray, line);
        QFETCH(QString, value);
        writeRaw("[s]\r\n" + line + "\r\n");
        QCOMPARE(IniReadString(m_path, "S", "K"), value);
    }

    void read_missingOrGarbage_givesEmpty_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("no file") << QByteArray();
        QTest::newRow("no sections") << QByteArray("k=5\r\nk=6\r\n");
        QTest::newRow("other section") << QByteArray("[t]\nk=5\n");
        QTest::newRow("key in a later section only") << QByteArray("[s]\nj=1\n[t]\nk=5\n");
        QTest::newRow("binary") << QByteArray("\0\xff[\x02]\x80\x81=\n\r\r\xfe", 13);
        QTest::newRow("megabyte line") << "[s]" + QByteArray(4 << 20, 'k') + "=5";
        QTest::newRow("unterminated header") << QByteArray("[s\nk=5\n");
    }
    void read_missingOrGarbage_givesEmpty() {
        QFETCH(QByteArray, content);
        if (!content.isNull())
            writeRaw(content);
        QCOMPARE(IniReadString(m_path, "s", "k"), QString());
        QCOMPARE(IniReadInteger(m_path, "s", "k"), 0);
    }

    void parseInteger_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        for (const char* hex : {"0x1F", "0X1f", "$1F", "x1F", "X1F"})
            QTest::newRow(hex) << hex << 31;
        QTest::newRow("-5") << "-5" << -5;
        QTest::newRow("+7") << "+7" << 7;
        QTest::newRow("leading blanks") << " \t 12" << 12;
        QTest::newRow("-$10") << "-$10" << -16;
        QTest::newRow("leading zeros") << "007" << 7;
        QTest::newRow("max") << "2147483647" << 2147483647;
        QTest::newRow("min") << "-2147483648" << int(INT32_MIN);
        QTest::newRow("0x7FFFFFFF") << "0x7FFFFFFF" << 2147483647;
        for (const char* bad :
             {"2147483648", "-2147483649", "0x80000000", "99999999999999999999999", "", "abc",
              "12a", "0x", "$", "-", "5 ", "--5", "1F"})
            QTest::newRow(bad) << bad << 0;
        QTest::newRow("fullwidth digit") << "\uFF15" << 0;
    }
    void parseInteger() {
        QFETCH(QString, text);
        QTEST(ParseIniInteger(text), "value");
    }

    void writeInteger_isPlainDecimal() {
        QVERIFY(IniWriteInteger(m_path, "m", "a", -5));
        QVERIFY(IniWriteInteger(m_path, "m", "b", 0));
        QVERIFY(IniWriteInteger(m_path, "m", "c", INT32_MIN));
        QCOMPARE(readRaw(), QByteArray("[m]\r\na=-5\r\nb=0\r\nc=-2147483648\r\n"));
    }

    void write_valueWithLineBreak_staysOneEntry() {
        QVERIFY(IniWriteString(m_path, "s", "k", "a\r\n[x]\nb=1"));
        QVERIFY(!readRaw().contains("\n[x]"));
        QCOMPARE(IniReadString(m_path, "x", "b"), QString());
    }

    // Names the file could not give back: writing them would report success for an entry
    // that no read finds, or turn the entry into a section header.
    void write_unreadableName_refused_data() {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        for (const char* key : {";k", "#k", "[k", " [k", "\v[k", " \t", "a=b"})
            QTest::newRow(qPrintable("key " + QByteArray(key).toPercentEncoding())) << "s" << key;
        QTest::newRow("key outside GBK") << "s" << QString::fromUtf8("k\xF0\x9F\x98\x80");
        QTest::newRow("section outside GBK") << QString::fromUtf8("s\xee") << "k";
        QTest::newRow("section with ']' as trail byte") << QString::fromUtf8("\xE4\xB9\x9A") << "k";
        for (const char* section : {"a]b", "a\nb"})
            QTest::newRow(qPrintable("section " + QByteArray(section).toPercentEncoding()))
                << section << "k";
    }
    void write_unreadableName_refused() {
        QFETCH(QString, section);
        QFETCH(QString, key);
        writeRaw("[s]\nk=1\n");
        QVERIFY(!IniWriteString(m_path, section, key, "v]"));
        QCOMPARE(readRaw(), QByteArray("[s]\nk=1\n"));
    }

    void names_matchedBlankTrimmed() {
        writeRaw("[s]\nk=1\n");
        QVERIFY(IniWriteString(m_path, " s\t", "\tk ", "2"));
        QCOMPARE(readRaw(), QByteArray("[s]\nk=2\n"));
        QVERIFY(IniWriteString(m_path, " t ", " j ", "3"));
        QCOMPARE(readRaw(), QByteArray("[s]\nk=2\n[t]\nj=3\n"));
        QCOMPARE(IniReadString(m_path, " s", "k "), QStringLiteral("2"));
        QCOMPARE(IniReadString(m_path, "t", "j"), QStringLiteral("3"));
    }

    void write_readOnlyFile_refusedUntilMadeWritable() {
        writeRaw("[s]\nk=1\n");
        QVERIFY(QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        QVERIFY(!IniWriteString(m_path, "s", "k", "2"));
        QCOMPARE(readRaw(), QByteArray("[s]\nk=1\n"));

        QVERIFY(MakeWritable(m_path));
        QVERIFY(IniWriteString(m_path, "s", "k", "2"));
        QCOMPARE(IniReadInteger(m_path, "s", "k"), 2);
        // The replacement file keeps the old permissions (on Windows: the cleared attribute).
#ifdef Q_OS_WIN
        QCOMPARE(QFile::permissions(m_path) & 0x6000,
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
#else
        QCOMPARE(QFile::permissions(m_path) & 0x7077,
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
#endif
    }

#ifdef Q_OS_WIN
    // Hidden, system and read-only, as a copy from a backup medium may come: all cleared.
    void makeWritable_clearsHiddenSystemReadOnly() {
        writeRaw("[s]\nk=1\n");
        const std::wstring name = QDir::toNativeSeparators(m_path).toStdWString();
        const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
        QVERIFY(SetFileAttributesW(name.c_str(), kept));
        QCOMPARE(GetFileAttributesW(name.c_str()) & kept, kept);
        QVERIFY(MakeWritable(m_path));
        QCOMPARE(GetFileAttributesW(name.c_str()) & kept, DWORD(0));
        QVERIFY(IniWriteString(m_path, "s", "k", "2"));
    }
#endif

#ifdef Q_OS_LINUX // a small tmpfs and another user's folder
    // A write either lands whole or leaves every byte as it was; a folder that takes no new
    // file still lets a writable file take the write in place.
    void write_fullDiskOrClosedFolder_data() {
        QTest::addColumn<bool>("full");
        QTest::addColumn<bool>("closedFolder");
        QTest::addColumn<int>("valueBytes");
        QTest::addColumn<bool>("written");
        QTest::newRow("full disk, same length") << true << false << 1 << false;
        QTest::newRow("full disk, longer value") << true << false << 9000 << false;
        QTest::newRow("closed folder") << false << true << 9000 << true;
        QTest::newRow("closed folder, full disk, fits the last page") << true << true << 40 << true;
        QTest::newRow("closed folder, full disk, needs a page") << true << true << 9000 << false;
    }
    void write_fullDiskOrClosedFolder() {
        QFETCH(bool, full);
        QFETCH(bool, closedFolder);
        QFETCH(int, valueBytes);
        SmallDisk disk(256);
        if (!disk.mounted())
            QSKIP(qPrintable(disk.reason()));
        const QString path = disk.path() + "/config.ini";
        QVERIFY(WriteDefaultConfig(path) && IniWriteString(path, "s", "k", "1"));
        const QByteArray before = FileBytes(path);
        // Root writes into any folder; as another user a root-owned folder is closed.
        QVERIFY(!closedFolder || ::chown(qPrintable(path), 65534, 65534) == 0);
        QVERIFY(!full || disk.fill());
        if (closedFolder)
            QVERIFY(::seteuid(65534) == 0);
        const bool ok = IniWriteString(path, "s", "k", QString(valueBytes, u'7'));
        QVERIFY(!closedFolder || ::seteuid(0) == 0);
        QTEST(ok, "written");
        const QByteArray after =
            QByteArray(before).replace("k=1", "k=" + QByteArray(valueBytes, '7'));
        QCOMPARE(FileBytes(path), ok ? after : before);
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden).size(), full ? 2 : 1);
    }
#endif

    void missingFolderOrFile_fails() {
        QVERIFY(!IniWriteString(m_dir.filePath("no/such/config.ini"), "s", "k", "1"));
        QVERIFY(!MakeWritable(m_path));
    }
};

QTEST_GUILESS_MAIN(TstIni)
#include "tst_Ini.moc"
