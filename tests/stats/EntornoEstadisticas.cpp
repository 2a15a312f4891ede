#include "EntornoEstadisticas.h"

#include "db/Recordset.h"
#include "localserver/ServidorEmbebido.h"
#include "localserver/demo/DatosDemo.h"
#include "localserver/erp/EsquemaERP.h"
#include "localserver/procedimientos/ReconsEstv.h"
#include "stats/Empresas.h"

namespace kv::pruebas {

QString EntornoEstadisticas::Cadena(const QString& base, const QString& usuario, const QString& clave) {
    return "PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database =" + base + ";UId=" + usuario + ";Pwd=" + clave + ";";
}

EntornoEstadisticas::EntornoEstadisticas(const QStringList& empresas, const QString& servidor)
    : empresas_(empresas), servidor_(servidor) {
    kv::local::RegistrarServidorEmbebido();
    kv::local::RegistrarReconsEstv();
    kv::local::demo::RegistrarProcedimientoDemo();
    kv::db::DB_Dll::DescartarPrincipal();
    administrador_ = std::make_unique<kv::db::Conexion>();
    administrador_->Open(Cadena("master", "Korvane", "pelumbo"));
    for (const QString& base : empresas) {
        administrador_->Execute("CREATE DATABASE " + base);
        administrador_->Execute("EXEC sp_addlogin '" + base + "', '" + base + "', '" + base + "'");
        administrador_->Execute("USE " + base);
        administrador_->Execute("EXEC sp_grantdbaccess '" + base + "'");
        administrador_->Execute("EXEC sp_addrolemember 'db_owner', '" + base + "'");
        kv::local::CrearEsquemaERP(*administrador_);
        administrador_->Execute("USE master");
    }
}

EntornoEstadisticas::~EntornoEstadisticas() {
    almacen_.reset();
    kv::db::DB_Dll::DescartarPrincipal();
    try {
        if (administrador_ && administrador_->State() != 0) administrador_->Close();
    } catch (...) {
    }
}

void EntornoEstadisticas::Ejecutar(const QString& base, const QString& sql) const {
    administrador_->Execute("USE " + base);
    administrador_->Execute(sql);
}

QVariant EntornoEstadisticas::Valor(const QString& base, const QString& sql) const {
    administrador_->Execute("USE " + base);
    auto rs = administrador_->Execute(sql);
    if (!rs || rs->EOF_()) return QVariant();
    return rs->Valor(0);
}

std::vector<std::vector<QVariant>> EntornoEstadisticas::Filas(const QString& base, const QString& sql) const {
    administrador_->Execute("USE " + base);
    auto rs = administrador_->Execute(sql);
    if (!rs) return {};
    return rs->Resultado().filas;
}

kv::db::DB_Dll& EntornoEstadisticas::Erp() {
    kv::db::DB_Dll& erp = kv::db::DB_Dll::Principal();
    if (!erp.gOpenFlag) {
        erp.gServidor = servidor_;
        erp.gDBName = empresas_.value(0);
        erp.gUsuario = "Korvane";
        erp.gUserPassWord = "pelumbo";
        erp.OpenServerADODB(false, 3, QString(), false, false);
        erp.gCnn.SetDefaultDatabase(erp.gDBName);
    }
    return erp;
}

kv::db::DB_Dll& EntornoEstadisticas::Almacen() {
    if (!almacen_) {
        almacen_ = std::make_unique<kv::db::DB_Dll>();
        kv::stats::PrepararEstadisticas(Erp(), *almacen_);
    }
    return *almacen_;
}

void EntornoEstadisticas::AgregarEmpresa(const QString& base, bool compartida) const {
    Ejecutar("KV_ESTADISTICAS", "INSERT INTO MA_EMPRESAS (Base, Compartida) VALUES ('" + base + "'," +
                                    (compartida ? "1" : "0") + ")");
}

void EntornoEstadisticas::LlenarDemo(const QString& base, int indice, int lineas, const QDate& hasta) const {
    Ejecutar(base, QStringLiteral("EXEC KV_DEMO_LLENAR 7, %1, %2, '%3/%4'")
                       .arg(lineas)
                       .arg(indice)
                       .arg(hasta.month())
                       .arg(hasta.year()));
}

}  // namespace kv::pruebas
