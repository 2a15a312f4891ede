#include "ui/Idioma.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace kv::ui {

bool PrepararIdioma(QCoreApplication& aplicacion) {
    QLocale locale;
    if (locale.language() == QLocale::C) {
        // No locale set: the users read Spanish.
        locale = QLocale(QLocale::Spanish, QLocale::Argentina);
        QLocale::setDefault(locale);
    }
    // The program speaks only Spanish, so Qt's own texts do too whatever the locale.
    const QLocale espanol = locale.language() == QLocale::Spanish ? locale : QLocale(QLocale::Spanish);
    auto* traductor = new QTranslator(&aplicacion);
    const QString carpeta = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!traductor->load(espanol, QStringLiteral("qtbase"), QStringLiteral("_"), carpeta)) {
        delete traductor;
        return false;
    }
    QCoreApplication::installTranslator(traductor);
    return true;
}

}  // namespace kv::ui
