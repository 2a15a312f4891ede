#include "localserver/erp/EsquemaERP.h"

#include <QFile>
#include <QRegularExpression>

#include "db/Conexion.h"
#include "db/Recordset.h"

// The resource lives in a static library: it has to be registered by hand
// before the first read, and Q_INIT_RESOURCE may not be used inside a namespace.
static void RegistrarRecursoEsquema() {
    static const bool registrado = [] {
        Q_INIT_RESOURCE(esquema_erp);
        return true;
    }();
    (void)registrado;
}

namespace kv::local {

QString TextoEsquemaERP() {
    RegistrarRecursoEsquema();
    QFile archivo(QStringLiteral(":/erp/esquema_erp.sql"));
    if (!archivo.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(archivo.readAll());
}

namespace {
bool SoloComentarios(const QString& lote) {
    const QStringList lineas = lote.split(QLatin1Char('\n'));
    for (const QString& linea : lineas) {
        const QString limpia = linea.trimmed();
        if (!limpia.isEmpty() && !limpia.startsWith(QLatin1String("--"))) return false;
    }
    return true;
}
}  // namespace

QStringList DividirLotesGO(const QString& guion) {
    static const QRegularExpression separador(QStringLiteral("^\\s*GO\\s*$"),
                                              QRegularExpression::CaseInsensitiveOption);
    QStringList lotes;
    QString actual;
    QString texto = guion;
    texto.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    const QStringList lineas = texto.split(QLatin1Char('\n'));
    for (const QString& linea : lineas) {
        if (separador.match(linea).hasMatch()) {
            if (!SoloComentarios(actual)) lotes << actual;
            actual.clear();
            continue;
        }
        actual += linea;
        actual += QLatin1Char('\n');
    }
    if (!SoloComentarios(actual)) lotes << actual;
    return lotes;
}

void EjecutarGuion(kv::db::Conexion& conexion, const QString& guion) {
    for (const QString& lote : DividirLotesGO(guion)) {
        conexion.Execute(lote);
    }
}

void CrearEsquemaERP(kv::db::Conexion& conexion) { EjecutarGuion(conexion, TextoEsquemaERP()); }

}  // namespace kv::local
