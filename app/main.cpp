#include "app/Help.h"
#include "app/MainForm.h"
#include "formats/ExchangeFolder.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(almadia::ApplicationTitle));

    // Qt's own texts (file dialog, message box details) in Spanish when the translations are there.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Spanish, QLocale::Spain), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    almadia::TMForm MForm(almadia::defaultExchangeFolder());
    QObject::connect(&MForm, &almadia::TMForm::finished, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    MForm.FormCreate(QApplication::arguments().mid(1));
    MForm.show();
    return application.exec();
}
