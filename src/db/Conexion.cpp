#include "db/Conexion.h"

#include <QElapsedTimer>

#include "db/Recordset.h"
#include "db/TrazaSQL.h"

namespace kv::db {

namespace {

// ADO's own texts for its own errors, as the Spanish ADO gives them.
const QString kTextoObjetoCerrado = QStringLiteral("No se permite realizar la operación si el objeto está cerrado.");
const QString kTextoObjetoAbierto = QStringLiteral("No se permite realizar la operación si el objeto está abierto.");
const QString kTextoConexionNoUsable = QStringLiteral(
    "No se puede usar la conexión para realizar esta operación. Está cerrada o no es válida en este contexto.");
const QString kTextoSinTransaccion = QStringLiteral("No hay ninguna transacción activa.");
const QString kTextoTransaccionAbierta =
    QStringLiteral("Sólo puede haber una transacción activa en esta sesión.");
const QString kOrigenADO = QStringLiteral("ADODB.Connection");
const QString kTextoSinCadena = QStringLiteral("No se ha indicado la cadena de conexión.");

bool EsClaveDeUsuario(const QString& clave) {
    return clave == QLatin1String("UID") || clave == QLatin1String("USER ID") || clave == QLatin1String("USER");
}
bool EsClaveDeContrasena(const QString& clave) {
    return clave == QLatin1String("PWD") || clave == QLatin1String("PASSWORD");
}

// The string with the user and password given to Open in place of its own.
QString ConCredenciales(const QString& cadena, const QString& usuario, const QString& clave) {
    if (usuario.isEmpty() && clave.isEmpty()) return cadena;
    QString resultado;
    for (const auto& [k, v] : ParametrosConexion::Pares(cadena)) {
        if (!usuario.isEmpty() && EsClaveDeUsuario(k)) continue;
        if (!clave.isEmpty() && EsClaveDeContrasena(k)) continue;
        resultado += k + u'=' + v + u';';
    }
    if (!usuario.isEmpty()) resultado += QStringLiteral("UID=") + ValorCadenaConexion(usuario) + u';';
    if (!clave.isEmpty()) resultado += QStringLiteral("PWD=") + ValorCadenaConexion(clave) + u';';
    return resultado;
}

qint64 FilasDe(const std::vector<ResultadoSentencia>& resultados) {
    qint64 total = -1;
    for (const ResultadoSentencia& r : resultados) {
        if (r.tieneFilas) return static_cast<qint64>(r.filas.size());
        if (r.filasAfectadas >= 0) total = (total < 0 ? 0 : total) + r.filasAfectadas;
    }
    return total;
}

}  // namespace

Conexion::Conexion() = default;

Conexion::~Conexion() = default;

void Conexion::SetIsolationLevel(int nivel) {
    aislamiento_ = nivel;
    if (sesion_) sesion_->NivelAislamiento(nivel);
}

Sesion& Conexion::SesionAbierta() {
    if (!sesion_) throw KvExcepcion(adoerr::ConexionNoUsable, kTextoConexionNoUsable, kOrigenADO);
    return *sesion_;
}

void Conexion::Fallar(const std::vector<ErrorBD>& errores) {
    errores_.Clear();
    const QString origen = sesion_ ? sesion_->Origen() : QString();
    for (ErrorBD e : errores) {
        if (e.numero == 0) e.numero = NumeroADO(e.estadoSQL, e.errorNativo);
        if (e.origen.isEmpty()) e.origen = origen.isEmpty() ? kOrigenADO : origen;
        errores_.Agregar(e);
    }
    if (errores_.Count() == 0) {
        ErrorBD e;
        e.numero = adoerr::FalloNoEspecificado;
        e.descripcion = QStringLiteral("Error no especificado.");
        e.origen = origen.isEmpty() ? kOrigenADO : origen;
        errores_.Agregar(e);
    }
    const ErrorBD& primero = errores_.Item(0);
    throw KvExcepcion(primero.numero, primero.descripcion, primero.origen);
}

void Conexion::Open(const QString& cadena, const QString& usuario, const QString& clave) {
    if (sesion_) throw KvExcepcion(adoerr::ObjetoAbierto, kTextoObjetoAbierto, kOrigenADO);
    if (!cadena.isEmpty()) cadena_ = cadena;
    errores_.Clear();
    if (cadena_.trimmed().isEmpty())
        Fallar({ErrorBD{adoerr::FalloNoEspecificado, kTextoSinCadena, 0, QString(), kOrigenADO, 0}});
    const ParametrosConexion parametros = ParametrosConexion::Analizar(ConCredenciales(cadena_, usuario, clave));
    try {
        std::shared_ptr<Proveedor> proveedor = ElegirProveedor(parametros);
        std::unique_ptr<Sesion> sesion = proveedor->Abrir(parametros, tiempoConexion_);
        if (!sesion) throw ErrorProveedor(ErrorBD{adoerr::FalloNoEspecificado,
                                                  QStringLiteral("El proveedor no abrió la conexión."), 0,
                                                  QString(), kOrigenADO, 0});
        sesion_ = std::move(sesion);
    } catch (const ErrorProveedor& e) {
        Fallar(e.errores());
    }
    servidor_ = parametros.Servidor();
    nivelTransaccion_ = 0;
    abiertaAlgunaVez_ = true;
    // Read here and not per statement: with the variable unset the trace costs nothing.
    traza_ = TrazaSQL::DesdeEntorno();
    if (aislamiento_ != 4096) sesion_->NivelAislamiento(aislamiento_);
}

void Conexion::Close() {
    if (!sesion_) throw KvExcepcion(adoerr::ObjetoCerrado, kTextoObjetoCerrado, kOrigenADO);
    sesion_.reset();
    traza_.reset();
    nivelTransaccion_ = 0;
}

namespace {
// The database a statement is sent to (only asked when tracing).
QString BaseParaTraza(Sesion* sesion) {
    try {
        return sesion ? sesion->BaseActual() : QString();
    } catch (...) {
        // A connection that just failed may not answer; the line is written anyway.
        return QString();
    }
}
}  // namespace

void Conexion::Trazar(const QString& operacion, const QString& sql, double ms, std::optional<qint64> filas,
                      const ErrorBD* error) {
    if (!traza_) return;
    EntradaTraza e;
    e.operacion = operacion;
    e.servidor = servidor_;
    e.base = baseTraza_;
    e.sql = sql;
    e.ms = ms;
    if (filas && *filas >= 0) e.filas = filas;
    if (error) {
        e.error = error->errorNativo;
        e.numero = error->numero ? error->numero : NumeroADO(error->estadoSQL, error->errorNativo);
    }
    traza_->Escribir(e);
}

std::vector<ResultadoSentencia> Conexion::Correr(const QString& operacion, const QString& sql,
                                                 const std::vector<QVariant>& parametros) {
    Sesion& sesion = SesionAbierta();
    errores_.Clear();
    if (traza_) baseTraza_ = BaseParaTraza(&sesion);
    QElapsedTimer reloj;
    reloj.start();
    std::vector<ResultadoSentencia> resultados;
    try {
        resultados = sesion.Ejecutar(sql, parametros, tiempoComando_);
    } catch (const ErrorProveedor& e) {
        Trazar(operacion, sql, static_cast<double>(reloj.nsecsElapsed()) / 1e6, std::nullopt,
               e.errores().empty() ? nullptr : &e.errores().front());
        Fallar(e.errores());
    }
    const ErrorBD* primerError = nullptr;
    for (ResultadoSentencia& r : resultados) {
        if (!r.error) continue;
        if (r.error->numero == 0) r.error->numero = NumeroADO(r.error->estadoSQL, r.error->errorNativo);
        if (r.error->origen.isEmpty()) r.error->origen = sesion.Origen();
        if (!primerError) primerError = &*r.error;
    }
    Trazar(operacion, sql, static_cast<double>(reloj.nsecsElapsed()) / 1e6, FilasDe(resultados), primerError);
    return resultados;
}

namespace {
std::vector<ErrorBD> ErroresDe(const std::vector<ResultadoSentencia>& resultados) {
    std::vector<ErrorBD> errores;
    for (const ResultadoSentencia& r : resultados)
        if (r.error) errores.push_back(*r.error);
    return errores;
}
}  // namespace

std::unique_ptr<Recordset> Conexion::Execute(const QString& sql, qint32* afectados, int opciones) {
    std::vector<ResultadoSentencia> resultados = Correr(QStringLiteral("Execute"), sql, {});
    const std::vector<ErrorBD> errores = ErroresDe(resultados);
    if (!errores.empty()) Fallar(errores);
    if (afectados) {
        qint64 total = -1;
        for (const ResultadoSentencia& r : resultados)
            if (!r.tieneFilas && r.filasAfectadas >= 0) total = (total < 0 ? 0 : total) + r.filasAfectadas;
        *afectados = static_cast<qint32>(total);
    }
    // adExecuteNoRecords: the caller wants no recordset back.
    if (opciones != -1 && (opciones & 0x80) != 0) return nullptr;
    for (ResultadoSentencia& r : resultados)
        if (r.tieneFilas) return Recordset::DesdeResultado(std::move(r), this, sql);
    return nullptr;
}

std::vector<ResultadoSentencia> Conexion::EjecutarLote(const QString& sql) {
    std::vector<ResultadoSentencia> resultados = Correr(QStringLiteral("EjecutarLote"), sql, {});
    const std::vector<ErrorBD> errores = ErroresDe(resultados);
    for (const ErrorBD& e : errores) errores_.Agregar(e);
    return resultados;
}

ResultadoSentencia Conexion::EjecutarConParametros(const QString& sql, const std::vector<QVariant>& parametros) {
    std::vector<ResultadoSentencia> resultados = Correr(QStringLiteral("EjecutarConParametros"), sql, parametros);
    const std::vector<ErrorBD> errores = ErroresDe(resultados);
    if (!errores.empty()) Fallar(errores);
    if (resultados.empty()) return ResultadoSentencia{};
    for (ResultadoSentencia& r : resultados)
        if (r.tieneFilas) return std::move(r);
    return std::move(resultados.front());
}

std::optional<ResultadoSentencia> Conexion::AbrirConsulta(const QString& sql) {
    std::vector<ResultadoSentencia> resultados = Correr(QStringLiteral("Open"), sql, {});
    const std::vector<ErrorBD> errores = ErroresDe(resultados);
    if (!errores.empty()) Fallar(errores);
    for (ResultadoSentencia& r : resultados)
        if (r.tieneFilas) return std::move(r);
    return std::nullopt;
}

QString Conexion::DefaultDatabase() {
    Sesion& sesion = SesionAbierta();
    try {
        return sesion.BaseActual();
    } catch (const ErrorProveedor& e) {
        Fallar(e.errores());
    }
}

void Conexion::SetDefaultDatabase(const QString& base) {
    Sesion& sesion = SesionAbierta();
    errores_.Clear();
    try {
        sesion.UsarBase(base);
    } catch (const ErrorProveedor& e) {
        Fallar(e.errores());
    }
}

int Conexion::BeginTrans() {
    Sesion& sesion = SesionAbierta();
    if (nivelTransaccion_ > 0)
        throw KvExcepcion(adoerr::OperacionNoPermitida, kTextoTransaccionAbierta, kOrigenADO);
    errores_.Clear();
    try {
        sesion.IniciarTransaccion();
    } catch (const ErrorProveedor& e) {
        Fallar(e.errores());
    }
    nivelTransaccion_ = 1;
    return nivelTransaccion_;
}

void Conexion::CommitTrans() {
    Sesion& sesion = SesionAbierta();
    if (nivelTransaccion_ == 0) throw KvExcepcion(adoerr::OperacionNoPermitida, kTextoSinTransaccion, kOrigenADO);
    errores_.Clear();
    try {
        sesion.ConfirmarTransaccion();
        nivelTransaccion_ = 0;
    } catch (const ErrorProveedor& e) {
        Fallar(e.errores());
    }
}

void Conexion::RollbackTrans() {
    Sesion& sesion = SesionAbierta();
    if (nivelTransaccion_ == 0) throw KvExcepcion(adoerr::OperacionNoPermitida, kTextoSinTransaccion, kOrigenADO);
    errores_.Clear();
    nivelTransaccion_ = 0;
    try {
        sesion.DeshacerTransaccion();
    } catch (const ErrorProveedor& e) {
        Fallar(e.errores());
    }
}

namespace {

QString Restriccion(const std::vector<QVariant>& restricciones, size_t i) {
    if (i >= restricciones.size() || restricciones[i].isNull()) return QString();
    return restricciones[i].toString().trimmed();
}

// Keeps the rows whose column `columna` equals `valor` without regard to case.
void Filtrar(ResultadoSentencia& r, const QString& columna, const QString& valor) {
    if (valor.isEmpty()) return;
    int indice = -1;
    for (size_t i = 0; i < r.columnas.size(); ++i)
        if (r.columnas[i].nombre.compare(columna, Qt::CaseInsensitive) == 0) indice = static_cast<int>(i);
    if (indice < 0) return;
    std::vector<std::vector<QVariant>> quedan;
    for (auto& fila : r.filas)
        if (fila[static_cast<size_t>(indice)].toString().trimmed().compare(valor, Qt::CaseInsensitive) == 0)
            quedan.push_back(std::move(fila));
    r.filas = std::move(quedan);
}

}  // namespace

std::unique_ptr<Recordset> Conexion::OpenSchema(int tipoEsquema, const std::vector<QVariant>& restricciones) {
    Sesion& sesion = SesionAbierta();
    errores_.Clear();
    const QString catalogo = Restriccion(restricciones, 0);
    const QString esquema = Restriccion(restricciones, 1);
    const QString tabla = Restriccion(restricciones, 2);
    const QString cuarta = Restriccion(restricciones, 3);
    ResultadoSentencia r;
    try {
        if (tipoEsquema == ado::EsquemaTablas) {
            r = sesion.EsquemaTablas(catalogo, tabla);
            Filtrar(r, QStringLiteral("TABLE_TYPE"), cuarta);
        } else if (tipoEsquema == ado::EsquemaColumnas) {
            r = sesion.EsquemaColumnas(catalogo, tabla);
            Filtrar(r, QStringLiteral("COLUMN_NAME"), cuarta);
        } else {
            throw KvExcepcion(adoerr::NoAdmitido,
                              QStringLiteral("El proveedor no admite la operación solicitada."), kOrigenADO);
        }
    } catch (const ErrorProveedor& e) {
        Fallar(e.errores());
    }
    Filtrar(r, QStringLiteral("TABLE_SCHEMA"), esquema);
    Filtrar(r, QStringLiteral("TABLE_NAME"), tabla);
    r.tieneFilas = true;
    return Recordset::DesdeResultado(std::move(r), this);
}

QStringList Conexion::ClavePrimaria(const QString& tabla) {
    Sesion& sesion = SesionAbierta();
    try {
        return sesion.ClavePrimaria(tabla);
    } catch (const ErrorProveedor& e) {
        Fallar(e.errores());
    }
}

}  // namespace kv::db
