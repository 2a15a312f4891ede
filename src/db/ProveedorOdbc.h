#pragma once
// The ODBC provider (unixODBC): serves "SQLOLEDB" for any server the registered
// providers leave, "OraOLEDB.Oracle.1", and strings that name an ODBC driver.
//   KVESTV_ODBC_DRIVER  driver for SQL Server (default "FreeTDS")
//   KVESTV_ODBC_PUERTO  its port (default 1433)
//   KVESTV_ODBC_ORACLE  driver for Oracle (default "Oracle")

#include <memory>

#include "db/Proveedor.h"

namespace kv::db {

class ProveedorOdbc : public Proveedor {
public:
    bool Atiende(const ParametrosConexion& parametros) const override;
    std::unique_ptr<Sesion> Abrir(const ParametrosConexion& parametros, int tiempoEsperaConexion) override;

    // The ODBC connection string for an ADO-style one (exposed for tests).
    static QString CadenaOdbc(const ParametrosConexion& parametros);
    // The source text of its errors for those parameters.
    static QString OrigenPara(const ParametrosConexion& parametros);
};

// The one built-in instance.
std::shared_ptr<Proveedor> ProveedorOdbcIntegrado();

}  // namespace kv::db
