// Which ADO number a provider error becomes. The error-handling code branches on
// these numbers (lost connection, integrity violation, missing table, error in the
// command text), so every provider's errors must land on the number ADO would give.

#include <array>

#include "db/Conexion.h"

namespace kv::db {

namespace {

struct PorNativo {
    qint32 nativo;
    qint32 numero;
};

// SQL Server's native numbers (the embedded server reports the same ones).
constexpr std::array<PorNativo, 26> kNativos{{
    {2627, adoerr::ViolacionIntegridad},    // duplicate primary key / unique constraint
    {2601, adoerr::ViolacionIntegridad},    // duplicate key in a unique index
    {547, adoerr::ViolacionIntegridad},     // foreign key or check constraint
    {515, adoerr::ViolacionIntegridad},     // NULL into a NOT NULL column
    {208, adoerr::TablaInexistente},        // invalid object name
    {3701, adoerr::TablaInexistente},       // cannot drop: the object does not exist
    {4902, adoerr::TablaInexistente},       // cannot find the object to alter
    {245, adoerr::ConversionImposible},     // conversion failed
    {8114, adoerr::ConversionImposible},    // error converting data type
    {241, adoerr::ConversionImposible},     // conversion of a date or time from text failed
    {242, adoerr::ConversionImposible},     // date out of range after conversion
    {8115, adoerr::DesbordamientoDatos},    // arithmetic overflow converting
    {8152, adoerr::DesbordamientoDatos},    // string or binary data would be truncated
    {229, adoerr::PermisoDenegado},         // permission denied on an object
    {230, adoerr::PermisoDenegado},         // permission denied on a column
    {262, adoerr::PermisoDenegado},         // permission denied in the database
    {297, adoerr::PermisoDenegado},         // the user has no permission to do this
    {300, adoerr::PermisoDenegado},         // a permission is missing
    {102, adoerr::ErrorEnComando},          // incorrect syntax near ...
    {156, adoerr::ErrorEnComando},          // incorrect syntax near a keyword
    {170, adoerr::ErrorEnComando},          // incorrect syntax (line n)
    {207, adoerr::ErrorEnComando},          // invalid column name
    {18456, adoerr::AutenticacionFallida},  // login failed
    {4060, adoerr::FalloNoEspecificado},    // cannot open the database of the login
    {-2, adoerr::TiempoAgotado},            // client time-out as some drivers report it
}};

struct PorEstado {
    const char* prefijo;  // SQL state or its leading characters
    qint32 numero;
};

// Checked in order: the first prefix that matches wins.
constexpr std::array<PorEstado, 21> kEstados{{
    {"08", adoerr::FalloNoEspecificado},     // connection failure or lost link
    {"28", adoerr::FalloNoEspecificado},     // invalid authorization
    {"IM", adoerr::FalloNoEspecificado},     // driver manager: no such driver or data source
    {"HYT01", adoerr::FalloNoEspecificado},  // connection time-out
    {"HYT00", adoerr::TiempoAgotado},        // statement time-out
    {"S1T00", adoerr::TiempoAgotado},       {"23", adoerr::ViolacionIntegridad},
    {"22018", adoerr::ConversionImposible},  // invalid character value for a cast
    {"22005", adoerr::ConversionImposible},  // error in assignment
    {"22007", adoerr::ConversionImposible},  // invalid date or time format
    {"22008", adoerr::ConversionImposible},  // date or time overflow
    {"22001", adoerr::DesbordamientoDatos},  // string right truncation
    {"22003", adoerr::DesbordamientoDatos},  // numeric value out of range
    {"42501", adoerr::PermisoDenegado},      // insufficient privilege
    {"42S02", adoerr::TablaInexistente},    {"S0002", adoerr::TablaInexistente},
    {"42", adoerr::ErrorEnComando},  // syntax, access, invalid column, object exists...
    {"37", adoerr::ErrorEnComando},         {"S00", adoerr::ErrorEnComando},
    {"21S", adoerr::ErrorEnComando},  // insert value list does not match the columns
    {"07", adoerr::ErrorEnComando},   // dynamic SQL: wrong number of parameters
}};

}  // namespace

qint32 NumeroADO(const QString& estadoSQL, qint32 errorNativo) {
    const QString estado = estadoSQL.trimmed().toUpper();
    // A lost or refused connection outranks whatever number the server attached.
    if (estado.startsWith(QLatin1String("08"))) return adoerr::FalloNoEspecificado;
    for (const PorNativo& n : kNativos)
        if (errorNativo != 0 && n.nativo == errorNativo) return n.numero;
    for (const PorEstado& e : kEstados)
        if (!estado.isEmpty() && estado.startsWith(QLatin1String(e.prefijo))) return e.numero;
    // A server error with a generic state (or none) is an error raised by the command,
    // as ADO reports it; a failure of the driver itself, or nothing known, is unspecified.
    if (estado.isEmpty() || estado == QLatin1String("HY000") || estado == QLatin1String("S1000"))
        return errorNativo != 0 ? adoerr::ErrorEnComando : adoerr::FalloNoEspecificado;
    if (estado.startsWith(QLatin1String("HY")) || estado.startsWith(QLatin1String("S1")))
        return adoerr::FalloNoEspecificado;
    return adoerr::ErrorEnComando;
}

}  // namespace kv::db
