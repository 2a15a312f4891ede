#include "db/Recordset.h"

#include <QRegularExpression>

#include "db/Conexion.h"

namespace kv::db {

namespace {

const QString kOrigenRecordset = QStringLiteral("ADODB.Recordset");
const QString kTextoCerrado = QStringLiteral("No se permite realizar la operación si el objeto está cerrado.");
const QString kTextoConexionNoUsable = QStringLiteral(
    "No se puede usar la conexión para realizar esta operación. Está cerrada o no es válida en este "
    "contexto.");
const QString kTextoAbierto = QStringLiteral("No se permite realizar la operación si el objeto está abierto.");
const QString kTextoSinRegistro = QStringLiteral(
    "BOF o EOF es True, o el registro actual se eliminó. La operación solicitada requiere un registro actual.");
const QString kTextoSinCampo = QStringLiteral(
    "No se encontró el elemento en la colección que corresponde con el nombre o el ordinal solicitado.");
const QString kTextoArgumento = QStringLiteral(
    "Los argumentos son incorrectos, están fuera del intervalo aceptable o están en conflicto.");
const QString kTextoSoloLectura = QStringLiteral(
    "El conjunto de registros actual no admite actualizaciones. Puede ser una limitación del proveedor o del tipo "
    "de bloqueo seleccionado.");
const QString kTextoSinTabla =
    QStringLiteral("No se puede determinar la tabla que se debe actualizar a partir del origen del conjunto de registros.");
const QString kTextoFilaNoEncontrada = QStringLiteral(
    "No se encuentra la fila para actualizar. Algunos valores pueden haber cambiado desde la última lectura.");

bool EsIdentificadorSimple(const QString& nombre) {
    static const QRegularExpression simple(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return simple.match(nombre).hasMatch();
}

// A column name as it goes into the INSERT or UPDATE: bracketed only when it has to be.
QString NombreColumna(const QString& nombre) {
    if (EsIdentificadorSimple(nombre)) return nombre;
    QString n = nombre;
    n.replace(QStringLiteral("]"), QStringLiteral("]]"));
    return u'[' + n + u']';
}

// text and ntext cannot be compared with "=" on SQL Server: they are compared
// through a cast, so a table of long texts still finds its one row.
bool EsTextoLargo(int tipoADO) { return tipoADO == tipo::LongVarChar || tipoADO == tipo::LongVarWChar; }

// A table name as it goes into the UPDATE or DELETE: each part bracketed when it has to be.
QString NombreTabla(const QString& tabla) {
    QStringList partes = tabla.split(u'.');
    for (QString& parte : partes) parte = NombreColumna(parte);
    return partes.join(u'.');
}

const QString kTextoVariasFilas = QStringLiteral(
    "La información de la columna clave es insuficiente o incorrecta: la operación afectaría a %1 filas de "
    "la "
    "tabla %2 y no se cambió ninguna.");

}  // namespace

QString TablaBaseDeConsulta(const QString& sql) {
    const qsizetype n = sql.size();
    int profundidad = 0;
    qsizetype i = 0;
    qsizetype inicio = -1;
    while (i < n) {
        const QChar c = sql.at(i);
        if (c == u'\'') {  // string literal, '' inside
            ++i;
            while (i < n) {
                if (sql.at(i) == u'\'') {
                    if (i + 1 < n && sql.at(i + 1) == u'\'') {
                        i += 2;
                        continue;
                    }
                    break;
                }
                ++i;
            }
            ++i;
            continue;
        }
        if (c == u'[') {
            while (i < n && sql.at(i) != u']') ++i;
            ++i;
            continue;
        }
        if (c == u'-' && i + 1 < n && sql.at(i + 1) == u'-') {
            while (i < n && sql.at(i) != u'\n') ++i;
            continue;
        }
        if (c == u'(') ++profundidad;
        if (c == u')') --profundidad;
        if (profundidad == 0 && (c == u'f' || c == u'F') && sql.mid(i, 4).compare(QLatin1String("FROM"), Qt::CaseInsensitive) == 0) {
            const bool antesLibre = i == 0 || !(sql.at(i - 1).isLetterOrNumber() || sql.at(i - 1) == u'_');
            const bool despuesLibre = i + 4 >= n || !(sql.at(i + 4).isLetterOrNumber() || sql.at(i + 4) == u'_');
            if (antesLibre && despuesLibre) {
                inicio = i + 4;
                break;
            }
        }
        ++i;
    }
    if (inicio < 0) return QString();
    i = inicio;
    while (i < n && sql.at(i).isSpace()) ++i;
    // The name: parts separated by dots, each a plain word or a [bracketed] name.
    QStringList partes;
    QString parte;
    while (i < n) {
        const QChar c = sql.at(i);
        if (c == u'[') {
            ++i;
            while (i < n && sql.at(i) != u']') parte += sql.at(i++);
            ++i;
            continue;
        }
        if (c == u'.') {
            partes << parte;
            parte.clear();
            ++i;
            continue;
        }
        if (c.isLetterOrNumber() || c == u'_' || c == u'#' || c == u'@' || c == u'$') {
            parte += c;
            ++i;
            continue;
        }
        break;
    }
    partes << parte;
    // "dbo.T" is T; "BASE.dbo.T" keeps its database.
    if (partes.size() == 2 && partes[0].compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0) return partes[1];
    if (partes.size() == 3 && partes[1].compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0)
        return partes[0] + QStringLiteral(".dbo.") + partes[2];
    return partes.join(u'.');
}

Recordset::Recordset() = default;

Recordset::~Recordset() = default;

namespace {

// Hash of a name with letters folded, so "Campo" and "CAMPO" hash alike.
quint32 HashPlegado(const QString& nombre) {
    quint32 h = 2166136261u;
    for (const QChar c : nombre) {
        char16_t u = c.unicode();
        if (u < 0x80) {
            if (u >= u'A' && u <= u'Z') u = static_cast<char16_t>(u + 32);
        } else {
            u = c.toCaseFolded().unicode();
        }
        h = (h ^ u) * 16777619u;
    }
    return h;
}

}  // namespace

void Recordset::IndexarCampos() {
    plegados_.clear();
    plegados_.reserve(resultado_.columnas.size());
    for (const ColumnaResultado& c : resultado_.columnas) plegados_.push_back(HashPlegado(c.nombre));
}

std::unique_ptr<Recordset> Recordset::DesdeResultado(ResultadoSentencia resultado, Conexion* conexion,
                                                     const QString& fuente) {
    auto rs = std::make_unique<Recordset>();
    rs->resultado_ = std::move(resultado);
    rs->resultado_.tieneFilas = true;
    rs->conexion_ = conexion;
    rs->fuente_ = fuente;
    rs->abierto_ = true;
    rs->posicion_ = 0;
    rs->IndexarCampos();
    return rs;
}

void Recordset::Open(const QString& fuente, Conexion* conexion, int tipoCursor, int tipoBloqueo, int opciones) {
    if (abierto_) throw KvExcepcion(adoerr::ObjetoAbierto, kTextoAbierto, kOrigenRecordset);
    // A closed connection cannot be used (3709), which is what the lost-connection
    // recovery of the callers looks for; 3704 is for this recordset being closed.
    if (!conexion || conexion->State() != ado::Abierto)
        throw KvExcepcion(adoerr::ConexionNoUsable, kTextoConexionNoUsable, kOrigenRecordset);
    QString sql = fuente;
    // adCmdTable / adCmdTableDirect: the source is a table name.
    if ((opciones == 2 || opciones == 512) && !fuente.trimmed().contains(u' '))
        sql = QStringLiteral("SELECT * FROM ") + fuente.trimmed();
    std::optional<ResultadoSentencia> resultado = conexion->AbrirConsulta(sql);
    fuente_ = sql;
    conexion_ = conexion;
    tipoCursor_ = tipoCursor;
    tipoBloqueo_ = tipoBloqueo;
    editando_ = nueva_ = false;
    pendiente_.clear();
    cambiado_.clear();
    if (!resultado) {
        // A statement that returns no rows leaves the recordset closed, as ADO does.
        resultado_ = ResultadoSentencia{};
        plegados_.clear();
        return;
    }
    resultado_ = std::move(*resultado);
    resultado_.tieneFilas = true;
    posicion_ = 0;
    IndexarCampos();
    abierto_ = true;
}

void Recordset::Close() {
    Comprobar();
    abierto_ = false;
    resultado_ = ResultadoSentencia{};
    plegados_.clear();
    posicion_ = 0;
    editando_ = nueva_ = false;
    pendiente_.clear();
    cambiado_.clear();
}

void Recordset::Comprobar() const {
    if (!abierto_) throw KvExcepcion(adoerr::ObjetoCerrado, kTextoCerrado, kOrigenRecordset);
}

void Recordset::ComprobarFila() const {
    Comprobar();
    if (posicion_ < 0 || posicion_ >= static_cast<qint64>(resultado_.filas.size()))
        throw KvExcepcion(adoerr::SinRegistroActual, kTextoSinRegistro, kOrigenRecordset);
}

bool Recordset::BOF() const {
    Comprobar();
    return resultado_.filas.empty() || posicion_ < 0;
}

bool Recordset::EOF_() const {
    Comprobar();
    return resultado_.filas.empty() || posicion_ >= static_cast<qint64>(resultado_.filas.size());
}

qint64 Recordset::RecordCount() const {
    Comprobar();
    return static_cast<qint64>(resultado_.filas.size());
}

void Recordset::MoveFirst() {
    Comprobar();
    if (editando_) Update();
    if (resultado_.filas.empty()) throw KvExcepcion(adoerr::SinRegistroActual, kTextoSinRegistro, kOrigenRecordset);
    posicion_ = 0;
}

void Recordset::MoveLast() {
    Comprobar();
    if (editando_) Update();
    if (resultado_.filas.empty()) throw KvExcepcion(adoerr::SinRegistroActual, kTextoSinRegistro, kOrigenRecordset);
    posicion_ = static_cast<qint64>(resultado_.filas.size()) - 1;
}

void Recordset::MoveNext() {
    if (!abierto_) Comprobar();
    if (editando_) Update();
    if (posicion_ >= static_cast<qint64>(resultado_.filas.size()))
        throw KvExcepcion(adoerr::SinRegistroActual, kTextoSinRegistro, kOrigenRecordset);
    ++posicion_;
}

void Recordset::MovePrevious() {
    Comprobar();
    if (editando_) Update();
    if (posicion_ < 0 || resultado_.filas.empty())
        throw KvExcepcion(adoerr::SinRegistroActual, kTextoSinRegistro, kOrigenRecordset);
    --posicion_;
}

void Recordset::Move(qint64 filas) {
    Comprobar();
    if (editando_) Update();
    if (filas == 0) return;
    const qint64 total = static_cast<qint64>(resultado_.filas.size());
    if ((filas > 0 && posicion_ >= total) || (filas < 0 && posicion_ < 0))
        throw KvExcepcion(adoerr::SinRegistroActual, kTextoSinRegistro, kOrigenRecordset);
    posicion_ = std::clamp<qint64>(posicion_ + filas, -1, total);
}

void Recordset::SetAbsolutePosition(qint64 posicion) {
    Comprobar();
    if (posicion < 1 || posicion > static_cast<qint64>(resultado_.filas.size()))
        throw KvExcepcion(adoerr::ArgumentoIncorrecto, kTextoArgumento, kOrigenRecordset);
    if (editando_) Update();
    posicion_ = posicion - 1;
}

const ColumnaResultado& Recordset::Field(int indice) const {
    Comprobar();
    if (indice < 0 || indice >= FieldCount())
        throw KvExcepcion(adoerr::ElementoNoEncontrado, kTextoSinCampo, kOrigenRecordset);
    return resultado_.columnas[static_cast<size_t>(indice)];
}

int Recordset::IndiceCampo(const QString& nombre) const {
    const quint32 h = HashPlegado(nombre);
    // With two columns of one name the first one answers, as in ADO.
    for (size_t i = 0; i < plegados_.size(); ++i)
        if (plegados_[i] == h) {
            const QString& columna = resultado_.columnas[i].nombre;
            if (columna == nombre || columna.compare(nombre, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
        }
    return -1;
}

QVariant Recordset::Valor(const QString& nombre) const {
    Comprobar();
    const int indice = IndiceCampo(nombre);
    if (indice < 0) throw KvExcepcion(adoerr::ElementoNoEncontrado, kTextoSinCampo, kOrigenRecordset);
    return Valor(indice);
}

QVariant Recordset::Valor(int indice) const {
    if (!abierto_) Comprobar();
    if (static_cast<unsigned>(indice) >= resultado_.columnas.size())
        throw KvExcepcion(adoerr::ElementoNoEncontrado, kTextoSinCampo, kOrigenRecordset);
    const size_t i = static_cast<size_t>(indice);
    if (editando_) {
        if (cambiado_[i]) return pendiente_[i];
        if (nueva_) return QVariant();
    }
    if (static_cast<quint64>(posicion_) >= resultado_.filas.size())
        throw KvExcepcion(adoerr::SinRegistroActual, kTextoSinRegistro, kOrigenRecordset);
    return resultado_.filas[static_cast<size_t>(posicion_)][i];
}

void Recordset::ComprobarActualizable() const {
    Comprobar();
    if (tipoBloqueo_ == ado::SoloLectura)
        throw KvExcepcion(adoerr::NoAdmitido, kTextoSoloLectura, kOrigenRecordset);
}

void Recordset::EmpezarEdicion() {
    pendiente_.assign(resultado_.columnas.size(), QVariant());
    cambiado_.assign(resultado_.columnas.size(), false);
    editando_ = true;
}

void Recordset::Asignar(const QString& nombre, const QVariant& valor) {
    ComprobarActualizable();
    const int indice = IndiceCampo(nombre);
    if (indice < 0) throw KvExcepcion(adoerr::ElementoNoEncontrado, kTextoSinCampo, kOrigenRecordset);
    if (!editando_) {
        ComprobarFila();
        EmpezarEdicion();
        nueva_ = false;
    }
    pendiente_[static_cast<size_t>(indice)] = valor;
    cambiado_[static_cast<size_t>(indice)] = true;
}

void Recordset::AddNew() {
    ComprobarActualizable();
    if (editando_) Update();
    EmpezarEdicion();
    nueva_ = true;
}

void Recordset::CancelUpdate() {
    Comprobar();
    editando_ = nueva_ = false;
    pendiente_.clear();
    cambiado_.clear();
}

QString Recordset::TablaBase() const {
    QString tabla = TablaBaseDeConsulta(fuente_);
    if (tabla.isEmpty()) {
        for (const ColumnaResultado& c : resultado_.columnas)
            if (!c.tablaBase.isEmpty()) return c.tablaBase;
    }
    return tabla;
}

void Recordset::Update() {
    Comprobar();
    if (!editando_) return;
    if (!conexion_) throw KvExcepcion(adoerr::ConexionNoUsable, kTextoSinTabla, kOrigenRecordset);
    const QString tabla = TablaBase();
    if (tabla.isEmpty()) throw KvExcepcion(adoerr::NoAdmitido, kTextoSinTabla, kOrigenRecordset);

    std::vector<QVariant> parametros;
    QString sql;
    if (nueva_) {
        QStringList columnas, marcas;
        for (size_t i = 0; i < cambiado_.size(); ++i) {
            if (!cambiado_[i]) continue;
            columnas << NombreColumna(resultado_.columnas[i].nombre);
            marcas << QStringLiteral("?");
            parametros.push_back(pendiente_[i]);
        }
        sql = columnas.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(NombreTabla(tabla))
                                 : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                       .arg(NombreTabla(tabla), columnas.join(QStringLiteral(", ")),
                                            marcas.join(QStringLiteral(", ")));
        conexion_->EjecutarConParametros(sql, parametros);
        std::vector<QVariant> fila(resultado_.columnas.size());
        for (size_t i = 0; i < fila.size(); ++i)
            if (cambiado_[i]) fila[i] = pendiente_[i];
        resultado_.filas.push_back(std::move(fila));
        posicion_ = static_cast<qint64>(resultado_.filas.size()) - 1;
    } else {
        ComprobarFila();
        std::vector<QVariant>& fila = resultado_.filas[static_cast<size_t>(posicion_)];
        QStringList asignaciones;
        for (size_t i = 0; i < cambiado_.size(); ++i) {
            if (!cambiado_[i]) continue;
            asignaciones << NombreColumna(resultado_.columnas[i].nombre) + QStringLiteral(" = ?");
            parametros.push_back(pendiente_[i]);
        }
        if (!asignaciones.isEmpty()) {
            sql = QStringLiteral("UPDATE %1 SET %2")
                      .arg(NombreTabla(tabla), asignaciones.join(QStringLiteral(", ")));
            EscribirUnaFila(tabla, sql, parametros);
            for (size_t i = 0; i < cambiado_.size(); ++i)
                if (cambiado_[i]) fila[i] = pendiente_[i];
        }
    }
    editando_ = nueva_ = false;
    pendiente_.clear();
    cambiado_.clear();
}

QString Recordset::CondicionFila(const QString& tabla, std::vector<QVariant>& parametros) const {
    const std::vector<QVariant>& fila = resultado_.filas[static_cast<size_t>(posicion_)];
    // By the primary key when the recordset carries every key column; otherwise
    // by every column (NULL-aware). Either way the count is checked when it runs.
    std::vector<int> claves;
    for (const QString& clave : conexion_->ClavePrimaria(tabla)) {
        const int indice = IndiceCampo(clave);
        if (indice < 0) {
            claves.clear();
            break;
        }
        claves.push_back(indice);
    }
    if (claves.empty())
        for (int i = 0; i < FieldCount(); ++i) claves.push_back(i);
    QStringList condiciones;
    for (int indice : claves) {
        const size_t i = static_cast<size_t>(indice);
        const QString nombre = NombreColumna(resultado_.columnas[i].nombre);
        if (fila[i].isNull()) {
            condiciones << nombre + QStringLiteral(" IS NULL");
        } else if (EsTextoLargo(resultado_.columnas[i].tipo)) {
            condiciones << QStringLiteral("CAST(") + nombre + QStringLiteral(" AS nvarchar(max)) = ?");
            parametros.push_back(fila[i]);
        } else {
            condiciones << nombre + QStringLiteral(" = ?");
            parametros.push_back(fila[i]);
        }
    }
    return condiciones.join(QStringLiteral(" AND "));
}

void Recordset::EscribirUnaFila(const QString& tabla, const QString& sentencia,
                                std::vector<QVariant> parametros) {
    std::vector<QVariant> parametrosFila;
    const QString condicion = CondicionFila(tabla, parametrosFila);
    // Counted first, so that a row that cannot be told apart from others is never written.
    const ResultadoSentencia cuenta = conexion_->EjecutarConParametros(
        QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2").arg(NombreTabla(tabla), condicion),
        parametrosFila);
    const qint64 halladas =
        cuenta.filas.empty() || cuenta.filas[0].empty() ? 0 : cuenta.filas[0][0].toLongLong();
    auto comprobar = [&](qint64 filas) {
        if (filas == 1) return;
        if (filas == 0) throw KvExcepcion(adoerr::FilaNoEncontrada, kTextoFilaNoEncontrada, kOrigenRecordset);
        throw KvExcepcion(adoerr::FalloNoEspecificado, kTextoVariasFilas.arg(filas).arg(tabla),
                          kOrigenRecordset);
    };
    comprobar(halladas);
    for (QVariant& p : parametrosFila) parametros.push_back(std::move(p));
    const QString sql = sentencia + QStringLiteral(" WHERE ") + condicion;
    // In a transaction of its own, so that a count other than one is undone.
    bool propia = !conexion_->EnTransaccion();
    if (propia) {
        // A transaction the caller opened with its own statement is theirs to end:
        // the count checked above then has to do.
        try {
            conexion_->BeginTrans();
        } catch (const KvExcepcion&) {
            propia = false;
        }
    }
    try {
        const ResultadoSentencia r = conexion_->EjecutarConParametros(sql, parametros);
        comprobar(r.filasAfectadas);
    } catch (...) {
        if (propia) {
            try {
                conexion_->RollbackTrans();
            } catch (...) {
            }
        }
        throw;
    }
    if (propia) conexion_->CommitTrans();
}

void Recordset::Delete() {
    Comprobar();
    if (tipoBloqueo_ == ado::SoloLectura)
        throw KvExcepcion(adoerr::NoAdmitido, kTextoSoloLectura, kOrigenRecordset);
    if (editando_) CancelUpdate();
    ComprobarFila();
    if (!conexion_) throw KvExcepcion(adoerr::ConexionNoUsable, kTextoSinTabla, kOrigenRecordset);
    const QString tabla = TablaBase();
    if (tabla.isEmpty()) throw KvExcepcion(adoerr::NoAdmitido, kTextoSinTabla, kOrigenRecordset);
    EscribirUnaFila(tabla, QStringLiteral("DELETE FROM %1").arg(NombreTabla(tabla)), {});
    resultado_.filas.erase(resultado_.filas.begin() + posicion_);
}

}  // namespace kv::db
