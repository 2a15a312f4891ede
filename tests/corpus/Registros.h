#pragma once
// Runs a script of sqllogictest records against an SQL engine: "statement ok|error",
// "query <types> <sort> [label]" with its expected values or their hash,
// "skipif"/"onlyif" for a named engine, "hash-threshold" and "halt".
// The engine is a function from one batch of SQL to what it answered.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace kv::pruebas::corpus {

// What the engine answered to one batch.
struct Respuesta {
    std::optional<QString> error;               // the batch (or one of its statements) failed
    std::vector<std::vector<QVariant>> filas;   // the first row set, empty when none
};

using Motor = std::function<Respuesta(const QString& sql)>;

// One value as the record format writes it, for the column type 'I', 'R' or 'T':
// NULL as "NULL"; I an integer (a fraction cut toward zero, as an ODBC client reading a
// long); R with three decimals; T the text, an empty one as "(empty)" and every byte
// outside the printable ASCII range as '@'.
QString Formatear(const QVariant& valor, QChar tipo);

// The values of a result in order, sorted as "nosort", "rowsort" (rows compared value by
// value, bytewise) or "valuesort" (every value on its own) ask; nullopt for another mode.
std::optional<QStringList> Ordenar(QStringList valores, int columnas, const QString& modo);

// "N values hashing to <md5>": the MD5 of every value followed by a line feed.
QString Resumen(const QStringList& valores);

struct Cuentas {
    int ejecutados = 0;  // statements and queries sent to the engine
    int aprobados = 0;
    int fallidos = 0;
    int omitidos = 0;    // records left out by skipif/onlyif
    bool detenido = false;  // a halt was reached
    QStringList fallos;  // "line N: what went wrong"
};

// Runs the script's text. `nombreMotor` is matched against skipif/onlyif without letter case.
Cuentas Ejecutar(const QByteArray& guion, const QString& nombreMotor, const Motor& motor);

}  // namespace kv::pruebas::corpus
