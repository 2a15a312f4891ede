#include "ui/Idioma.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <clocale>

namespace kv::ui {

bool PrepararLocaleC() {
    if (std::setlocale(LC_ALL, "") != nullptr) return true;
    // A UTF-8 locale every C library carries (glibc builds C.UTF-8 in).
    if (std::setlocale(LC_ALL, "C.UTF-8") == nullptr) std::setlocale(LC_ALL, "C");
    return false;
}

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
