// Definitions that name their database or their index the way SQL Server does:
// CREATE/ALTER/DROP TABLE and CREATE/DROP INDEX on base.dbo.t run in that database,
// and an index is named within its table.

#include <sqlite3.h>

#include <utility>

#include "localserver/Errores.h"
#include "localserver/SesionEmbebida.h"
#include "localserver/SesionInterna.h"
#include "localserver/tsql/Mensajes.h"
#include "localserver/tsql/Traductor.h"

namespace kv::local {

void SesionEmbebida::EjecutarEnBaseDelObjeto(const Sentencia& s, const std::vector<QVariant>& parametros,
                                             size_t& siguienteParametro,
                                             std::vector<kv::db::ResultadoSentencia>& salida) {
    const auto canonica = catalogo_->Base(s.baseObjeto);
    if (!canonica)
        throw ErrorServidor(mensajes::kBaseNoExisteDefinir, mensajes::BaseNoExisteDefinir(s.baseObjeto),
                            QString::fromLatin1(estado::General));
    if (!catalogo_->PuedeUsar(login_, *canonica))
        throw ErrorServidor(err::SinAccesoBase, msj::SinAccesoBase(login_, *canonica),
                            QString::fromLatin1(estado::Sintaxis));
    Sentencia propia = s;
    propia.baseObjeto.clear();
    if (canonica->compare(base_, Qt::CaseInsensitive) == 0)
        return EjecutarSentencia(propia, parametros, siguienteParametro, salida);
    Base(*canonica);  // a missing or damaged file shows here, by its name
    // The statement runs as if the batch were in that database: its handle, and the
    // login's rights there. The batch stays where it was.
    struct Vuelta {
        QString& base;
        QString anterior;
        ~Vuelta() { base = std::move(anterior); }
    } vuelta{base_, std::exchange(base_, *canonica)};
    EjecutarSentencia(propia, parametros, siguienteParametro, salida);
}

void SesionEmbebida::EjecutarIndice(const Sentencia& s, const std::vector<QVariant>& parametros,
                                    size_t& siguienteParametro,
                                    std::vector<kv::db::ResultadoSentencia>& salida) {
    const bool temporal = EsNombreTemporal(s.tabla);
    // Without the right to define (anybody's for the session's own tables), the text
    // as written meets the authorizer, which refuses it as always.
    if ((!temporal && !PermisosActuales().definir) || !s.tablasVariables.isEmpty())
        return EjecutarSql(s, parametros, siguienteParametro, salida);
    BaseSqlite& b = Base(base_);
    const QString maestra = temporal ? QStringLiteral("sqlite_temp_master") : QStringLiteral("sqlite_master");
    // The index of that table written so: under its own name, or under the table's
    // form of it when the name was taken in the file.
    const QVariant existente = b.Escalar(
        QStringLiteral("SELECT name FROM %1 WHERE type = 'index' AND tbl_name = ?1 COLLATE NOCASE AND "
                       "(name = ?2 COLLATE NOCASE OR name = ?3 COLLATE NOCASE)")
            .arg(maestra),
        {s.tabla, s.indice, NombreIndiceDeTabla(s.tabla, s.indice)});
    const QString citado = traduccion::CitarNombre(s.indice);
    Sentencia propia = s;
    propia.indice.clear();
    if (s.sql.startsWith(QLatin1String("DROP"))) {
        if (existente.isNull()) {
            if (s.sql.contains(QLatin1String(" IF EXISTS "))) return;
            throw ErrorServidor(err::NoSePuedeQuitar,
                                msj::NoSePuedeQuitarIndice(s.tabla + QLatin1Char('.') + s.indice),
                                QString::fromLatin1(estado::General));
        }
        // The text ends with the index's name.
        propia.sql = s.sql.left(s.sql.size() - citado.size()) +
                     (temporal ? QLatin1String("temp.") : QLatin1String("main.")) +
                     traduccion::CitarNombre(existente.toString());
    } else {
        if (!existente.isNull())
            throw ErrorServidor(err::IndiceExiste, msj::IndiceExiste(s.indice, s.tabla),
                                QStringLiteral("42S11"));
        const bool libre =
            b.Escalar(QStringLiteral("SELECT name FROM %1 WHERE name = ?1 COLLATE NOCASE").arg(maestra),
                      {s.indice})
                .isNull();
        if (!libre) {
            // "CREATE [UNIQUE] INDEX name ON ...": the name right after INDEX.
            const qsizetype en = s.sql.indexOf(QLatin1String("INDEX ")) + 6;
            propia.sql.replace(en, citado.size(),
                               traduccion::CitarNombre(NombreIndiceDeTabla(s.tabla, s.indice)));
        }
    }
    EjecutarSql(propia, parametros, siguienteParametro, salida);
}

}  // namespace kv::local
