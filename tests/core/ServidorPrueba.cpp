#include "ServidorPrueba.h"

#include "db/Recordset.h"
#include "localserver/ServidorEmbebido.h"
#include "localserver/erp/EsquemaERP.h"

namespace kv::pruebas {

QString ServidorPrueba::Cadena(const QString& base, const QString& usuario, const QString& clave) {
    return "PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database =" + base + ";UId=" + usuario + ";Pwd=" + clave + ";";
}

ServidorPrueba::ServidorPrueba(const QString& base, const QString& usuario, const QString& clave,
                               bool conEsquema)
    : base_(base), usuario_(usuario), clave_(clave) {
    kv::local::RegistrarServidorEmbebido();
    administrador_ = std::make_unique<kv::db::Conexion>();
    administrador_->Open(Cadena("master", "Korvane", "pelumbo"));
    administrador_->Execute("CREATE DATABASE " + base);
    administrador_->Execute("EXEC sp_addlogin '" + usuario + "', '" + clave + "', '" + base + "'");
    administrador_->Execute("USE " + base);
    administrador_->Execute("EXEC sp_grantdbaccess '" + usuario + "'");
    administrador_->Execute("EXEC sp_addrolemember 'db_owner', '" + usuario + "'");
    if (conEsquema) kv::local::CrearEsquemaERP(*administrador_);
}

ServidorPrueba::~ServidorPrueba() {
    try {
        if (administrador_ && administrador_->State() != 0) administrador_->Close();
    } catch (...) {
    }
}

std::unique_ptr<kv::db::Conexion> ServidorPrueba::Conectar() const {
    auto c = std::make_unique<kv::db::Conexion>();
    c->Open(Cadena(base_, usuario_, clave_));
    return c;
}

void ServidorPrueba::Ejecutar(const QString& sql) const { administrador_->Execute(sql); }

QVariant ServidorPrueba::Valor(const QString& sql) const {
    auto rs = administrador_->Execute(sql);
    if (!rs || rs->EOF_()) return QVariant();
    return rs->Valor(0);
}

void ServidorPrueba::CrearAlmacenEstadisticas() const {
    administrador_->Execute("CREATE DATABASE KV_ESTADISTICAS");
    administrador_->Execute("EXEC sp_addlogin 'KV_ESTADISTICAS', 'QZ_TABLEROVENTA', 'KV_ESTADISTICAS'");
    administrador_->Execute("USE KV_ESTADISTICAS");
    administrador_->Execute("EXEC sp_grantdbaccess 'KV_ESTADISTICAS'");
    administrador_->Execute("EXEC sp_addrolemember 'db_owner', 'KV_ESTADISTICAS'");
    administrador_->Execute(
        "CREATE TABLE TA_CONFIGURACION (Clave nvarchar(50) NOT NULL PRIMARY KEY, Valor nvarchar(255) NULL, "
        "ValorAux nvarchar(255) NULL, Grupo nvarchar(50) NULL, PoliticaNegocio bit NULL)");
    administrador_->Execute("USE " + base_);
}

}  // namespace kv::pruebas
