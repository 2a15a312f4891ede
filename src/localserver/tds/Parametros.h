#pragma once
// Parameterised statements of remote calls (sp_executesql, sp_prepare,
// sp_execute): the parameter list a client declares, and the statement with
// each use of a parameter turned into the session's "?" marker, so that the
// values are bound, never pasted into the text.

#include <QString>
#include <QStringList>
#include <vector>

namespace kv::tds {

struct ParametroDeclarado {
    QString nombre;  // with its "@"
    QString tipo;    // as written ("nvarchar(50)")
    bool salida = false;
};
// "@P1 int, @P2 nvarchar(10) OUTPUT" → its parameters; an empty list for an empty text.
// Throws std::invalid_argument when a part does not start with a parameter name.
std::vector<ParametroDeclarado> LeerDeclaracion(const QString& declaracion);

struct SentenciaConMarcas {
    QString texto;
    // For each "?" of the text, in order, the index of the parameter it stands for.
    std::vector<int> orden;
};
// Replaces the uses of the named parameters (any letter case) outside strings,
// quoted names and comments; other variables of the statement stay as they are.
SentenciaConMarcas Marcar(const QString& sentencia, const QStringList& nombres);

}  // namespace kv::tds
