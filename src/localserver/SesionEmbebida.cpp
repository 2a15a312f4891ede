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
#include "localserver/Seguridad.h"

namespace kv::local {

using kv::db::ColumnaResultado;
using kv::db::ErrorBD;
using kv::db::ErrorProveedor;
using kv::db::ResultadoSentencia;

namespace {

const char* const kOrigen = "Microsoft OLE DB Provider for SQL Server";

// Databases in use by the sessions of this process (folder + name -> count),
// so that a database somebody is working in is not dropped under them.
// A session may outlive every static of the program (one held by a global
// object that is destroyed at exit), so the table lives as long as the
// process and is never destroyed.
struct TablaUsos {
    QMutex cerrojo;
    QHash<QString, int> cuentas;
};
TablaUsos& TablaDeUsos() {
    static TablaUsos& t = *new TablaUsos;
    return t;
}
QString ClaveUso(const QString& carpeta, const QString& base) { return carpeta + QLatin1Char('|') + base.toUpper(); }
void MarcarUso(const QString& carpeta, const QString& base, int delta) {
    TablaUsos& t = TablaDeUsos();
    QMutexLocker g(&t.cerrojo);
    const QString clave = ClaveUso(carpeta, base);
    int& n = t.cuentas[clave];
    n += delta;
    if (n <= 0) t.cuentas.remove(clave);
}
int Usos(const QString& carpeta, const QString& base) {
    TablaUsos& t = TablaDeUsos();
    QMutexLocker g(&t.cerrojo);
    return t.cuentas.value(ClaveUso(carpeta, base));
}

QString PrimeraPalabra(const QString& texto) {
    const QString t = texto.trimmed();
    qsizetype i = 0;
    while (i < t.size() && (t[i].isLetter() || t[i] == QLatin1Char('_'))) ++i;
    return t.left(i).toUpper();
}

// The authorizer: only what the login's roles allow reaches SQLite.
int Autorizar(void* datos, int accion, const char* a1, const char* a2, const char*, const char* disparador) {
    auto* s = static_cast<SesionEmbebida*>(datos);
    const SesionEmbebida::Permisos& p = s->permisos_;
    const QString objeto = a1 ? QString::fromUtf8(a1) : QString();
    const bool sistema = EsTablaDelSistema(objeto) && !objeto.startsWith(QLatin1String("sqlite_"));
    // A view's triggers act for the user: the base table's rights still apply.
    const bool desdeServidor = disparador && QByteArray(disparador).startsWith("kv_sys_") &&
                               !QByteArray(disparador).startsWith(PrefijoDisparadorVista);
    auto negar = [&](const char* permiso) {
        if (!s->denegacion_) s->denegacion_ = SesionEmbebida::Denegacion{QString::fromLatin1(permiso), objeto};
        return SQLITE_DENY;
    };
    switch (accion) {
        case SQLITE_READ:
            if (objeto.startsWith(QLatin1String("sqlite_"))) return SQLITE_OK;
            // The column catalog feeds the catalog views; user text can never name it.
            if (sistema && !p.administrador && objeto.compare(QLatin1String("kv_sys_columnas"), Qt::CaseInsensitive) != 0)
                return negar("SELECT");
            return p.leer || desdeServidor ? SQLITE_OK : negar("SELECT");
        case SQLITE_INSERT:
            if (objeto.startsWith(QLatin1String("sqlite_"))) return p.definir ? SQLITE_OK : negar("CREATE TABLE");
            if (sistema && !p.administrador && !desdeServidor) return negar("INSERT");
            return p.escribir || desdeServidor ? SQLITE_OK : negar("INSERT");
        case SQLITE_UPDATE:
            if (objeto.startsWith(QLatin1String("sqlite_"))) return p.definir ? SQLITE_OK : negar("ALTER");
            if (sistema && !p.administrador && !desdeServidor) return negar("UPDATE");
            return p.escribir || desdeServidor ? SQLITE_OK : negar("UPDATE");
        case SQLITE_DELETE:
            if (objeto.startsWith(QLatin1String("sqlite_"))) return p.definir ? SQLITE_OK : negar("DROP");
            if (sistema && !p.administrador) return negar("DELETE");
            return p.escribir ? SQLITE_OK : negar("DELETE");
        case SQLITE_CREATE_TABLE:
        case SQLITE_CREATE_VIEW:
        case SQLITE_CREATE_INDEX:
        case SQLITE_CREATE_TRIGGER:
        case SQLITE_REINDEX:
        case SQLITE_ANALYZE:
            return p.definir ? SQLITE_OK : negar(accion == SQLITE_CREATE_VIEW ? "CREATE VIEW" : "CREATE TABLE");
        case SQLITE_DROP_TABLE:
        case SQLITE_DROP_VIEW:
        case SQLITE_DROP_INDEX:
        case SQLITE_DROP_TRIGGER:
        case SQLITE_ALTER_TABLE:
            // The server's own triggers go with their table.
            if (sistema && !objeto.startsWith(QLatin1String("kv_sys_trg_"))) return negar("ALTER");
            return p.definir ? SQLITE_OK : negar("ALTER");
        case SQLITE_CREATE_TEMP_TABLE:
        case SQLITE_CREATE_TEMP_VIEW:
        case SQLITE_CREATE_TEMP_INDEX:
        case SQLITE_CREATE_TEMP_TRIGGER:
        case SQLITE_DROP_TEMP_TABLE:
        case SQLITE_DROP_TEMP_VIEW:
        case SQLITE_DROP_TEMP_INDEX:
        case SQLITE_DROP_TEMP_TRIGGER:
        case SQLITE_SELECT:
        case SQLITE_RECURSIVE:
            return SQLITE_OK;
        case SQLITE_FUNCTION: {
            // Only what T-SQL offers; the server's triggers use its own helpers.
            const QString funcion = a2 ? QString::fromUtf8(a2) : QString();
            if (desdeServidor || FuncionDelMotorPermitida(funcion)) return SQLITE_OK;
            if (disparador && QByteArray(disparador).startsWith(PrefijoDisparadorVista) &&
                funcion == QLatin1String("kv_fila_de_vista"))
                return SQLITE_OK;
            if (!s->denegacion_)
                s->denegacion_ = SesionEmbebida::Denegacion{QStringLiteral("FUNCION"), funcion};
            return SQLITE_DENY;
        }
        default:
            // Pragmas, ATTACH, raw transactions and the like are the server's own business.
            return negar("EXECUTE");
    }
}

using SentenciaPreparada = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;

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
                      {s.tabla, QString::fromUtf8(sqlite3_column_name(st, i)), s.tiposColumnas[static_cast<size_t>(i)]});
        }
    } catch (const ErrorServidor&) {
        // Without them the view still works; its expressions come back untyped.
    }
}

// Declared column types of the session's database for the translator, read once
// per table in a batch.
class TiposDeBase : public TiposColumnas {
public:
    explicit TiposDeBase(BaseSqlite& base) : base_(base) {}
    QString Tipo(const QString& tabla, const QString& columna) override {
        const QString clave = tabla.toLower();
        auto it = tablas_.find(clave);
        if (it == tablas_.end()) it = tablas_.insert(clave, Leer(tabla));
        return it->value(columna.toLower());
    }

private:
    QHash<QString, QString> Leer(const QString& tabla) {
        QHash<QString, QString> tipos;
        if (EsTablaDelSistema(tabla)) return tipos;
        try {
            const auto def = LeerDefinicion(base_, tabla);
            if (def && !def->columnas.empty()) {
                for (const auto& c : def->columnas) tipos.insert(c.nombre.toLower(), c.tipo);
                return tipos;
            }
            // A view: the types kept when it was made, and the types of its columns
            // that are columns of a table.
            const QVariant hayTipos = base_.Escalar(QStringLiteral(
                "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'kv_sys_tipos_vista'"));
            if (hayTipos.toInt() > 0)
                for (const auto& f : base_.Filas(
                         QStringLiteral("SELECT columna, tipo FROM kv_sys_tipos_vista WHERE vista = ?1"), {tabla}))
                    tipos.insert(f[0].toString().toLower(), f[1].toString());
            const SentenciaPreparada guarda = PrepararLecturaColumnas(base_, tabla);
            if (!guarda) return tipos;
            sqlite3_stmt* st = guarda.get();
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                const char* t = sqlite3_column_table_name(st, i);
                const char* o = sqlite3_column_origin_name(st, i);
                if (!t || !o || QString::fromUtf8(t).compare(tabla, Qt::CaseInsensitive) == 0) continue;
                const QString tipo = Tipo(QString::fromUtf8(t), QString::fromUtf8(o));
                if (!tipo.isEmpty()) tipos.insert(QString::fromUtf8(sqlite3_column_name(st, i)).toLower(), tipo);
            }
        } catch (const ErrorServidor&) {
        }
        return tipos;
    }

    BaseSqlite& base_;
    QHash<QString, QHash<QString, QString>> tablas_;
};

ErrorServidor SinPermiso() {
    return ErrorServidor(err::SinPermiso, msj::SinPermiso(), QString::fromLatin1(estado::Sintaxis));
}

QString TextoArgumento(const std::vector<Argumento>& args, int posicion, const QString& nombre, bool* dado = nullptr) {
    for (const auto& a : args)
        if (!a.nombre.isEmpty() && a.nombre.compare(nombre, Qt::CaseInsensitive) == 0) {
            if (dado) *dado = !a.valor.isNull();
            return a.valor.toString();
        }
    int i = 0;
    for (const auto& a : args) {
        if (!a.nombre.isEmpty()) continue;
        if (i == posicion) {
            if (dado) *dado = !a.valor.isNull();
            return a.valor.toString();
        }
        ++i;
    }
    if (dado) *dado = false;
    return {};
}

}  // namespace

// ---------------------------------------------------------------------------

SesionEmbebida::SesionEmbebida(std::unique_ptr<Catalogo> catalogo, QString login, QString base)
    : catalogo_(std::move(catalogo)), login_(std::move(login)), base_(std::move(base)) {
    MarcarUso(catalogo_->carpeta(), base_, +1);
}

SesionEmbebida::~SesionEmbebida() {
    // A transaction left open when the connection closes is rolled back, as on SQL Server.
    for (BaseSqlite* b : enTransaccion_)
        if (b->EnTransaccion()) sqlite3_exec(b->db(), "ROLLBACK", nullptr, nullptr, nullptr);
    MarcarUso(catalogo_->carpeta(), base_, -1);
}

QString SesionEmbebida::Origen() const { return QString::fromLatin1(kOrigen); }

BaseSqlite& SesionEmbebida::Base(const QString& nombre) {
    if (nombre.compare(QLatin1String(BaseMaestra), Qt::CaseInsensitive) == 0) {
        BaseSqlite& m = catalogo_->maestra();
        m.FijarLimite(limite_, conLimite_);
        return m;
    }
    const QString clave = nombre.toUpper();
    auto it = bases_.find(clave);
    if (it == bases_.end()) {
        const auto canonico = catalogo_->Base(nombre);
        if (!canonico)
            throw ErrorServidor(err::BaseInaccesible, msj::BaseInaccesible(nombre),
                                QString::fromLatin1(estado::BaseInexistente));
        // Never made anew here: a missing or emptied file is an error naming it.
        auto b = BaseSqlite::Abrir(RutaBase(catalogo_->carpeta(), *canonico), *canonico, false);
        AsegurarCatalogoBase(*b);
        it = bases_.emplace(clave, std::move(b)).first;
    }
    it->second->FijarLimite(limite_, conLimite_);
    return *it->second;
}

void SesionEmbebida::AplicarLimite() {
    catalogo_->maestra().FijarLimite(limite_, conLimite_);
    for (auto& [nombre, b] : bases_) b->FijarLimite(limite_, conLimite_);
}

SesionEmbebida::Permisos SesionEmbebida::PermisosActuales() {
    Permisos p;
    p.administrador = catalogo_->TieneRolServidor(login_, QStringLiteral("sysadmin"));
    if (p.administrador) {
        p.leer = p.escribir = p.definir = true;
        return p;
    }
    p.leer = catalogo_->TienePermisoBase(login_, base_, QStringLiteral("db_datareader"));
    p.escribir = catalogo_->TienePermisoBase(login_, base_, QStringLiteral("db_datawriter"));
    p.definir = catalogo_->TienePermisoBase(login_, base_, QStringLiteral("db_ddladmin"));
    return p;
}

void SesionEmbebida::ExigirDefinir(const QString& permiso) {
    if (!PermisosActuales().definir)
        throw ErrorServidor(err::PermisoBase, msj::PermisoBase(permiso, base_), QString::fromLatin1(estado::Sintaxis));
}

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

std::vector<ResultadoSentencia> SesionEmbebida::Ejecutar(const QString& lote, const std::vector<QVariant>& parametros,
                                                         int tiempoEspera) {
    std::vector<PlanSentencia> sentencias;
    try {
        std::optional<TiposDeBase> tipos;
        try {
            tipos.emplace(Base(base_));
        } catch (const ErrorServidor&) {
        }
        sentencias = PlanificarLote(lote, tipos ? &*tipos : nullptr);
    } catch (const ErrorTSQL& e) {
        ErrorBD error;
        error.errorNativo = e.numero();
        error.descripcion = e.mensaje();
        error.estadoSQL = QString::fromLatin1(estado::Sintaxis);
        error.origen = Origen();
        error.linea = e.linea();
        throw ErrorProveedor(error);
    }
    conLimite_ = tiempoEspera > 0;
    limite_ = std::chrono::steady_clock::now() + std::chrono::seconds(tiempoEspera);
    AplicarLimite();
    std::vector<ResultadoSentencia> salida;
    size_t siguienteParametro = 0;
    variables_.clear();
    filas_ = 0;
    error_ = 0;
    size_t pc = 0;
    while (pc < sentencias.size()) {
        const PlanSentencia& plan = sentencias[pc];
        const Sentencia& s = plan.sentencia;
        size_t siguiente = pc + 1;
        const size_t antes = salida.size();
        try {
            switch (s.clase) {
                case Clase::Si: {
                    const auto filas = Consultar(s, parametros, siguienteParametro);
                    if (filas.empty() || filas.front().empty() || filas.front().front().toInt() == 0)
                        siguiente = static_cast<size_t>(s.salto);
                    break;
                }
                case Clase::Saltar:
                    siguiente = static_cast<size_t>(s.salto);
                    break;
                case Clase::Retornar:
                    siguiente = sentencias.size();
                    break;
                default:
                    if (!plan.ruta || !EjecutarPorRuta(plan, parametros, siguienteParametro, salida))
                        EjecutarSentencia(s, parametros, siguienteParametro, salida);
                    if (s.clase != Clase::Asignar) {
                        filas_ = 0;
                        for (size_t i = antes; i < salida.size(); ++i) {
                            if (salida[i].tieneFilas) filas_ += static_cast<qint64>(salida[i].filas.size());
                            else if (salida[i].filasAfectadas > 0) filas_ += salida[i].filasAfectadas;
                        }
                    }
                    break;
            }
            error_ = 0;
        } catch (const ErrorServidor& e) {
            ResultadoSentencia r;
            ErrorServidor conLinea = e;
            conLinea.FijarLinea(s.linea);
            r.error = conLinea.ComoErrorBD(Origen());
            // Rows a procedure returned before it failed stay in front of the error.
            salida.push_back(std::move(r));
            RevisarTransaccion();
            error_ = e.numero();
            filas_ = 0;
            // A condition that fails runs neither branch.
            if (s.clase == Clase::Si) siguiente = static_cast<size_t>(s.salto);
            // Past the deadline (a long statement, a lock wait) the rest of the batch does not run.
            if (e.estadoSQL() == QLatin1String(estado::TiempoAgotado)) break;
            pc = siguiente;
            continue;
        } catch (const std::exception& e) {
            ResultadoSentencia r;
            ErrorServidor interno(err::ErrorInterno, msj::ErrorInterno(), QString::fromLatin1(estado::General), s.linea);
            r.error = interno.ComoErrorBD(Origen());
            salida.push_back(std::move(r));
            RevisarTransaccion();
            error_ = err::ErrorInterno;
            if (s.clase == Clase::Si) siguiente = static_cast<size_t>(s.salto);
            pc = siguiente;
            continue;
        }
        RevisarTransaccion();
        pc = siguiente;
    }
    conLimite_ = false;
    AplicarLimite();
    return salida;
}

void SesionEmbebida::EjecutarSentencia(const Sentencia& s, const std::vector<QVariant>& parametros,
                                       size_t& siguienteParametro, std::vector<ResultadoSentencia>& salida) {
    switch (s.clase) {
        case Clase::Consulta:
        case Clase::Modificacion:
            EjecutarSql(s, parametros, siguienteParametro, salida);
            return;
        case Clase::CrearTabla: {
            ExigirDefinir(QStringLiteral("CREATE TABLE"));
            BaseSqlite& b = Base(base_);
            Unir(b);
            DefinicionTabla def;
            def.nombre = s.tabla;
            def.columnas = s.columnas;
            def.clavePrimaria = s.clavePrimaria;
            def.nombreClave = s.nombreClave;
            CrearTabla(b, def);
            return;
        }
        case Clase::AgregarRestricciones: {
            BaseSqlite& b = Base(base_);
            if (!PermisosActuales().definir)
                throw ErrorServidor(err::TablaNoEncontrada, msj::TablaNoEncontrada(s.tabla),
                                    QString::fromLatin1(estado::TablaInexistente));
            Unir(b);
            AgregarRestricciones(b, s.tabla, s.clavePrimaria, s.nombreClave, s.defectos);
            return;
        }
        case Clase::AgregarColumna: {
            BaseSqlite& b = Base(base_);
            if (!PermisosActuales().definir)
                throw ErrorServidor(err::TablaNoEncontrada, msj::TablaNoEncontrada(s.tabla),
                                    QString::fromLatin1(estado::TablaInexistente));
            if (s.columnas.empty()) throw ErrorServidor(err::Sintaxis, msj::Sintaxis(s.tabla), QString::fromLatin1(estado::Sintaxis));
            Unir(b);
            if (s.clavePrimaria.isEmpty() && s.defectos.empty()) {
                AgregarColumnas(b, s.tabla, s.columnas);
                return;
            }
            // Columns and constraints in one ADD: one change of the table.
            b.Ejecutar(QStringLiteral("SAVEPOINT kv_agregar"));
            try {
                AgregarColumnas(b, s.tabla, s.columnas);
                AgregarRestricciones(b, s.tabla, s.clavePrimaria, s.nombreClave, s.defectos);
                b.Ejecutar(QStringLiteral("RELEASE kv_agregar"));
            } catch (...) {
                sqlite3_exec(b.db(), "ROLLBACK TO kv_agregar; RELEASE kv_agregar;", nullptr, nullptr,
                             nullptr);
                throw;
            }
            return;
        }
        case Clase::Usar: {
            Usar(s.objeto);
            ResultadoSentencia r;
            r.mensajes << QStringLiteral("Se cambió el contexto de la base de datos a '%1'.").arg(base_);
            salida.push_back(std::move(r));
            return;
        }
        case Clase::CrearBase:
            CrearBase(s.objeto);
            return;
        case Clase::BorrarBase:
            BorrarBase(s.objeto);
            return;
        case Clase::Ejecutar:
            EjecutarProcedimiento(s, salida);
            return;
        case Clase::IniciarTransaccion:
            Iniciar();
            return;
        case Clase::ConfirmarTransaccion:
            Confirmar();
            return;
        case Clase::DeshacerTransaccion:
            Deshacer();
            return;
        case Clase::Asignar:
            Asignar(s, parametros, siguienteParametro);
            return;
        case Clase::Imprimir:
            Imprimir(s, parametros, siguienteParametro, salida);
            return;
        case Clase::Elevar:
            Elevar(s, parametros, siguienteParametro, salida);
            return;
        case Clase::Conceder:
        case Clase::Revocar:
            ConcederPermisos(s, s.clase == Clase::Conceder);
            return;
        case Clase::Seguridad:
            EjecutarSeguridad(s, salida);
            return;
        case Clase::Si:
        case Clase::Saltar:
        case Clase::Retornar:
        case Clase::Nada:
            return;
    }
}

std::vector<std::vector<QVariant>> SesionEmbebida::Consultar(const Sentencia& s, const std::vector<QVariant>& parametros,
                                                             size_t& siguienteParametro) {
    Sentencia consulta = s;
    consulta.clase = Clase::Consulta;
    std::vector<ResultadoSentencia> resultado;
    EjecutarSql(consulta, parametros, siguienteParametro, resultado);
    for (auto& r : resultado)
        if (r.tieneFilas) return std::move(r.filas);
    return {};
}

void SesionEmbebida::Asignar(const Sentencia& s, const std::vector<QVariant>& parametros, size_t& siguienteParametro) {
    const auto filas = Consultar(s, parametros, siguienteParametro);
    filas_ = static_cast<qint64>(filas.size());
    // The last row gives the values; no row leaves the variables as they were.
    if (filas.empty()) return;
    const auto& fila = filas.back();
    for (int i = 0; i < s.variables.size() && i < static_cast<int>(fila.size()); ++i)
        variables_.insert(s.variables[i], fila[static_cast<size_t>(i)]);
}

void SesionEmbebida::Imprimir(const Sentencia& s, const std::vector<QVariant>& parametros, size_t& siguienteParametro,
                              std::vector<ResultadoSentencia>& salida) {
    const auto filas = Consultar(s, parametros, siguienteParametro);
    ResultadoSentencia r;
    r.mensajes << (filas.empty() || filas.front().empty() ? QString() : filas.front().front().toString());
    salida.push_back(std::move(r));
    filas_ = 0;
}

void SesionEmbebida::Elevar(const Sentencia& s, const std::vector<QVariant>& parametros, size_t& siguienteParametro,
                            std::vector<ResultadoSentencia>& salida) {
    const auto filas = Consultar(s, parametros, siguienteParametro);
    if (filas.empty() || filas.front().size() < 3) return;
    const auto& f = filas.front();
    int numero = 50000;
    QString formato;
    if (f[0].typeId() == QMetaType::LongLong || f[0].typeId() == QMetaType::Int) numero = f[0].toInt();
    else formato = f[0].toString();
    // printf-style arguments: %s, %d, %i, %u (with flags and width), %% for a percent sign.
    QString mensaje;
    size_t argumento = 3;
    for (qsizetype i = 0; i < formato.size(); ++i) {
        if (formato[i] != QLatin1Char('%') || i + 1 >= formato.size()) {
            mensaje += formato[i];
            continue;
        }
        qsizetype j = i + 1;
        if (formato[j] == QLatin1Char('%')) {
            mensaje += QLatin1Char('%');
            i = j;
            continue;
        }
        while (j < formato.size() && QStringLiteral("-+ #0123456789.lhI").contains(formato[j])) ++j;
        if (j < formato.size() && QStringLiteral("sdiuoxX").contains(formato[j])) {
            const QVariant v = argumento < f.size() ? f[argumento++] : QVariant();
            mensaje += v.isNull() ? QStringLiteral("(null)") : v.toString();
            i = j;
        } else {
            mensaje += formato[i];
        }
    }
    const int severidad = f[1].toInt();
    if (severidad > 10) {
        ErrorServidor e(numero, mensaje, QString::fromLatin1(estado::General));
        throw e;
    }
    ResultadoSentencia r;
    r.mensajes << mensaje;
    salida.push_back(std::move(r));
    filas_ = 0;
}

QVariant SesionEmbebida::ValorVariable(const QString& parametro) {
    if (parametro == QLatin1String("@kv_filas")) return filas_;
    if (parametro == QLatin1String("@kv_error")) return error_;
    if (parametro == QLatin1String("@kv_transacciones")) return nivel_;
    if (parametro == QLatin1String("@kv_identidad")) {
        const auto v = Base(base_).UltimaIdentidad();
        return v ? QVariant(*v) : QVariant();
    }
    if (parametro == QLatin1String("@kv_base")) return base_;
    if (parametro == QLatin1String("@kv_login")) return login_;
    if (parametro == QLatin1String("@kv_usuario")) {
        if (catalogo_->TieneRolServidor(login_, QStringLiteral("sysadmin"))) return QStringLiteral("dbo");
        return catalogo_->UsuarioDeLogin(base_, login_).value_or(QStringLiteral("guest"));
    }
    if (parametro == QLatin1String("@kv_roles_servidor")) return ListaRolesServidor();
    if (parametro == QLatin1String("@kv_roles_base")) return ListaRolesBase();
    if (parametro == QLatin1String("@kv_bases")) {
        // "id<TAB>name" lines, for DB_ID and DB_NAME.
        QStringList lineas;
        for (const auto& f : catalogo_->maestra().Filas(QStringLiteral("SELECT rowid, nombre FROM kv_sys_bases")))
            lineas << f[0].toString() + QLatin1Char('\t') + f[1].toString();
        return lineas.join(QLatin1Char('\n'));
    }
    return variables_.value(parametro);
}

bool SesionEmbebida::EjecutarPorRuta(const PlanSentencia& plan, const std::vector<QVariant>& parametros,
                                     size_t& siguienteParametro, std::vector<ResultadoSentencia>& salida) {
    const Sentencia& s = plan.sentencia;
    if (s.clase != Clase::Consulta && s.clase != Clase::Modificacion) return false;
    BaseSqlite& b = Base(base_);
    // The rights are checked the general route's way: its text is prepared under the
    // authorizer. Any failure is left to the general route, which reports it as always.
    permisos_ = PermisosActuales();
    denegacion_.reset();
    const QByteArray texto = s.sql.toUtf8();
    sqlite3_stmt* st = nullptr;
    sqlite3_set_authorizer(b.db(), &Autorizar, this);
    const int rc = sqlite3_prepare_v2(b.db(), texto.constData(), static_cast<int>(texto.size()), &st, nullptr);
    sqlite3_set_authorizer(b.db(), nullptr, nullptr);
    const bool escribe = rc == SQLITE_OK && st && !sqlite3_stmt_readonly(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_OK || denegacion_) return false;
    // As on the general route, only a write joins the open transaction.
    if (escribe) Unir(b);
    const size_t antes = siguienteParametro;
    EntornoRuta entorno{b, parametros, siguienteParametro};
    std::optional<ResultadoSentencia> r = plan.ruta->Ejecutar(plan, entorno);
    if (!r) {
        siguienteParametro = antes;
        return false;
    }
    salida.push_back(std::move(*r));
    return true;
}

void SesionEmbebida::EjecutarSql(const Sentencia& s, const std::vector<QVariant>& parametros,
                                 size_t& siguienteParametro, std::vector<ResultadoSentencia>& salida) {
    BaseSqlite& b = Base(base_);
    const QString verbo = PrimeraPalabra(s.original.isEmpty() ? s.sql : s.original);
    const ContextoError contexto{verbo, s.tabla};
    permisos_ = PermisosActuales();
    const QByteArray texto = s.sql.toUtf8();
    const char* resto = texto.constData();
    const char* fin = resto + texto.size();
    bool alguno = false;
    while (resto < fin) {
        sqlite3_stmt* st = nullptr;
        const char* siguiente = nullptr;
        denegacion_.reset();
        sqlite3_set_authorizer(b.db(), &Autorizar, this);
        const int rcPrep = sqlite3_prepare_v2(b.db(), resto, static_cast<int>(fin - resto), &st, &siguiente);
        sqlite3_set_authorizer(b.db(), nullptr, nullptr);
        // What the authorizer refused, named as SQL Server names it.
        auto denegado = [&]() -> ErrorServidor {
            if (denegacion_->permiso == QLatin1String("FUNCION"))
                return ErrorServidor(err::FuncionDesconocida, msj::FuncionDesconocida(denegacion_->objeto),
                                     QString::fromLatin1(estado::Sintaxis));
            if (denegacion_->permiso.startsWith(QLatin1String("CREATE")))
                return ErrorServidor(err::PermisoBase, msj::PermisoBase(denegacion_->permiso, b.nombre()),
                                     QString::fromLatin1(estado::Sintaxis));
            return ErrorServidor(err::PermisoObjeto,
                                 msj::PermisoObjeto(denegacion_->permiso, denegacion_->objeto, b.nombre()),
                                 QString::fromLatin1(estado::Sintaxis));
        };
        if (rcPrep != SQLITE_OK) {
            if (denegacion_) throw denegado();
            if (auto e = VistaNoActualizable(b)) throw *e;
            throw ErrorDeSqlite(b, sqlite3_extended_errcode(b.db()), contexto);
        }
        resto = siguiente;
        if (!st) continue;
        alguno = true;
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guarda(st, &sqlite3_finalize);
        // Only a statement that writes joins the open transaction (and takes the lock).
        if (!sqlite3_stmt_readonly(st)) Unir(b);
        const int nParam = sqlite3_bind_parameter_count(st);
        for (int i = 1; i <= nParam; ++i) {
            QVariant v;
            const char* nombre = sqlite3_bind_parameter_name(st, i);
            if (nombre && nombre[0] == '@') v = ValorVariable(QString::fromUtf8(nombre));
            else if (siguienteParametro < parametros.size()) v = parametros[siguienteParametro++];
            // Bound through the same rules as every other value.
            if (v.isNull() || !v.isValid()) {
                sqlite3_bind_null(st, i);
            } else if (v.typeId() == QMetaType::Bool) {
                sqlite3_bind_int(st, i, v.toBool() ? 1 : 0);
            } else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong ||
                       v.typeId() == QMetaType::UInt || v.typeId() == QMetaType::Short ||
                       v.typeId() == QMetaType::ULongLong || v.typeId() == QMetaType::Long) {
                sqlite3_bind_int64(st, i, v.toLongLong());
            } else if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
                sqlite3_bind_double(st, i, v.toDouble());
            } else if (v.typeId() == QMetaType::QDateTime || v.typeId() == QMetaType::QDate) {
                const QByteArray t = (v.typeId() == QMetaType::QDate ? v.toDate().startOfDay() : v.toDateTime())
                                         .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                         .toUtf8();
                sqlite3_bind_text(st, i, t.constData(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
            } else if (v.typeId() == QMetaType::QByteArray) {
                const QByteArray t = v.toByteArray();
                sqlite3_bind_blob(st, i, t.constData(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
            } else {
                const QByteArray t = v.toString().toUtf8();
                sqlite3_bind_text(st, i, t.constData(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
            }
        }
        const int columnas = sqlite3_column_count(st);
        ResultadoSentencia r;
        if (columnas > 0) {
            r.tieneFilas = true;
            const FormaResultado forma(b, st, s.tiposColumnas);
            int rc;
            while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
                std::vector<QVariant> fila;
                fila.reserve(static_cast<size_t>(columnas));
                for (int i = 0; i < columnas; ++i) fila.push_back(forma.Valor(i, ValorColumna(st, i)));
                r.filas.push_back(std::move(fila));
            }
            if (rc != SQLITE_DONE) throw ErrorDeSqlite(b, sqlite3_extended_errcode(b.db()), contexto);
            forma.Completar(r);
        } else {
            const std::int64_t filasVista = b.filasDeVista();
            int rc;
            while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            }
            if (rc != SQLITE_DONE) throw ErrorDeSqlite(b, sqlite3_extended_errcode(b.db()), contexto);
            const QString v = PrimeraPalabra(QString::fromUtf8(sqlite3_sql(st)));
            if (v == QLatin1String("INSERT") || v == QLatin1String("UPDATE") || v == QLatin1String("DELETE") ||
                v == QLatin1String("REPLACE"))
                r.filasAfectadas = sqlite3_changes64(b.db()) + (b.filasDeVista() - filasVista);
        }
        salida.push_back(std::move(r));
    }
    if (verbo == QLatin1String("DROP")) DepurarCatalogo(b);
    if (verbo == QLatin1String("CREATE") && s.clase == Clase::Modificacion && !s.tiposColumnas.empty())
        GuardarTiposDeVista(b, s);
    if (verbo == QLatin1String("CREATE") && s.clase == Clase::Modificacion &&
        (!s.tablaVista.isEmpty() || s.vistaNoActualizable != 0))
        PrepararDmlDeVista(b, s);
    if (!alguno && s.clase == Clase::Consulta) {
        ResultadoSentencia r;
        r.tieneFilas = true;
        salida.push_back(std::move(r));
    }
}

// ---------------------------------------------------------------------------

void SesionEmbebida::Usar(const QString& nombre) {
    const auto canonico = catalogo_->Base(nombre);
    if (!canonico)
        throw ErrorServidor(err::BaseNoExisteUsar, msj::BaseNoExisteUsar(nombre),
                            QString::fromLatin1(estado::Sintaxis));
    if (!catalogo_->PuedeUsar(login_, *canonico))
        throw ErrorServidor(err::SinAccesoBase, msj::SinAccesoBase(login_, *canonico),
                            QString::fromLatin1(estado::Sintaxis));
    Base(*canonico);  // opens it now, so a broken file shows here
    MarcarUso(catalogo_->carpeta(), *canonico, +1);
    MarcarUso(catalogo_->carpeta(), base_, -1);
    base_ = *canonico;
}

void SesionEmbebida::UsarBase(const QString& base) {
    try {
        Usar(base);
    } catch (const ErrorServidor& e) {
        throw ErrorProveedor(e.ComoErrorBD(Origen()));
    }
}

void SesionEmbebida::CrearBase(const QString& nombre) {
    if (nivel_ > 0)
        throw ErrorServidor(err::TransaccionCreaBase, msj::TransaccionCreaBase(QStringLiteral("CREATE DATABASE")),
                            QString::fromLatin1(estado::General));
    if (!catalogo_->TieneRolServidor(login_, QStringLiteral("dbcreator")))
        throw ErrorServidor(err::PermisoBase, msj::PermisoBase(QStringLiteral("CREATE DATABASE"),
                                                               QString::fromLatin1(BaseMaestra)),
                            QString::fromLatin1(estado::Sintaxis));
    ValidarNombre(nombre);
    if (catalogo_->Base(nombre))
        throw ErrorServidor(err::BaseExiste, msj::BaseExiste(nombre), QString::fromLatin1(estado::General));
    // A file left without its catalog entry is taken back rather than overwritten.
    auto b = BaseSqlite::Abrir(RutaBase(catalogo_->carpeta(), nombre), nombre, true);
    AsegurarCatalogoBase(*b);
    b.reset();
    catalogo_->RegistrarBase(nombre, login_);
}

void SesionEmbebida::BorrarBase(const QString& nombre) {
    if (nivel_ > 0)
        throw ErrorServidor(err::TransaccionCreaBase, msj::TransaccionCreaBase(QStringLiteral("DROP DATABASE")),
                            QString::fromLatin1(estado::General));
    const auto canonico = catalogo_->Base(nombre);
    if (!canonico)
        throw ErrorServidor(err::NoSePuedeQuitar, msj::NoSePuedeQuitarBase(nombre), QString::fromLatin1(estado::General));
    if (canonico->compare(QLatin1String(BaseMaestra), Qt::CaseInsensitive) == 0)
        throw ErrorServidor(err::BaseDelSistema, msj::BaseDelSistema(*canonico), QString::fromLatin1(estado::General));
    const bool propietario = catalogo_->LoginDeUsuario(*canonico, QStringLiteral("dbo"))
                                 .value_or(QString())
                                 .compare(login_, Qt::CaseInsensitive) == 0;
    if (!propietario && !catalogo_->TieneRolServidor(login_, QStringLiteral("dbcreator")))
        throw ErrorServidor(err::NoSePuedeQuitar, msj::NoSePuedeQuitarBase(nombre), QString::fromLatin1(estado::General));
    if (Usos(catalogo_->carpeta(), *canonico) > 0)
        throw ErrorServidor(err::BaseEnUso, msj::BaseEnUso(*canonico), QString::fromLatin1(estado::General));
    bases_.erase(canonico->toUpper());
    catalogo_->QuitarBase(*canonico);
    const QString ruta = RutaBase(catalogo_->carpeta(), *canonico);
    QFile::remove(ruta + QStringLiteral("-wal"));
    QFile::remove(ruta + QStringLiteral("-shm"));
    QFile::remove(ruta);
}

// ---------------------------------------------------------------------------

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
    for (BaseSqlite* b : enTransaccion_)
        if (b->EnTransaccion()) sqlite3_exec(b->db(), "ROLLBACK", nullptr, nullptr, nullptr);
    enTransaccion_.clear();
    nivel_ = 0;
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

void SesionEmbebida::EjecutarProcedimiento(const Sentencia& s, std::vector<ResultadoSentencia>& salida) {
    QString nombre = s.objeto.trimmed();
    if (nombre.startsWith(QLatin1String("dbo."), Qt::CaseInsensitive)) nombre = nombre.mid(4);
    if (nombre.startsWith(QLatin1String("sp_"), Qt::CaseInsensitive)) {
        EjecutarProcedimientoSistema(nombre.toLower(), s, salida);
        return;
    }
    const Procedimiento funcion = BuscarProcedimiento(nombre);
    if (!funcion)
        throw ErrorServidor(err::ProcedimientoInexistente, msj::ProcedimientoInexistente(nombre),
                            QString::fromLatin1(estado::Sintaxis));
    // Procedures run with the server's rights, so calling one is a right of its own.
    const QString registrado = NombreProcedimiento(nombre);
    if (!catalogo_->PuedeEjecutar(login_, base_, registrado))
        throw ErrorServidor(err::PermisoObjeto,
                            msj::PermisoObjeto(QStringLiteral("EXECUTE"), registrado, base_),
                            QString::fromLatin1(estado::Sintaxis));

    class Contexto : public ContextoProcedimiento {
    public:
        Contexto(SesionEmbebida& s, std::vector<ResultadoSentencia>& salida) : s_(s), salida_(salida) {}
        QString BaseActual() const override { return s_.BaseActual(); }
        QString Login() const override { return s_.login(); }
        bool ExisteBase(const QString& nombre) const override { return s_.catalogo().Base(nombre).has_value(); }
        sqlite3* Base(const QString& nombre) override {
            if (!s_.catalogo().Base(nombre))
                throw ErrorServidor(err::BaseInaccesible, msj::BaseInaccesible(nombre),
                                    QString::fromLatin1(estado::BaseInexistente));
            BaseSqlite& b = s_.Base(nombre);
            // Work done inside the caller's transaction belongs to it.
            s_.Unir(b);
            usadas_.insert(&b);
            return b.db();
        }
        void DevolverFilas(const std::vector<ColumnaResultado>& columnas,
                           std::vector<std::vector<QVariant>> filas) override {
            ResultadoSentencia r;
            r.tieneFilas = true;
            r.columnas = columnas;
            r.filas = std::move(filas);
            salida_.push_back(std::move(r));
        }
        void DevolverAfectadas(qint64 filas) override {
            ResultadoSentencia r;
            r.filasAfectadas = filas;
            salida_.push_back(std::move(r));
        }
        void DevolverError(const ErrorServidor& error) override {
            ResultadoSentencia r;
            r.error = error.ComoErrorBD(s_.Origen());
            salida_.push_back(std::move(r));
        }
        bool TiempoAgotado() const override {
            for (BaseSqlite* b : usadas_)
                if (b->TiempoAgotado()) return true;
            return false;
        }
        bool Vencido() const {
            for (BaseSqlite* b : usadas_)
                if (b->Vencido()) return true;
            return false;
        }

    private:
        SesionEmbebida& s_;
        std::vector<ResultadoSentencia>& salida_;
        std::set<BaseSqlite*> usadas_;
    };

    Contexto contexto(*this, salida);
    try {
        funcion(contexto, s.argumentos);
    } catch (const ErrorServidor&) {
        throw;
    } catch (const std::exception&) {
        if (contexto.Vencido() || contexto.TiempoAgotado())
            throw ErrorServidor(err::TiempoAgotado, msj::TiempoAgotado(), QString::fromLatin1(estado::TiempoAgotado));
        throw ErrorServidor(err::ErrorInterno, msj::ErrorInterno(), QString::fromLatin1(estado::General));
    }
    if (contexto.Vencido())
        throw ErrorServidor(err::TiempoAgotado, msj::TiempoAgotado(), QString::fromLatin1(estado::TiempoAgotado));
}

bool SesionEmbebida::ProcedimientoDeCatalogo(const QString& nombre, const Sentencia& s,
                                             std::vector<ResultadoSentencia>& salida) {
    const auto& args = s.argumentos;
    // Most answer with the catalog views, through the front end like any statement.
    auto consultar = [&](const QString& tsql) {
        size_t ninguno = 0;
        for (const PlanSentencia& plan : PlanificarLote(tsql)) EjecutarSql(plan.sentencia, {}, ninguno, salida);
    };
    auto filas = [&](const QStringList& columnas, const std::vector<std::vector<QVariant>>& datos) {
        ResultadoSentencia r;
        r.tieneFilas = true;
        for (const QString& n : columnas) {
            kv::db::ColumnaResultado c;
            c.nombre = n;
            r.columnas.push_back(c);
        }
        r.filas = datos;
        salida.push_back(std::move(r));
    };
    if (nombre == QLatin1String("sp_tables")) {
        bool dado = false;
        const QString tabla = TextoArgumento(args, 0, QStringLiteral("@table_name"), &dado);
        consultar(QStringLiteral("SELECT TABLE_CATALOG AS TABLE_QUALIFIER, TABLE_SCHEMA AS TABLE_OWNER, TABLE_NAME, "
                                 "CASE TABLE_TYPE WHEN 'BASE TABLE' THEN 'TABLE' ELSE 'VIEW' END AS TABLE_TYPE, "
                                 "NULL AS REMARKS FROM INFORMATION_SCHEMA.TABLES ") +
                  (dado ? QStringLiteral("WHERE TABLE_NAME LIKE %1 ").arg(Literal(tabla)) : QString()) +
                  QStringLiteral("ORDER BY 4, 3"));
        return true;
    }
    if (nombre == QLatin1String("sp_columns")) {
        bool dado = false;
        const QString tabla = TextoArgumento(args, 0, QStringLiteral("@table_name"), &dado);
        if (!dado)
            throw ErrorServidor(201, msj::ArgumentoFaltante(nombre, QStringLiteral("@table_name")),
                                QString::fromLatin1(estado::Sintaxis));
        consultar(QStringLiteral("SELECT TABLE_CATALOG AS TABLE_QUALIFIER, TABLE_SCHEMA AS TABLE_OWNER, TABLE_NAME, "
                                 "COLUMN_NAME, DATA_TYPE AS TYPE_NAME, NUMERIC_PRECISION AS PRECISION, "
                                 "CHARACTER_MAXIMUM_LENGTH AS LENGTH, NUMERIC_SCALE AS SCALE, CASE IS_NULLABLE "
                                 "WHEN 'YES' THEN 1 ELSE 0 END AS NULLABLE, COLUMN_DEFAULT AS COLUMN_DEF, "
                                 "ORDINAL_POSITION, IS_NULLABLE FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME "
                                 "LIKE %1 ORDER BY TABLE_NAME, ORDINAL_POSITION")
                      .arg(Literal(tabla)));
        return true;
    }
    if (nombre == QLatin1String("sp_help")) {
        bool dado = false;
        const QString objeto = TextoArgumento(args, 0, QStringLiteral("@objname"), &dado);
        if (!dado) {
            consultar(QStringLiteral("SELECT TABLE_NAME AS Name, TABLE_SCHEMA AS Owner, CASE TABLE_TYPE WHEN "
                                     "'BASE TABLE' THEN 'user table' ELSE 'view' END AS Object_type FROM "
                                     "INFORMATION_SCHEMA.TABLES ORDER BY 1"));
            return true;
        }
        const auto existe = NombreObjeto(Base(base_), objeto);
        if (!existe || EsTablaDelSistema(*existe))
            throw ErrorServidor(15009,
                                QStringLiteral("El objeto '%1' no existe en la base de datos '%2' o no es válido "
                                               "para esta operación.")
                                    .arg(objeto, base_),
                                QString::fromLatin1(estado::General));
        consultar(QStringLiteral("SELECT TABLE_NAME AS Name, TABLE_SCHEMA AS Owner, CASE TABLE_TYPE WHEN 'BASE TABLE' "
                                 "THEN 'user table' ELSE 'view' END AS Type, NULL AS Created_datetime FROM "
                                 "INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME = %1 "
                                 "SELECT COLUMN_NAME AS Column_name, DATA_TYPE AS Type, 'no' AS Computed, "
                                 "CHARACTER_MAXIMUM_LENGTH AS Length, NUMERIC_PRECISION AS Prec, NUMERIC_SCALE AS "
                                 "Scale, CASE IS_NULLABLE WHEN 'YES' THEN 'yes' ELSE 'no' END AS Nullable FROM "
                                 "INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = %1 ORDER BY ORDINAL_POSITION")
                      .arg(Literal(*existe)));
        return true;
    }
    if (nombre == QLatin1String("sp_helpdb")) {
        bool dado = false;
        const QString base = TextoArgumento(args, 0, QStringLiteral("@dbname"), &dado);
        std::vector<std::vector<QVariant>> datos;
        for (const auto& f : catalogo_->maestra().Filas(
                 QStringLiteral("SELECT nombre, propietario, rowid FROM kv_sys_bases ORDER BY nombre"))) {
            if (dado && f[0].toString().compare(base, Qt::CaseInsensitive) != 0) continue;
            datos.push_back({f[0], QVariant(), f[1], f[2], QVariant(), QStringLiteral("Status=ONLINE"), 80});
        }
        if (dado && datos.empty())
            throw ErrorServidor(15010, msj::BaseNoExiste(base), QString::fromLatin1(estado::General));
        filas({QStringLiteral("name"), QStringLiteral("db_size"), QStringLiteral("owner"), QStringLiteral("dbid"),
               QStringLiteral("created"), QStringLiteral("status"), QStringLiteral("compatibility_level")},
              datos);
        return true;
    }
    if (nombre == QLatin1String("sp_helplogins")) {
        if (!catalogo_->TieneRolServidor(login_, QStringLiteral("securityadmin"))) throw SinPermiso();
        std::vector<std::vector<QVariant>> datos;
        for (const auto& f : catalogo_->maestra().Filas(
                 QStringLiteral("SELECT nombre, base_defecto FROM kv_sys_logins ORDER BY nombre")))
            datos.push_back({f[0], QVariant(), f[1], QStringLiteral("Español"), QStringLiteral("yes"),
                             QStringLiteral("no")});
        filas({QStringLiteral("LoginName"), QStringLiteral("SID"), QStringLiteral("DefDBName"),
               QStringLiteral("DefLangName"), QStringLiteral("AUser"), QStringLiteral("ARemote")},
              datos);
        return true;
    }
    if (nombre == QLatin1String("sp_who")) {
        // This process knows its own session only.
        filas({QStringLiteral("spid"), QStringLiteral("ecid"), QStringLiteral("status"), QStringLiteral("loginame"),
               QStringLiteral("hostname"), QStringLiteral("blk"), QStringLiteral("dbname"), QStringLiteral("cmd"),
               QStringLiteral("request_id")},
              {{51, 0, QStringLiteral("runnable"), login_, QString(), QStringLiteral("0"), base_,
                QStringLiteral("SELECT"), 0}});
        return true;
    }
    return false;
}

void SesionEmbebida::ConcederPermisos(const Sentencia& s, bool concede) {
    for (const QString& permiso : s.sql.split(QLatin1Char(',')))
        if (permiso != QLatin1String("EXECUTE"))
            throw ErrorServidor(err::ErrorInterno, msj::PermisoNoAdmitido(permiso),
                                QString::fromLatin1(estado::General));
    Catalogo& c = *catalogo_;
    UnirCatalogo();
    // Not there and not the caller's to grant on answer alike.
    if (!BuscarProcedimiento(s.objeto) ||
        !c.TienePermisoBase(login_, base_, QStringLiteral("db_securityadmin")))
        throw ErrorServidor(err::LoginNoModificable, msj::ObjetoNoEncontrado(s.objeto),
                            QString::fromLatin1(estado::General));
    const QString objeto = NombreProcedimiento(s.objeto);
    QStringList usuarios;
    for (const Argumento& a : s.argumentos) {
        const QString usuario = a.valor.toString();
        if (!c.LoginDeUsuario(base_, usuario))
            throw ErrorServidor(err::LoginNoModificable, msj::UsuarioNoEncontrado(usuario),
                                QString::fromLatin1(estado::General));
        usuarios << usuario;
    }
    for (const QString& usuario : usuarios) {
        if (concede)
            c.ConcederPermisoObjeto(base_, usuario, QStringLiteral("EXECUTE"), objeto);
        else
            c.RevocarPermisoObjeto(base_, usuario, QStringLiteral("EXECUTE"), objeto);
    }
}

void SesionEmbebida::EjecutarProcedimientoSistema(const QString& nombre, const Sentencia& s,
                                                  std::vector<ResultadoSentencia>& salida) {
    if (ProcedimientoDeCatalogo(nombre, s, salida)) return;
    auto informar = [&](const QString& mensaje) {
        ResultadoSentencia r;
        r.mensajes << mensaje;
        salida.push_back(std::move(r));
    };
    const auto& args = s.argumentos;
    Catalogo& c = *catalogo_;
    auto exigirLogin = [&](const QString& login) {
        const auto info = c.Login(login);
        if (!info)
            throw ErrorServidor(err::LoginInexistente, msj::LoginInexistente(login), QString::fromLatin1(estado::General));
        return info->nombre;
    };
    auto falta = [&](const QString& parametro) {
        return ErrorServidor(201, msj::ArgumentoFaltante(nombre, parametro), QString::fromLatin1(estado::Sintaxis));
    };
    // What these procedures change, an open transaction undoes.
    UnirCatalogo();
    if (nombre == QLatin1String("sp_addlogin")) {
        bool dado = false;
        const QString login = TextoArgumento(args, 0, QStringLiteral("@loginame"), &dado);
        if (!dado) throw falta(QStringLiteral("@loginame"));
        const QString clave = TextoArgumento(args, 1, QStringLiteral("@passwd"));
        bool hayBase = false;
        QString base = TextoArgumento(args, 2, QStringLiteral("@defdb"), &hayBase);
        if (!hayBase || base.trimmed().isEmpty()) base = QString::fromLatin1(BaseMaestra);
        if (!c.TieneRolServidor(login_, QStringLiteral("securityadmin"))) throw SinPermiso();
        ValidarNombre(login);
        if (c.Login(login))
            throw ErrorServidor(err::LoginExiste, msj::LoginExiste(login), QString::fromLatin1(estado::General));
        const auto canonica = c.Base(base);
        if (!canonica)
            throw ErrorServidor(err::BaseNoExiste, msj::BaseNoExiste(base), QString::fromLatin1(estado::General));
        c.AgregarLogin(login, clave, *canonica);
        informar(QStringLiteral("Se creó el nuevo inicio de sesión."));
        return;
    }
    if (nombre == QLatin1String("sp_password")) {
        bool hayAnterior = false, hayLogin = false;
        const QString anterior = TextoArgumento(args, 0, QStringLiteral("@old"), &hayAnterior);
        const QString nueva = TextoArgumento(args, 1, QStringLiteral("@new"));
        QString login = TextoArgumento(args, 2, QStringLiteral("@loginame"), &hayLogin);
        if (!hayLogin || login.isEmpty()) login = login_;
        // An unknown login, somebody else's and a wrong old password get one
        // answer, so that logins cannot be told apart by trying them.
        const ErrorServidor negado(err::LoginNoModificable, msj::LoginNoModificable(login),
                                   QString::fromLatin1(estado::General));
        const bool administra = c.TieneRolServidor(login_, QStringLiteral("securityadmin"));
        const auto info = c.Login(login);
        const bool propio = info && info->nombre.compare(login_, Qt::CaseInsensitive) == 0;
        // Administrators may set a password without the old one (a sysadmin's only
        // by a sysadmin); everybody else must give it.
        const bool pideAnterior = hayAnterior || !info || !PuedeFijarClaveSinAnterior(c, login_, info->nombre);
        if (!info || (!propio && !administra)) {
            if (pideAnterior) c.Autenticar(QString(), anterior);  // the same work as a real check
            throw negado;
        }
        if (pideAnterior && !c.Autenticar(info->nombre, anterior)) throw negado;
        c.CambiarClave(info->nombre, nueva);
        informar(QStringLiteral("Se cambió la contraseña."));
        return;
    }
    if (nombre == QLatin1String("sp_addsrvrolemember")) {
        bool dado = false;
        const QString loginDado = TextoArgumento(args, 0, QStringLiteral("@loginame"), &dado);
        const QString rol = TextoArgumento(args, 1, QStringLiteral("@rolename")).trimmed().toLower();
        if (!dado) throw falta(QStringLiteral("@loginame"));
        if (!RolesServidor().contains(rol))
            throw ErrorServidor(err::RolServidorInexistente, msj::RolServidorInexistente(rol),
                                QString::fromLatin1(estado::General));
        // Members of a role may add others to it; sysadmin may add anyone anywhere.
        if (!c.TieneRolServidor(login_, rol)) throw SinPermiso();
        const QString login = exigirLogin(loginDado);
        c.AgregarRolServidor(login, rol);
        return;
    }
    if (nombre == QLatin1String("sp_grantdbaccess")) {
        bool dado = false, hayNombre = false;
        const QString loginDado = TextoArgumento(args, 0, QStringLiteral("@loginame"), &dado);
        QString usuario = TextoArgumento(args, 1, QStringLiteral("@name_in_db"), &hayNombre);
        if (!dado) throw falta(QStringLiteral("@loginame"));
        if (!c.TienePermisoBase(login_, base_, QStringLiteral("db_accessadmin"))) throw SinPermiso();
        const QString login = exigirLogin(loginDado);
        if (!hayNombre || usuario.trimmed().isEmpty()) usuario = login;
        ValidarNombre(usuario);
        if (c.LoginDeUsuario(base_, usuario))
            throw ErrorServidor(err::UsuarioExiste, msj::UsuarioExiste(usuario), QString::fromLatin1(estado::General));
        if (c.UsuarioDeLogin(base_, login))
            throw ErrorServidor(15063,
                                QStringLiteral("El inicio de sesión ya tiene una cuenta con otro nombre de usuario."),
                                QString::fromLatin1(estado::General));
        c.AgregarUsuario(base_, usuario, login);
        return;
    }
    if (nombre == QLatin1String("sp_addrolemember")) {
        const QString rol = TextoArgumento(args, 0, QStringLiteral("@rolename")).trimmed().toLower();
        bool dado = false;
        const QString miembro = TextoArgumento(args, 1, QStringLiteral("@membername"), &dado);
        if (!dado) throw falta(QStringLiteral("@membername"));
        if (!RolesBase().contains(rol))
            throw ErrorServidor(err::RolInexistente, msj::RolInexistente(rol), QString::fromLatin1(estado::General));
        // Every role here is a fixed one: only db_owner adds members to those, or a
        // db_securityadmin could make itself db_owner.
        if (!c.TienePermisoBase(login_, base_, QStringLiteral("db_owner"))) throw SinPermiso();
        if (!c.LoginDeUsuario(base_, miembro))
            throw ErrorServidor(err::UsuarioInexistente, msj::UsuarioInexistente(miembro),
                                QString::fromLatin1(estado::General));
        c.AgregarRolBase(base_, miembro, rol);
        return;
    }
    throw ErrorServidor(err::ProcedimientoInexistente, msj::ProcedimientoInexistente(s.objeto.trimmed()),
                        QString::fromLatin1(estado::Sintaxis));
}

// ---------------------------------------------------------------------------

namespace {

// Whether a schema rowset lists the object: never the server's own tables, and
// only the one asked for when one is.
bool ObjetoListado(const QString& nombre, const QString& pedido) {
    return !EsTablaDelSistema(nombre) &&
           (pedido.isEmpty() || nombre.compare(pedido, Qt::CaseInsensitive) == 0);
}

}  // namespace

kv::db::ResultadoSentencia SesionEmbebida::EsquemaTablas(const QString& catalogo, const QString& tabla) {
    ResultadoSentencia r;
    r.tieneFilas = true;
    for (const char* n : {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE", "TABLE_GUID", "DESCRIPTION",
                          "TABLE_PROPID", "DATE_CREATED", "DATE_MODIFIED"}) {
        ColumnaResultado c;
        c.nombre = QString::fromLatin1(n);
        c.tipo = kv::db::tipo::VarWChar;
        r.columnas.push_back(c);
    }
    if (!catalogo.isEmpty() && catalogo.compare(base_, Qt::CaseInsensitive) != 0) return r;
    try {
        BaseSqlite& b = Base(base_);
        const auto filas = b.Filas(QStringLiteral("SELECT name, type FROM sqlite_master WHERE type IN ('table', 'view') "
                                                  "ORDER BY CASE type WHEN 'table' THEN 0 ELSE 1 END, name"));
        for (const auto& f : filas) {
            const QString nombre = f[0].toString();
            if (!ObjetoListado(nombre, tabla)) continue;
            r.filas.push_back({base_, QStringLiteral("dbo"), nombre,
                               f[1].toString() == QLatin1String("view") ? QStringLiteral("VIEW") : QStringLiteral("TABLE"),
                               QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
        }
    } catch (const ErrorServidor& e) {
        throw ErrorProveedor(e.ComoErrorBD(Origen()));
    }
    return r;
}

kv::db::ResultadoSentencia SesionEmbebida::EsquemaColumnas(const QString& catalogo, const QString& tabla) {
    ResultadoSentencia r;
    r.tieneFilas = true;
    const std::vector<std::pair<const char*, int>> cabecera = {
        {"TABLE_CATALOG", kv::db::tipo::VarWChar},  {"TABLE_SCHEMA", kv::db::tipo::VarWChar},
        {"TABLE_NAME", kv::db::tipo::VarWChar},     {"COLUMN_NAME", kv::db::tipo::VarWChar},
        {"COLUMN_GUID", kv::db::tipo::VarWChar},    {"COLUMN_PROPID", kv::db::tipo::Integer},
        {"ORDINAL_POSITION", kv::db::tipo::Integer}, {"COLUMN_HASDEFAULT", kv::db::tipo::Boolean},
        {"COLUMN_DEFAULT", kv::db::tipo::VarWChar}, {"COLUMN_FLAGS", kv::db::tipo::Integer},
        {"IS_NULLABLE", kv::db::tipo::Boolean},     {"DATA_TYPE", kv::db::tipo::SmallInt},
        {"TYPE_GUID", kv::db::tipo::VarWChar},      {"CHARACTER_MAXIMUM_LENGTH", kv::db::tipo::Integer},
        {"CHARACTER_OCTET_LENGTH", kv::db::tipo::Integer}, {"NUMERIC_PRECISION", kv::db::tipo::SmallInt},
        {"NUMERIC_SCALE", kv::db::tipo::SmallInt}};
    for (const auto& [n, t] : cabecera) {
        ColumnaResultado c;
        c.nombre = QString::fromLatin1(n);
        c.tipo = t;
        r.columnas.push_back(c);
    }
    if (!catalogo.isEmpty() && catalogo.compare(base_, Qt::CaseInsensitive) != 0) return r;
    try {
        BaseSqlite& b = Base(base_);
        const auto objetos = b.Filas(QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table', 'view') "
                                                    "ORDER BY name"));
        for (const auto& o : objetos) {
            const QString nombre = o[0].toString();
            if (!ObjetoListado(nombre, tabla)) continue;
            std::vector<ColumnaDeclarada> columnas;
            if (const auto def = LeerDefinicion(b, nombre)) {
                columnas = def->columnas;
            } else {
                // A view: each column takes the declaration of the column it shows, if any.
                Preparada p(b, QStringLiteral("SELECT * FROM %1").arg(Identificador(nombre)));
                const int n = sqlite3_column_count(p.stmt());
                for (int i = 0; i < n; ++i) {
                    ColumnaDeclarada c;
                    c.nombre = QString::fromUtf8(sqlite3_column_name(p.stmt(), i));
                    c.tipo = QStringLiteral("nvarchar");
                    c.longitud = 255;
                    const char* t = sqlite3_column_table_name(p.stmt(), i);
                    const char* origen = sqlite3_column_origin_name(p.stmt(), i);
                    if (t && origen)
                        if (const auto def = LeerDefinicion(b, QString::fromUtf8(t)))
                            for (const auto& col : def->columnas)
                                if (col.nombre.compare(QString::fromUtf8(origen), Qt::CaseInsensitive) == 0) {
                                    const QString nombreVista = c.nombre;
                                    c = col;
                                    c.nombre = nombreVista;
                                    c.defecto.clear();
                                    c.identidad = false;
                                }
                    columnas.push_back(c);
                }
            }
            int orden = 0;
            for (const auto& c : columnas) {
                ++orden;
                const int tipo = TipoADO(c.tipo);
                const bool caracteres = tipo == kv::db::tipo::VarWChar || tipo == kv::db::tipo::WChar ||
                                        tipo == kv::db::tipo::VarChar || tipo == kv::db::tipo::Char ||
                                        tipo == kv::db::tipo::LongVarWChar || tipo == kv::db::tipo::LongVarChar;
                const bool ancho = tipo == kv::db::tipo::VarWChar || tipo == kv::db::tipo::WChar ||
                                   tipo == kv::db::tipo::LongVarWChar;
                const int precision = PrecisionADO(c);
                const bool numerico = precision > 0 && tipo != kv::db::tipo::DBTimeStamp;
                const int tamano = TamanoADO(c);
                QVariant escala;
                if (tipo == kv::db::tipo::Numeric) escala = c.escala;
                else if (tipo == kv::db::tipo::Currency) escala = 4;
                else if (numerico) escala = QVariant();
                r.filas.push_back({base_, QStringLiteral("dbo"), nombre, c.nombre, QVariant(), QVariant(), orden,
                                   !c.defecto.isEmpty(),
                                   c.defecto.isEmpty() ? QVariant() : QVariant(QStringLiteral("(") + c.defecto + QStringLiteral(")")),
                                   QVariant(), c.nulos, tipo, QVariant(),
                                   caracteres ? QVariant(tamano) : QVariant(),
                                   caracteres ? QVariant(ancho && tamano < 1073741823 ? tamano * 2 : tamano) : QVariant(),
                                   numerico ? QVariant(precision) : QVariant(), escala});
            }
        }
    } catch (const ErrorServidor& e) {
        throw ErrorProveedor(e.ComoErrorBD(Origen()));
    }
    return r;
}

QStringList SesionEmbebida::ClavePrimaria(const QString& tabla) {
    try {
        const auto def = LeerDefinicion(Base(base_), tabla);
        if (def) return def->clavePrimaria;
    } catch (const ErrorServidor&) {
    }
    return {};
}

}  // namespace kv::local
