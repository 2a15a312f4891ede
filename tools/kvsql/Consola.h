#pragma once
// kvsql: a console in the manner of sqlcmd, on the client layer, so that it
// talks to the embedded server and to a real SQL Server (ODBC) alike.

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <optional>
#include <vector>

#include "db/Proveedor.h"

namespace kv::kvsql {

struct Opciones {
    QString servidor;
    QString base;
    QString usuario;
    QString clave;
    std::optional<QString> consulta;       // -Q
    std::optional<QString> fichero;        // -i
    std::optional<QString> separador;      // -s
    bool sinBlancos = false;               // -W
    int tiempoComando = 0;                 // -t, seconds; 0 waits as long as a batch takes
    bool claveDada = false;                // -P given (an empty password is a password)
    bool sinCabeceras = false;             // -h -1
    std::optional<QString> archivoSalida;  // -o
    bool ayuda = false;                    // -?
    bool recuperarCatalogo = false;        // --recuperar-catalogo
    bool pararAlError = false;             // -b: the first batch with an error ends the run (status 1)
    QList<QPair<QString, QString>> variables;  // -v nombre=valor: scripting variables, as :setvar
};

// Reads the command line (without the program name). On a mistake returns
// nothing and leaves the Spanish explanation in `error`.
std::optional<Opciones> LeerArgumentos(const QStringList& argumentos, QString* error);

QString TextoUso();

// Asks for the password on the terminal without showing it. Nothing when there is
// no terminal to ask on.
std::optional<QString> PedirClave();

// Connection string of the suite for the options.
QString CadenaConexion(const Opciones& o);

// One batch of a script and the line of the script it starts on (1-based).
struct LoteGuion {
    QString texto;
    int primeraLinea = 1;
    int veces = 1;  // GO n runs the batch n times
};
// Splits a script at lines that read only "GO" (any case, blanks around allowed).
std::vector<LoteGuion> DividirGuion(const QString& guion);

// A script as SQL Server's tools read it: ":setvar nombre valor" and $(nombre)
// (with the -v values first), ":r archivo" in place of its line, "GO n". On a
// mistake returns nothing and leaves the Spanish explanation in `error`.
std::optional<std::vector<LoteGuion>> PrepararGuion(const QString& guion, QList<QPair<QString, QString>> variables,
                                                    QString* error);

// How a value is shown: NULL, dates as "yyyy-MM-dd hh:mm:ss.zzz", money with four decimals.
QString TextoValor(const QVariant& valor, int tipoADO);

// The lines that show one result: header, rule, rows, blank line and the count.
QStringList LineasResultado(const kv::db::ResultadoSentencia& r, const Opciones& o);
// "Msg N, Nivel 16, Estado 1, Línea L" and the message.
QStringList LineasError(const kv::db::ErrorBD& e);

// Runs everything the options ask for; returns the exit status (1 when any error).
int Ejecutar(const Opciones& o, QTextStream& salida, QTextStream& errores);

}  // namespace kv::kvsql
