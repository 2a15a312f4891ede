#include "stats/ConfiguracionEmpresas.h"

#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "db/TextoSQL.h"
#include "util/Interaccion.h"

namespace kv::stats {

using kv::db::DB_Dll;
using kv::db::DuplicarApostrofes;

QString SentenciaEmpresaActual(const QString& base) {
    return QStringLiteral("SELECT * FROM MA_EMPRESAS WHERE BASE = '") + DuplicarApostrofes(base) +
           QStringLiteral("'");
}

QString SentenciaCompartirEmpresa(const QString& base, bool compartida) {
    return QStringLiteral("UPDATE MA_EMPRESAS SET COMPARTIDA =") +
           (compartida ? QStringLiteral("1") : QStringLiteral("0")) + QStringLiteral(" WHERE BASE ='") +
           DuplicarApostrofes(base) + QStringLiteral("'");
}

QString SentenciaAgregarEmpresa(const QString& base, bool compartida) {
    return QStringLiteral("INSERT INTO MA_EMPRESAS (BASE,COMPARTIDA) VALUES ('") + DuplicarApostrofes(base) +
           QStringLiteral("',") + (compartida ? QStringLiteral("1") : QStringLiteral("0")) +
           QStringLiteral(")");
}

QString SentenciaQuitarEmpresa(const QString& base) {
    return QStringLiteral("DELETE MA_EMPRESAS WHERE BASE='") + DuplicarApostrofes(base) + QStringLiteral("'");
}

std::optional<bool> LeerEmpresa(DB_Dll& almacen, const QString& base) {
    kv::db::Recordset registro;
    QString sql = SentenciaEmpresaActual(base);
    almacen.AbrirRecordset(sql, registro, nullptr, 0, 1, -1, true);
    std::optional<bool> compartida;
    if (registro.State() != kv::db::ado::Cerrado && !registro.EOF_()) {
        const QVariant valor = registro.Valor(QStringLiteral("COMPARTIDA"));
        compartida = !valor.isNull() && valor.toBool();
    }
    if (registro.State() != kv::db::ado::Cerrado) almacen.CierraRecordset(registro);
    return compartida;
}

namespace {

void Ejecutar(DB_Dll& conexion, QString sql) {
    qint32 afectados = 0;
    conexion.EjecutaConsultaSQL(sql, afectados);
}

}  // namespace

void AgregarEmpresa(DB_Dll& erp, DB_Dll& almacen, bool compartida) {
    Ejecutar(almacen, SentenciaAgregarEmpresa(erp.gDBName, compartida));
    Interaccion& ui = interaccion();
    const QString titulo = QString::fromUtf8(kTituloAgregarEmpresa);
    ui.ProgresoIniciar(titulo, false);
    ui.ProgresoActualizar(titulo, QString::fromUtf8(kMensajeEmpresas), QString::fromUtf8(kProgresoEmpresas));
    try {
        erp.gCnn.SetCommandTimeout(kTiempoIncluirEmpresa);
    } catch (const std::exception&) {
    }
    Ejecutar(erp, QString::fromLatin1(kIncluirEmpresa));
    ui.ProgresoCerrar();
}

void CompartirEmpresa(DB_Dll& erp, DB_Dll& almacen, bool compartida) {
    Ejecutar(almacen, SentenciaCompartirEmpresa(erp.gDBName, compartida));
}

void QuitarEmpresa(DB_Dll& erp, DB_Dll& almacen) {
    Ejecutar(almacen, SentenciaQuitarEmpresa(erp.gDBName));
    Interaccion& ui = interaccion();
    const QString titulo = QString::fromUtf8(kTituloQuitarEmpresa);
    ui.ProgresoIniciar(titulo, false);
    ui.ProgresoActualizar(titulo, QString::fromUtf8(kMensajeEmpresas), QString::fromUtf8(kProgresoEmpresas));
    Ejecutar(erp, QString::fromLatin1(kExcluirEmpresa));
    ui.ProgresoCerrar();
}

}  // namespace kv::stats
