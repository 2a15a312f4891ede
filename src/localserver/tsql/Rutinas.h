#pragma once
// Stored procedures written in T-SQL: the header of CREATE / ALTER PROCEDURE,
// and the plan of a procedure's body the session runs on each call. The
// parameter list of sp_executesql is read the same way.

#include <QString>
#include <QVariant>
#include <vector>

#include "localserver/tsql/Plan.h"

namespace kv::local {

struct ParametroRutina {
    QString nombre;           // "@tabla", as written
    QString tipo;             // its SQL Server type, lower case
    bool salida = false;      // OUTPUT
    bool conDefecto = false;  // "= constant" written
    QVariant defecto;         // the constant (null for NULL)
};

struct DefinicionRutina {
    QString verbo;  // "CREATE", "ALTER" or "CREATE OR ALTER"
    QString nombre;
    std::vector<ParametroRutina> parametros;
};

struct RutinaPlanificada {
    DefinicionRutina definicion;
    // The body. Its first statements give each parameter its value, converted to
    // its type, from the value the call left in ParametroDeEntrada(i).
    std::vector<PlanSentencia> cuerpo;
};

// Whether the batch is a procedure definition (CREATE [OR ALTER] PROC[EDURE] or ALTER PROC[EDURE]).
bool EsDefinicionDeRutina(const std::vector<Token>& significativos);

// Parses and plans a whole procedure definition; throws ErrorTSQL.
RutinaPlanificada PlanificarRutina(const QString& texto, TiposColumnas* tipos = nullptr);

// The SQLite parameter that carries the incoming value of parameter i (from 0),
// and the one the body reads it through afterwards.
QString ParametroDeEntrada(size_t i);
QString ParametroDeVariableRutina(size_t i);

}  // namespace kv::local
