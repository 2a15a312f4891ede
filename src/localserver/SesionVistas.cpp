// What the session keeps beside a view: the triggers that let DML go through it, the
// types of its columns, and SQLite's refusals worded as SQL Server's.

#include "localserver/SesionEmbebida.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <cmath>

#include "localserver/Errores.h"
#include "localserver/Esquema.h"
#include "localserver/FormaResultado.h"
#include "localserver/Procedimientos.h"
#include "localserver/SesionInterna.h"

namespace kv::local {

using kv::db::ColumnaResultado;
using kv::db::ErrorBD;
using kv::db::ErrorProveedor;
using kv::db::ResultadoSentencia;

using namespace sesion;

namespace sesion {

// "SELECT * FROM <object>" prepared and never stepped: its columns say what the
// object shows and where each one comes from. Null when it does not prepare.
SentenciaPreparada PrepararLecturaColumnas(BaseSqlite& b, const QString& objeto) {
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = (QStringLiteral("SELECT * FROM ") + Identificador(objeto)).toUtf8();
    if (sqlite3_prepare_v2(b.db(), sql.constData(), -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        st = nullptr;
    }
    return SentenciaPreparada(st, &sqlite3_finalize);
}

// DML through a view over one table: INSTEAD OF triggers that do it on the table,
// column by column (aliases resolved). Columns that are expressions are left out.
// A view SQL Server cannot update keeps the number to refuse it with.
void PrepararDmlDeVista(BaseSqlite& b, const Sentencia& s) {
    if (s.tabla.isEmpty()) return;
    try {
        b.Ejecutar(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS kv_sys_vistas_fijas (vista TEXT NOT NULL COLLATE NOCASE "
            "PRIMARY KEY, numero INTEGER NOT NULL)"));
        b.Escalar(QStringLiteral("DELETE FROM kv_sys_vistas_fijas WHERE vista = ?1"), {s.tabla});
        if (s.tablaVista.isEmpty()) {
            if (s.vistaNoActualizable != 0)
                b.Escalar(QStringLiteral("INSERT INTO kv_sys_vistas_fijas (vista, numero) VALUES (?1, ?2)"),
                          {s.tabla, s.vistaNoActualizable});
            return;
        }
        const SentenciaPreparada guarda = PrepararLecturaColumnas(b, s.tabla);
        if (!guarda) return;
        sqlite3_stmt* st = guarda.get();
        QStringList vista, base, derivadas;
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            const char* t = sqlite3_column_table_name(st, i);
            const char* o = sqlite3_column_origin_name(st, i);
            if (!t || !o || QString::fromUtf8(t).compare(s.tablaVista, Qt::CaseInsensitive) != 0) {
                derivadas << Identificador(QString::fromUtf8(sqlite3_column_name(st, i)));
                continue;
            }
            vista << QString::fromUtf8(sqlite3_column_name(st, i));
            base << QString::fromUtf8(o);
        }
        if (vista.isEmpty()) return;
        const QString nombre = QLatin1String(PrefijoDisparadorVista) + s.tabla;
        const QString v = Identificador(s.tabla);
        const QString t = Identificador(s.tablaVista);
        QStringList columnas, nuevos, asignaciones, condicion;
        for (qsizetype i = 0; i < vista.size(); ++i) {
            const QString cb = Identificador(base[i]);
            const QString cv = Identificador(vista[i]);
            columnas << cb;
            nuevos << QLatin1String("NEW.") + cv;
            asignaciones << cb + QLatin1String(" = NEW.") + cv;
            // The view shows no rowid: the row is the one with the values it showed.
            condicion << cb + QLatin1String(" IS OLD.") + cv;
        }
        QString donde = condicion.join(QLatin1String(" AND "));
        // Rows of the table the view does not show are never touched, even when
        // they hold the same values in the columns it shows.
        if (!s.filtroVista.isEmpty()) donde += QLatin1String(" AND (") + s.filtroVista + QLatin1Char(')');
        // A value given to a column that is an expression has nowhere to go: 4406.
        QString guardaInsertar, guardaActualizar;
        if (!derivadas.isEmpty()) {
            QString texto = TextoErrorCodificado(err::VistaCampoDerivado,
                                                 msj::VistaNoActualizable(err::VistaCampoDerivado, s.tabla));
            texto.replace(QLatin1Char('\''), QLatin1String("''"));
            QStringList nulos, cambios;
            for (const QString& d : derivadas) {
                nulos << QLatin1String("NEW.") + d + QLatin1String(" IS NOT NULL");
                cambios << QLatin1String("NEW.") + d + QLatin1String(" IS NOT OLD.") + d;
            }
            const QString raise = QLatin1String("SELECT RAISE(ABORT, '") + texto + QLatin1String("') WHERE ");
            guardaInsertar = raise + nulos.join(QLatin1String(" OR ")) + QLatin1String("; ");
            guardaActualizar = raise + cambios.join(QLatin1String(" OR ")) + QLatin1String("; ");
        }
        b.Ejecutar(QLatin1String("CREATE TRIGGER ") + Identificador(nombre + QLatin1String("_i")) +
                   QLatin1String(" INSTEAD OF INSERT ON ") + v + QLatin1String(" BEGIN ") + guardaInsertar +
                   QLatin1String("SELECT kv_fila_de_vista(); INSERT INTO ") + t + QLatin1String(" (") +
                   columnas.join(QLatin1String(", ")) + QLatin1String(") VALUES (") +
                   nuevos.join(QLatin1String(", ")) + QLatin1String("); END;") +
                   QLatin1String("CREATE TRIGGER ") + Identificador(nombre + QLatin1String("_u")) +
                   QLatin1String(" INSTEAD OF UPDATE ON ") + v + QLatin1String(" BEGIN ") + guardaActualizar +
                   QLatin1String("SELECT kv_fila_de_vista(); UPDATE ") + t + QLatin1String(" SET ") +
                   asignaciones.join(QLatin1String(", ")) + QLatin1String(" WHERE ") + donde +
                   QLatin1String("; END;") + QLatin1String("CREATE TRIGGER ") +
                   Identificador(nombre + QLatin1String("_d")) + QLatin1String(" INSTEAD OF DELETE ON ") + v +
                   QLatin1String(" BEGIN SELECT kv_fila_de_vista(); DELETE FROM ") + t +
                   QLatin1String(" WHERE ") + donde + QLatin1String("; END;"));
    } catch (const ErrorServidor&) {
        // Without them the view still reads; DML on it is refused.
    }
}

// SQLite's refusal of DML on a view without triggers, as SQL Server words it.
std::optional<ErrorServidor> VistaNoActualizable(BaseSqlite& b) {
    static const QRegularExpression patron(QStringLiteral("^cannot modify (.+) because it is a view$"));
    const auto m = patron.match(QString::fromUtf8(sqlite3_errmsg(b.db())));
    if (!m.hasMatch()) return std::nullopt;
    const QString vista = m.captured(1);
    int numero = err::VistaVariasTablas;
    try {
        if (b.Escalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                                     "name = 'kv_sys_vistas_fijas'"))
                .toInt() > 0) {
            const QVariant n =
                b.Escalar(QStringLiteral("SELECT numero FROM kv_sys_vistas_fijas WHERE vista = ?1"), {vista});
            if (n.isValid() && !n.isNull()) numero = n.toInt();
        }
    } catch (const ErrorServidor&) {
    }
    return ErrorServidor(numero, msj::VistaNoActualizable(numero, vista),
                         QString::fromLatin1(estado::General));
}

// The types the translator gave a view's columns (a sum of money is money),
// kept so that the queries that read the view get them too.
void GuardarTiposDeVista(BaseSqlite& b, const Sentencia& s) {
    if (s.tabla.isEmpty()) return;
    try {
        b.Ejecutar(QStringLiteral("CREATE TABLE IF NOT EXISTS kv_sys_tipos_vista (vista TEXT NOT NULL COLLATE NOCASE, "
                                  "columna TEXT NOT NULL COLLATE NOCASE, tipo TEXT, PRIMARY KEY (vista, columna))"));
        b.Escalar(QStringLiteral("DELETE FROM kv_sys_tipos_vista WHERE vista = ?1"), {s.tabla});
        const SentenciaPreparada guarda = PrepararLecturaColumnas(b, s.tabla);
        if (!guarda) return;
        sqlite3_stmt* st = guarda.get();
        const int n = sqlite3_column_count(st);
        if (n != static_cast<int>(s.tiposColumnas.size())) return;
        for (int i = 0; i < n; ++i) {
            if (s.tiposColumnas[static_cast<size_t>(i)].isEmpty()) continue;
            b.Escalar(QStringLiteral("INSERT OR REPLACE INTO kv_sys_tipos_vista (vista, columna, tipo) VALUES (?1, ?2, ?3)"),
                      {s.tabla, QString::fromUtf8(sqlite3_column_name(st, i)),
                       // "decimal(22,5)" is kept as its type name
                       s.tiposColumnas[static_cast<size_t>(i)].section(QLatin1Char('('), 0, 0)});
        }
    } catch (const ErrorServidor&) {
        // Without them the view still works; its expressions come back untyped.
    }
}

}  // namespace sesion

}  // namespace kv::local
