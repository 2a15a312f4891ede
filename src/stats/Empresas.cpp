#include "stats/Empresas.h"

#include "core/Ajustes.h"
#include "core/Inicio.h"
#include "core/Numeros.h"
#include "core/Sentencias.h"
#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "db/TextoSQL.h"
#include "stats/AlmacenEstadisticas.h"

namespace kv::stats {

using kv::db::DB_Dll;

QString SentenciaEmpresasVentana(const QString& baseERP) {
    return QStringLiteral("SELECT * FROM MA_EMPRESAS WHERE COMPARTIDA=1 OR BASE = '") +
           kv::db::DuplicarApostrofes(baseERP) + QStringLiteral("' ORDER BY BASE");
}

std::vector<EntradaEmpresa> ListaEmpresas(DB_Dll& almacen, const QString& baseERP) {
    std::vector<EntradaEmpresa> lista;
    kv::db::Recordset registros;
    QString sql = SentenciaEmpresasVentana(baseERP);
    almacen.AbrirRecordset(sql, registros);
    if (registros.State() == kv::db::ado::Cerrado) return lista;
    while (!registros.EOF_()) {
        const QVariant valor = registros.Valor(QStringLiteral("Base"));
        const QString base = valor.isNull() ? QString() : valor.toString();
        lista.push_back({base.toUpper(), base.compare(baseERP, Qt::CaseInsensitive) == 0});
        registros.MoveNext();
    }
    almacen.CierraRecordset(registros);
    return lista;
}

bool AbrirConexionAlmacen(DB_Dll& almacen, const DB_Dll& principal) {
    if (almacen.gCnn.State() != kv::db::ado::Cerrado) almacen.gCnn.Close();
    almacen.gDBName = QString::fromLatin1(kBaseAlmacen);
    almacen.gUsuario = QString::fromLatin1(kUsuarioAlmacen);
    almacen.gUserPassWord = kv::core::ClaveEstadisticas();
    almacen.gServidor = principal.gServidor;
    almacen.OpenServerADODB(false, 3, QString(), false, true);
    if (almacen.gCnn.State() == kv::db::ado::Cerrado) return false;
    try {
        almacen.gCnn.SetDefaultDatabase(QString::fromLatin1(kBaseAlmacen));
    } catch (const std::exception&) {
    }
    return true;
}

bool PrepararEstadisticas(DB_Dll& principal, DB_Dll& almacen) {
    CrearBaseEstadisticas(principal);
    const bool abierta = AbrirConexionAlmacen(almacen, principal);
    try {
        if (principal.gCnn.State() != kv::db::ado::Cerrado)
            principal.gCnn.SetDefaultDatabase(principal.gDBName);
    } catch (const std::exception&) {
    }
    return abierta;
}

int DecimalesConfigurados() {
    int cifras = static_cast<int>(kv::core::NumeroInicial(kv::core::Ajustes().cantidadDecimales));
    if (cifras == 0) cifras = kv::core::DecimalesMonedaLocales();
    if (cifras < 0) cifras = 0;
    if (cifras > 15) cifras = 15;
    return cifras;
}

}  // namespace kv::stats
