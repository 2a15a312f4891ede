#pragma once
// SQL trace: when KVESTV_TRAZA_SQL names a file, every statement a connection runs
// is appended to it as one JSON object per line. Read once when the connection
// opens; with the variable unset nothing is built and nothing is written.

#include <QFile>
#include <QString>
#include <memory>
#include <optional>

namespace kv::db {

inline constexpr char kVariableTrazaSQL[] = "KVESTV_TRAZA_SQL";

struct EntradaTraza {
    QString operacion;  // "Execute", "EjecutarLote", "EjecutarConParametros", "Open"
    QString servidor;
    QString base;
    QString sql;  // as sent; written with its values masked when it touches passwords
    double ms = 0;
    std::optional<qint64> filas;    // rows returned or affected; none when unknown
    std::optional<qint32> error;    // native number of the first error
    std::optional<qint32> numero;   // its ADO number
};

// Whether a batch creates or changes a login or a password: sp_addlogin,
// sp_password, CREATE or ALTER LOGIN, PASSWORD = or a "@...pass... =" argument,
// also inside the text of dynamic SQL it carries.
bool TocaClaves(const QString& sql);
// A batch that touches logins or passwords with all its values masked: every
// literal ('***', also N'...'), number (***), comment, and every word, [name]
// or "name" given as a procedure argument. Any other batch stays as sent.
QString OcultarClaves(const QString& sql);

class TrazaSQL {
public:
    // The trace named by the environment, or nullptr when the variable is unset or empty.
    static std::unique_ptr<TrazaSQL> DesdeEntorno();
    explicit TrazaSQL(const QString& archivo);

    QString Archivo() const { return archivo_.fileName(); }
    // One line. A trace that cannot be written never stops the statement.
    void Escribir(const EntradaTraza& entrada);
    // The line as written (without the line feed).
    static QByteArray Linea(const EntradaTraza& entrada);

private:
    QFile archivo_;
    bool avisado_ = false;
};

}  // namespace kv::db
