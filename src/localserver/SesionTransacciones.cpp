// Transactions that span batches and databases, and the locks their writes take.

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

void SesionEmbebida::Unir(BaseSqlite& base) {
    // The write lock is taken by the first write, not by BEGIN TRAN: until
    // then the transaction's reads see what others commit, as under SQL
    // Server's READ COMMITTED, and hold nothing. A wait for the lock ends at
    // the statement's time-out (1222) with nothing changed.
    if (nivel_ > 0 && !enTransaccion_.count(&base)) {
        base.Ejecutar(QStringLiteral("BEGIN IMMEDIATE"));
        enTransaccion_.insert(&base);
    }
}

void SesionEmbebida::RevisarTransaccion() {
    if (nivel_ == 0) return;
    for (BaseSqlite* b : enTransaccion_)
        if (!b->EnTransaccion()) {
            // SQLite rolled the whole transaction back (time-out of a write): so do we.
            for (BaseSqlite* o : enTransaccion_)
                if (o->EnTransaccion()) sqlite3_exec(o->db(), "ROLLBACK", nullptr, nullptr, nullptr);
            enTransaccion_.clear();
            nivel_ = 0;
            return;
        }
}

void SesionEmbebida::Iniciar() {
    // No lock yet: each database joins at its first write (Unir).
    ++nivel_;
}

void SesionEmbebida::Confirmar() {
    RevisarTransaccion();
    if (nivel_ == 0)
        throw ErrorServidor(err::CommitSinBegin, msj::CommitSinBegin(), QStringLiteral("25000"));
    if (--nivel_ > 0) return;
    std::optional<ErrorServidor> fallo;
    for (BaseSqlite* b : enTransaccion_) {
        if (!b->EnTransaccion()) continue;
        try {
            b->Ejecutar(QStringLiteral("COMMIT"));
        } catch (const ErrorServidor& e) {
            sqlite3_exec(b->db(), "ROLLBACK", nullptr, nullptr, nullptr);
            if (!fallo) fallo = e;
        }
    }
    enTransaccion_.clear();
    if (fallo) throw *fallo;
}

void SesionEmbebida::Deshacer() {
    RevisarTransaccion();
    if (nivel_ == 0)
        throw ErrorServidor(err::RollbackSinBegin, msj::RollbackSinBegin(), QStringLiteral("25000"));
    // Table variables are outside transactions: their rows stay as they are.
    const auto copias = CopiarTablasVariables();
    for (BaseSqlite* b : enTransaccion_)
        if (b->EnTransaccion()) sqlite3_exec(b->db(), "ROLLBACK", nullptr, nullptr, nullptr);
    enTransaccion_.clear();
    nivel_ = 0;
    RestaurarTablasVariables(copias);
}

void SesionEmbebida::IniciarTransaccion() {
    try {
        conLimite_ = false;
        Iniciar();
    } catch (const ErrorServidor& e) {
        throw ErrorProveedor(e.ComoErrorBD(Origen()));
    }
}

void SesionEmbebida::ConfirmarTransaccion() {
    try {
        Confirmar();
    } catch (const ErrorServidor& e) {
        throw ErrorProveedor(e.ComoErrorBD(Origen()));
    }
}

void SesionEmbebida::DeshacerTransaccion() {
    try {
        Deshacer();
    } catch (const ErrorServidor& e) {
        throw ErrorProveedor(e.ComoErrorBD(Origen()));
    }
}

// ---------------------------------------------------------------------------

}  // namespace kv::local
