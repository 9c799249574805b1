#include "Ini.h"
#include "InstanceLock.h"
#include "ProgramIcon.h"
#include "SerialLink.h"
#include "TFrmComSet.h"
#include "TFrmMain.h"

#include <QApplication>
#include <QDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QThread>
#include <QTranslator>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The toolkit's own dialogs (file chooser, print dialog, message buttons) speak the
    // operators' language too, where the translations are installed.
    QTranslator toolkitTexts;
    if (toolkitTexts.load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&toolkitTexts);
    QApplication::setWindowIcon(ProgramIcon()); // the dialogs' icon too

    InstanceLock instance(ExecutableDir());
    if (!instance.acquire([](const QString& text) {
            QMessageBox::information(nullptr, QApplication::applicationName(), text);
        }))
        return 0;

    SerialLink link(ConfigPath());
    MainEnvironment env;
    env.baseDir = ExecutableDir();
    env.link = &link;
    // The instrument settings dialog's exchanges (write, fixed pause, one read) still block:
    // they run only on the operator's request. The polling cycle waits on timers instead.
    env.pause = [](int ms) { QThread::msleep(ms); };
    env.clock = [] { return QDateTime::currentDateTime(); };
    // Nothing the window does (a print job, a modal box) may cost a row.
    env.acquisitionThread = true;
    // The port steps' boxes and dialog leave the main window closable (TFrmMain::runClosable).
    TFrmMain* mainWindow = nullptr;
    env.showMessage = [&mainWindow](const QString& text) {
        QMessageBox box(QMessageBox::Information, QApplication::applicationName(), text,
                        QMessageBox::Ok, mainWindow);
        if (mainWindow)
            mainWindow->runClosable(box);
        else
            box.exec();
    };
    env.showError = [](const QString& text) {
        QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), text);
    };
    env.runComSet = [&mainWindow](TFrmComSet& dialog) {
        if (mainWindow)
            mainWindow->runClosable(dialog);
        else
            dialog.exec();
    };
    env.runDialog = [](QDialog& dialog) { dialog.exec(); };

    TFrmMain window(env);
    mainWindow = &window;
    window.show();
    return app.exec();
}
