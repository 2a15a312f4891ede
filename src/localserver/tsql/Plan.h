#pragma once
// The plan step of the T-SQL front end: each statement of a batch is parsed
// into a plan before it runs. A plan holds the statement as the general route
// runs it (SQLite text through the session) and the statement's own tokens.
//
// A route of its own (a faster way for statements of a known shape) registers
// itself with RegistrarRuta. The plan step offers every planned statement to
// the registered routes; the first that claims it is kept in `ruta`, and the
// session asks that route to run the statement before it takes the general
// route. A route must return exactly what the general route would return
// (columns, names, types, values, order), or decline and let the general
// route answer.

#include <QString>
#include <QVariant>
#include <memory>
#include <optional>
#include <vector>

#include "db/Proveedor.h"
#include "localserver/tsql/Lexico.h"
#include "localserver/tsql/Traduccion.h"

namespace kv::local {

class BaseSqlite;
class RutaPlan;

struct PlanSentencia {
    Sentencia sentencia;                   // what the general route runs
    std::vector<Token> tokens;             // the statement's significant tokens (no blanks, no comments)
    std::shared_ptr<const RutaPlan> ruta;  // the route that claimed it; null for the general route
    std::shared_ptr<const void> datos;     // what the route kept of its look at the statement
};

// What a route gets to run a statement. The session has already checked the
// login's rights on everything the statement reads (by preparing the general
// route's text under its authorizer) and joined the handle to the open
// transaction.
struct EntornoRuta {
    BaseSqlite& base;
    const std::vector<QVariant>& parametros;
    size_t& siguienteParametro;  // next unused parameter of the batch; advance it for those used
};

class RutaPlan {
  public:
    virtual ~RutaPlan() = default;
    // Looks at a planned statement. Returns true to claim it; may leave what it
    // learned in `plan.datos`. Called while planning: no database is at hand.
    virtual bool Reclamar(PlanSentencia& plan) const = 0;
    // Runs a claimed statement. std::nullopt declines: the general route runs it.
    // Errors are thrown as ErrorServidor, as the general route throws them.
    virtual std::optional<kv::db::ResultadoSentencia> Ejecutar(const PlanSentencia& plan,
                                                               EntornoRuta& entorno) const = 0;
};

// Routes are tried in the order they were registered. Thread-safe.
void RegistrarRuta(std::shared_ptr<const RutaPlan> ruta);
void QuitarRuta(const std::shared_ptr<const RutaPlan>& ruta);

// Parses and plans a whole batch; throws ErrorTSQL when any part of it is malformed.
// `tipos`, when given, tells the declared column types of the current database.
std::vector<PlanSentencia> PlanificarLote(const QString& lote, TiposColumnas* tipos = nullptr);

}  // namespace kv::local
