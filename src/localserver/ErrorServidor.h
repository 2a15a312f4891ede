#pragma once
// One error of the embedded server as SQL Server would report it: native
// number, Spanish message and the SQL state the client maps to an ADO number.

#include <QString>
#include <exception>
#include <string>

#include "db/Proveedor.h"

namespace kv::local {

// SQL states the client branches on.
namespace estado {
inline constexpr const char* Integridad = "23000";
inline constexpr const char* TablaInexistente = "42S02";
inline constexpr const char* ColumnaInexistente = "42S22";
inline constexpr const char* Sintaxis = "42000";
inline constexpr const char* ConexionPerdida = "08S01";
inline constexpr const char* TiempoAgotado = "HYT00";
inline constexpr const char* InicioSesion = "28000";
inline constexpr const char* General = "HY000";
inline constexpr const char* Truncado = "22001";
inline constexpr const char* DivisionCero = "22012";
inline constexpr const char* BaseInexistente = "08004";
}  // namespace estado

class ErrorServidor : public std::exception {
public:
    ErrorServidor(int numero, QString mensaje, QString estadoSQL = QString::fromLatin1(estado::General),
                  int linea = 0);
    int numero() const { return numero_; }
    const QString& mensaje() const { return mensaje_; }
    const QString& estadoSQL() const { return estadoSQL_; }
    int linea() const { return linea_; }
    void FijarLinea(int linea) { linea_ = linea; }
    // The procedure whose statement failed; empty for the batch and dynamic SQL.
    const QString& procedimiento() const { return procedimiento_; }
    void FijarProcedimiento(const QString& procedimiento) { procedimiento_ = procedimiento; }
    const char* what() const noexcept override { return texto_.c_str(); }

    // As the provider seam carries it (the ADO number is left to the client).
    kv::db::ErrorBD ComoErrorBD(const QString& origen) const;

private:
    int numero_;
    QString mensaje_;
    QString estadoSQL_;
    int linea_;
    QString procedimiento_;
    std::string texto_;
};

}  // namespace kv::local
