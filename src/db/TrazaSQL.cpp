#include "db/TrazaSQL.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtDebug>
#include <cmath>

namespace kv::db {

std::unique_ptr<TrazaSQL> TrazaSQL::DesdeEntorno() {
    const QString archivo = qEnvironmentVariable(kVariableTrazaSQL).trimmed();
    if (archivo.isEmpty()) return nullptr;
    return std::make_unique<TrazaSQL>(archivo);
}

TrazaSQL::TrazaSQL(const QString& archivo) : archivo_(archivo) {}

QByteArray TrazaSQL::Linea(const EntradaTraza& e) {
    QJsonObject o;
    o.insert(QStringLiteral("hora"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    o.insert(QStringLiteral("operacion"), e.operacion);
    o.insert(QStringLiteral("servidor"), e.servidor);
    o.insert(QStringLiteral("base"), e.base);
    o.insert(QStringLiteral("sql"), e.sql);
    o.insert(QStringLiteral("ms"), std::round(e.ms * 1000.0) / 1000.0);
    o.insert(QStringLiteral("filas"), e.filas ? QJsonValue(static_cast<double>(*e.filas)) : QJsonValue());
    o.insert(QStringLiteral("error"), e.error ? QJsonValue(*e.error) : QJsonValue());
    if (e.numero) o.insert(QStringLiteral("numero"), *e.numero);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

void TrazaSQL::Escribir(const EntradaTraza& entrada) {
    if (!archivo_.isOpen()) {
        // Unbuffered append: each line goes out in one write, so several connections
        // (and several programs) can share one trace file without mixing lines.
        if (!archivo_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            if (!avisado_) qWarning() << "No se puede escribir la traza SQL en" << archivo_.fileName();
            avisado_ = true;
            return;
        }
    }
    QByteArray linea = Linea(entrada);
    linea.append('\n');
    archivo_.write(linea);
}

}  // namespace kv::db
