#include "db/ProveedorOdbc.h"

#include "db/Conexion.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <QDate>
#include <QDateTime>
#include <QMutex>
#include <QRegularExpression>
#include <QTime>
#include <algorithm>

namespace kv::db {

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC with 2-byte SQLWCHAR expected");

SQLWCHAR* W(const QString& s) { return const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(s.utf16())); }

QString DesdeW(const SQLWCHAR* texto, qsizetype caracteres) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(texto), caracteres);
}

QString Entorno(const char* variable, const QString& porDefecto) {
    const QString v = qEnvironmentVariable(variable).trimmed();
    return v.isEmpty() ? porDefecto : v;
}

// Drivers prefix their messages with "[vendor][driver][server]"; ADO's descriptions carry none.
QString SinPrefijos(QString texto) {
    static const QRegularExpression prefijos(QStringLiteral("^(\\s*\\[[^\\]]*\\])+\\s*"));
    texto.remove(prefijos);
    return texto.trimmed();
}

// FreeTDS gives a SQL Server error the SQL state of its severity class (42000 for a
// failed login, for instance) where SQL Server's own providers give the state of the
// error itself; the state decides the ADO number, so it is set as they set it.
QString EstadoDeSqlServer(qint32 nativo, const QString& estado) {
    switch (nativo) {
        case 18456: return QStringLiteral("28000");
        case 4060: return QStringLiteral("08004");
        case 208: return QStringLiteral("42S02");
        case 207: return QStringLiteral("42S22");
        case 515:
        case 547:
        case 2601:
        case 2627: return QStringLiteral("23000");
        case 8134: return QStringLiteral("22012");
        case 8152: return QStringLiteral("22001");
        default: return estado;
    }
}

std::vector<ErrorBD> Diagnosticos(SQLSMALLINT tipoHandle, SQLHANDLE handle, const QString& origen) {
    std::vector<ErrorBD> errores;
    if (!handle) return errores;
    for (SQLSMALLINT registro = 1; registro < 100; ++registro) {
        SQLWCHAR estado[6 + 1] = {};
        SQLINTEGER nativo = 0;
        SQLWCHAR mensaje[2048] = {};
        SQLSMALLINT largo = 0;
        const SQLRETURN rc = SQLGetDiagRecW(tipoHandle, handle, registro, estado, &nativo, mensaje,
                                            static_cast<SQLSMALLINT>(std::size(mensaje)), &largo);
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) break;
        ErrorBD e;
        e.estadoSQL = DesdeW(estado, 5);
        e.errorNativo = nativo;
        const QString texto = DesdeW(mensaje, std::min<qsizetype>(largo, std::size(mensaje) - 1));
        e.descripcion = SinPrefijos(texto);
        // A message the server sent (FreeTDS marks it "[SQL Server]"), not one of the driver's own.
        if (texto.contains(QLatin1String("[SQL Server]"))) e.estadoSQL = EstadoDeSqlServer(nativo, e.estadoSQL);
        e.origen = origen;
        errores.push_back(e);
    }
    return errores;
}

ErrorBD ErrorSimple(const QString& descripcion, const QString& origen) {
    ErrorBD e;
    e.numero = 0;
    e.estadoSQL = QStringLiteral("HY000");
    e.descripcion = descripcion;
    e.origen = origen;
    return e;
}

bool EsPerdidaDeConexion(const std::vector<ErrorBD>& errores) {
    return std::any_of(errores.begin(), errores.end(),
                       [](const ErrorBD& e) { return e.estadoSQL.startsWith(QLatin1String("08")); });
}

// The process's ODBC environment, made once.
SQLHENV EntornoOdbc() {
    static SQLHENV entorno = [] {
        SQLHENV h = SQL_NULL_HENV;
        if (SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h) == SQL_SUCCESS)
            SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        return h;
    }();
    return entorno;
}

// ADO type of a result column.
int TipoADO(SQLSMALLINT tipoSQL) {
    switch (tipoSQL) {
        case SQL_SMALLINT: return tipo::SmallInt;
        case SQL_INTEGER: return tipo::Integer;
        case SQL_TINYINT: return tipo::TinyInt;
        case SQL_BIGINT: return tipo::BigInt;
        case SQL_REAL: return tipo::Single;
        case SQL_FLOAT:
        case SQL_DOUBLE: return tipo::Double;
        case SQL_DECIMAL:
        case SQL_NUMERIC: return tipo::Numeric;
        case SQL_BIT: return tipo::Boolean;
        case SQL_TYPE_DATE:
        case SQL_DATE: return tipo::Date;
        case SQL_TYPE_TIMESTAMP:
        case SQL_TIMESTAMP: return tipo::DBTimeStamp;
        case SQL_CHAR: return tipo::Char;
        case SQL_VARCHAR: return tipo::VarChar;
        case SQL_LONGVARCHAR: return tipo::LongVarChar;
        case SQL_WCHAR: return tipo::WChar;
        case SQL_WVARCHAR: return tipo::VarWChar;
        case SQL_WLONGVARCHAR: return tipo::LongVarWChar;
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY: return tipo::VarBinary;
        default: return tipo::VarWChar;
    }
}

// ADO type of a column in the columns schema rowset (base types: 129 text, 130 Unicode text, 128 binary).
int TipoADOEsquema(SQLSMALLINT tipoSQL, const QString& nombreTipo) {
    const QString n = nombreTipo.toLower();
    if (n == QLatin1String("money") || n == QLatin1String("smallmoney")) return tipo::Currency;
    switch (tipoSQL) {
        case SQL_CHAR:
        case SQL_VARCHAR:
        case SQL_LONGVARCHAR: return tipo::Char;
        case SQL_WCHAR:
        case SQL_WVARCHAR:
        case SQL_WLONGVARCHAR: return tipo::WChar;
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY: return 128;
        default: return TipoADO(tipoSQL);
    }
}

// A money amount as SQL Server's drivers give it in text ("-922337203685477.5808"),
// as the embedded server hands it over: a double while that holds the count of
// ten-thousandths exactly (up to 2^52), the exact text with four decimals beyond,
// where a double would move it by up to six hundredths. Invalid when it is not such an amount.
QVariant DineroDesdeTexto(const QString& original) {
    QString texto = original.trimmed();
    const bool negativo = texto.startsWith(u'-');
    if (negativo || texto.startsWith(u'+')) texto.remove(0, 1);
    const qsizetype punto = texto.indexOf(u'.');
    const QString entero = punto < 0 ? texto : texto.left(punto);
    QString fraccion = punto < 0 ? QString() : texto.mid(punto + 1);
    if (fraccion.size() > 4 || entero.size() > 15 || (entero.isEmpty() && fraccion.isEmpty())) return {};
    for (const QChar ch : entero + fraccion)
        if (!ch.isDigit() || ch.unicode() > 127) return {};
    fraccion = fraccion.leftJustified(4, u'0');
    // The magnitude, unsigned: -922337203685477.5808 has no positive twin in 64 bits.
    const quint64 unidades = entero.isEmpty() ? 0 : entero.toULongLong();
    const quint64 diezmilesimas = unidades * 10000 + fraccion.toULongLong();
    const QString canonico = (negativo && diezmilesimas != 0 ? QStringLiteral("-") : QString()) +
                             QString::number(unidades) + u'.' + fraccion;
    if (diezmilesimas <= (quint64{1} << 52)) return QVariant(canonico.toDouble());
    return QVariant(canonico);
}

bool EsTexto(SQLSMALLINT t) {
    return t == SQL_CHAR || t == SQL_VARCHAR || t == SQL_LONGVARCHAR || t == SQL_WCHAR || t == SQL_WVARCHAR ||
           t == SQL_WLONGVARCHAR;
}

// The column type LeerValor is told for money (not an ODBC type code).
constexpr SQLSMALLINT kTipoDinero = -32000;

// One statement handle, freed on every way out.
class Sentencia {
public:
    explicit Sentencia(SQLHDBC conexion) { SQLAllocHandle(SQL_HANDLE_STMT, conexion, &h_); }
    ~Sentencia() {
        if (h_) SQLFreeHandle(SQL_HANDLE_STMT, h_);
    }
    Sentencia(const Sentencia&) = delete;
    Sentencia& operator=(const Sentencia&) = delete;
    SQLHSTMT h() const { return h_; }

private:
    SQLHSTMT h_ = SQL_NULL_HSTMT;
};

// Storage of one bound parameter; lives until the statement has run.
struct Parametro {
    QString texto;
    QByteArray binario;
    qint64 entero = 0;
    double real = 0;
    unsigned char bit = 0;
    SQL_TIMESTAMP_STRUCT fecha{};
    SQLLEN indicador = 0;
};

class SesionOdbc : public Sesion {
public:
    SesionOdbc(SQLHDBC conexion, QString origen, QString base) : dbc_(conexion), origen_(std::move(origen)), base_(std::move(base)) {}
    ~SesionOdbc() override {
        // Closing with a transaction open undoes it, as ADO does; a driver refuses to
        // disconnect with one pending.
        if (enTransaccion_) SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
        SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    }

    std::vector<ResultadoSentencia> Ejecutar(const QString& lote, const std::vector<QVariant>& parametros,
                                             int tiempoEspera) override {
        Sentencia s(dbc_);
        if (!s.h()) throw ErrorProveedor(Diagnosticos(SQL_HANDLE_DBC, dbc_, origen_));
        if (tiempoEspera > 0)
            SQLSetStmtAttr(s.h(), SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(tiempoEspera)), 0);
        std::vector<Parametro> almacen;
        SQLRETURN rc;
        if (parametros.empty()) {
            rc = SQLExecDirectW(s.h(), W(lote), static_cast<SQLINTEGER>(lote.size()));
        } else {
            rc = SQLPrepareW(s.h(), W(lote), static_cast<SQLINTEGER>(lote.size()));
            if (rc == SQL_ERROR) return {ResultadoError(s.h())};
            almacen.resize(parametros.size());
            for (size_t i = 0; i < parametros.size(); ++i) {
                rc = Enlazar(s.h(), static_cast<SQLUSMALLINT>(i + 1), parametros[i], almacen[i]);
                if (rc == SQL_ERROR) return {ResultadoError(s.h())};
            }
            rc = SQLExecute(s.h());
        }
        std::vector<ResultadoSentencia> resultados;
        for (int vuelta = 0; vuelta < 100000; ++vuelta) {
            if (rc == SQL_ERROR) {
                std::vector<ErrorBD> errores = Diagnosticos(SQL_HANDLE_STMT, s.h(), origen_);
                if (EsPerdidaDeConexion(errores)) throw ErrorProveedor(errores);
                if (vuelta > 0 && (errores.empty() || errores.front().estadoSQL == QLatin1String("HY010"))) break;
                // A driver that keeps answering the same error is not moving on through the batch.
                if (!resultados.empty() && resultados.back().error && !errores.empty() &&
                    resultados.back().error->estadoSQL == errores.front().estadoSQL &&
                    resultados.back().error->errorNativo == errores.front().errorNativo &&
                    resultados.back().error->descripcion == errores.front().descripcion)
                    break;
                ResultadoSentencia r;
                r.error = errores.empty() ? ErrorSimple(QStringLiteral("Error no especificado del controlador ODBC."), origen_)
                                          : errores.front();
                resultados.push_back(std::move(r));
            } else if (rc == SQL_INVALID_HANDLE) {
                throw ErrorProveedor(ErrorSimple(QStringLiteral("Identificador ODBC no válido."), origen_));
            } else if (rc != SQL_NO_DATA || vuelta == 0) {
                resultados.push_back(LeerResultado(s.h(), rc == SQL_NO_DATA));
            }
            if (rc == SQL_NO_DATA && vuelta > 0) break;
            rc = SQLMoreResults(s.h());
            if (rc == SQL_NO_DATA) break;
        }
        return resultados;
    }

    QString BaseActual() override {
        SQLWCHAR texto[512] = {};
        SQLINTEGER largo = 0;
        const SQLRETURN rc = SQLGetConnectAttrW(dbc_, SQL_ATTR_CURRENT_CATALOG, texto, sizeof(texto), &largo);
        if ((rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) && largo > 0)
            return DesdeW(texto, std::min<qsizetype>(largo / static_cast<SQLINTEGER>(sizeof(SQLWCHAR)), 511));
        return base_;
    }

    void UsarBase(const QString& base) override {
        const SQLRETURN rc = SQLSetConnectAttrW(dbc_, SQL_ATTR_CURRENT_CATALOG, W(base),
                                                static_cast<SQLINTEGER>(base.size() * sizeof(SQLWCHAR)));
        if (rc == SQL_ERROR) throw ErrorProveedor(Diagnosticos(SQL_HANDLE_DBC, dbc_, origen_));
        base_ = base;
    }

    void IniciarTransaccion() override {
        Comprobar(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0));
        enTransaccion_ = true;
    }
    void ConfirmarTransaccion() override { Terminar(SQL_COMMIT); }
    void DeshacerTransaccion() override { Terminar(SQL_ROLLBACK); }

    void NivelAislamiento(int nivelADO) override {
        SQLULEN nivel = SQL_TXN_READ_COMMITTED;
        if (nivelADO == 256) nivel = SQL_TXN_READ_UNCOMMITTED;
        else if (nivelADO == 65536) nivel = SQL_TXN_REPEATABLE_READ;
        else if (nivelADO == 1048576) nivel = SQL_TXN_SERIALIZABLE;
        // A driver without isolation levels keeps its own; that is not an error for the caller.
        SQLSetConnectAttr(dbc_, SQL_ATTR_TXN_ISOLATION, reinterpret_cast<SQLPOINTER>(nivel), 0);
    }

    ResultadoSentencia EsquemaTablas(const QString& catalogo, const QString& tabla) override {
        Sentencia s(dbc_);
        const QString tipos = QStringLiteral("'TABLE','VIEW'");
        SQLRETURN rc = SQLTablesW(s.h(), catalogo.isEmpty() ? nullptr : W(catalogo), catalogo.isEmpty() ? 0 : SQL_NTS,
                                  nullptr, 0, tabla.isEmpty() ? nullptr : W(tabla), tabla.isEmpty() ? 0 : SQL_NTS,
                                  W(tipos), SQL_NTS);
        if (rc == SQL_ERROR) throw ErrorProveedor(Diagnosticos(SQL_HANDLE_STMT, s.h(), origen_));
        const ResultadoSentencia odbc = LeerResultado(s.h(), false);
        if (odbc.error) throw ErrorProveedor(*odbc.error);
        const QString actual = catalogo.isEmpty() ? BaseActual() : catalogo;
        ResultadoSentencia r;
        r.tieneFilas = true;
        for (const char* nombre : {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE", "DESCRIPTION"})
            r.columnas.push_back(ColumnaResultado{QString::fromLatin1(nombre), tipo::VarWChar, 128, QString()});
        for (const auto& f : odbc.filas) {
            if (f.size() < 5) continue;
            const QString cat = f[0].toString(), esquema = f[1].toString(), nombre = f[2].toString();
            const QString tipoTabla = f[3].toString().trimmed().toUpper();
            if (tipoTabla != QLatin1String("TABLE") && tipoTabla != QLatin1String("VIEW")) continue;
            if (!cat.isEmpty() && !actual.isEmpty() && cat.compare(actual, Qt::CaseInsensitive) != 0) continue;
            if (EsInterna(esquema, nombre)) continue;
            if (!tabla.isEmpty() && nombre.compare(tabla, Qt::CaseInsensitive) != 0) continue;
            r.filas.push_back({f[0], f[1], f[2], tipoTabla, f[4]});
        }
        return r;
    }

    ResultadoSentencia EsquemaColumnas(const QString& catalogo, const QString& tabla) override {
        Sentencia s(dbc_);
        SQLRETURN rc = SQLColumnsW(s.h(), catalogo.isEmpty() ? nullptr : W(catalogo), catalogo.isEmpty() ? 0 : SQL_NTS,
                                   nullptr, 0, tabla.isEmpty() ? nullptr : W(tabla), tabla.isEmpty() ? 0 : SQL_NTS,
                                   nullptr, 0);
        if (rc == SQL_ERROR) throw ErrorProveedor(Diagnosticos(SQL_HANDLE_STMT, s.h(), origen_));
        const ResultadoSentencia odbc = LeerResultado(s.h(), false);
        if (odbc.error) throw ErrorProveedor(*odbc.error);
        const QString actual = catalogo.isEmpty() ? BaseActual() : catalogo;
        ResultadoSentencia r;
        r.tieneFilas = true;
        const std::pair<const char*, int> columnas[] = {
            {"TABLE_CATALOG", tipo::VarWChar},      {"TABLE_SCHEMA", tipo::VarWChar},
            {"TABLE_NAME", tipo::VarWChar},         {"COLUMN_NAME", tipo::VarWChar},
            {"ORDINAL_POSITION", tipo::Integer},    {"COLUMN_HASDEFAULT", tipo::Boolean},
            {"COLUMN_DEFAULT", tipo::VarWChar},     {"IS_NULLABLE", tipo::Boolean},
            {"DATA_TYPE", tipo::SmallInt},          {"CHARACTER_MAXIMUM_LENGTH", tipo::Integer},
            {"NUMERIC_PRECISION", tipo::SmallInt},  {"NUMERIC_SCALE", tipo::SmallInt}};
        for (const auto& [nombre, t] : columnas)
            r.columnas.push_back(ColumnaResultado{QString::fromLatin1(nombre), t, 0, QString()});
        for (const auto& f : odbc.filas) {
            if (f.size() < 17) continue;
            const QString cat = f[0].toString(), esquema = f[1].toString(), nombreTabla = f[2].toString();
            if (!cat.isEmpty() && !actual.isEmpty() && cat.compare(actual, Qt::CaseInsensitive) != 0) continue;
            if (EsInterna(esquema, nombreTabla)) continue;
            if (!tabla.isEmpty() && nombreTabla.compare(tabla, Qt::CaseInsensitive) != 0) continue;
            const auto tipoSQL = static_cast<SQLSMALLINT>(f[4].toInt());
            const bool texto = EsTexto(tipoSQL);
            const QVariant defecto = f[12];
            QVariant precision, escala;
            if (!texto && tipoSQL != SQL_BIT && !f[6].isNull()) precision = f[6].toInt();
            if ((tipoSQL == SQL_DECIMAL || tipoSQL == SQL_NUMERIC) && !f[8].isNull()) escala = f[8].toInt();
            r.filas.push_back({f[0], f[1], f[2], f[3], f[16].toInt(), !defecto.isNull(), defecto,
                               f[10].toInt() != SQL_NO_NULLS, TipoADOEsquema(tipoSQL, f[5].toString()),
                               texto ? QVariant(f[6].toInt()) : QVariant(), precision, escala});
        }
        std::stable_sort(r.filas.begin(), r.filas.end(), [](const auto& a, const auto& b) {
            const int t = a[2].toString().compare(b[2].toString(), Qt::CaseInsensitive);
            return t != 0 ? t < 0 : a[4].toInt() < b[4].toInt();
        });
        return r;
    }

    QStringList ClavePrimaria(const QString& tabla) override {
        QStringList partes = tabla.split(u'.');
        const QString nombre = partes.takeLast();
        const QString catalogo = partes.size() >= 2 ? partes.front() : QString();
        const QString esquema = partes.isEmpty() ? QString() : partes.back();
        Sentencia s(dbc_);
        SQLRETURN rc = SQLPrimaryKeysW(s.h(), catalogo.isEmpty() ? nullptr : W(catalogo), catalogo.isEmpty() ? 0 : SQL_NTS,
                                       esquema.isEmpty() ? nullptr : W(esquema), esquema.isEmpty() ? 0 : SQL_NTS,
                                       W(nombre), SQL_NTS);
        if (rc == SQL_ERROR) throw ErrorProveedor(Diagnosticos(SQL_HANDLE_STMT, s.h(), origen_));
        const ResultadoSentencia odbc = LeerResultado(s.h(), false);
        if (odbc.error) throw ErrorProveedor(*odbc.error);
        std::vector<std::pair<int, QString>> claves;
        for (const auto& f : odbc.filas)
            if (f.size() >= 5) claves.emplace_back(f[4].toInt(), f[3].toString());
        std::sort(claves.begin(), claves.end());
        QStringList resultado;
        for (const auto& c : claves) resultado << c.second;
        return resultado;
    }

    QString Origen() const override { return origen_; }

private:
    static bool EsInterna(const QString& esquema, const QString& nombre) {
        return esquema.compare(QLatin1String("sys"), Qt::CaseInsensitive) == 0 ||
               esquema.compare(QLatin1String("INFORMATION_SCHEMA"), Qt::CaseInsensitive) == 0 ||
               nombre.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive) ||
               nombre.compare(QLatin1String("sysdiagrams"), Qt::CaseInsensitive) == 0 ||
               nombre.compare(QLatin1String("dtproperties"), Qt::CaseInsensitive) == 0;
    }

    void Comprobar(SQLRETURN rc) {
        if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE) throw ErrorProveedor(Diagnosticos(SQL_HANDLE_DBC, dbc_, origen_));
    }

    void Terminar(SQLSMALLINT como) {
        const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_, como);
        enTransaccion_ = false;
        // Back to one transaction per statement whatever the outcome.
        SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
        Comprobar(rc);
    }

    ResultadoSentencia ResultadoError(SQLHSTMT s) {
        std::vector<ErrorBD> errores = Diagnosticos(SQL_HANDLE_STMT, s, origen_);
        if (EsPerdidaDeConexion(errores)) throw ErrorProveedor(errores);
        ResultadoSentencia r;
        r.error = errores.empty() ? ErrorSimple(QStringLiteral("Error no especificado del controlador ODBC."), origen_)
                                  : errores.front();
        return r;
    }

    static SQLRETURN Enlazar(SQLHSTMT s, SQLUSMALLINT n, const QVariant& v, Parametro& p) {
        if (!v.isValid() || v.isNull()) {
            p.indicador = SQL_NULL_DATA;
            return SQLBindParameter(s, n, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 1, 0, nullptr, 0, &p.indicador);
        }
        switch (v.typeId()) {
            case QMetaType::Bool:
                p.bit = v.toBool() ? 1 : 0;
                return SQLBindParameter(s, n, SQL_PARAM_INPUT, SQL_C_BIT, SQL_BIT, 1, 0, &p.bit, 0, nullptr);
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::Short:
            case QMetaType::UShort:
            case QMetaType::Char:
            case QMetaType::UChar:
            case QMetaType::Long:
                p.entero = v.toLongLong();
                return SQLBindParameter(s, n, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 19, 0, &p.entero, 0, nullptr);
            case QMetaType::Double:
            case QMetaType::Float:
            case QMetaType::ULongLong:
                p.real = v.toDouble();
                return SQLBindParameter(s, n, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 15, 0, &p.real, 0, nullptr);
            case QMetaType::QDate:
            case QMetaType::QDateTime: {
                const QDateTime f = v.typeId() == QMetaType::QDate ? v.toDate().startOfDay() : v.toDateTime();
                p.fecha.year = static_cast<SQLSMALLINT>(f.date().year());
                p.fecha.month = static_cast<SQLUSMALLINT>(f.date().month());
                p.fecha.day = static_cast<SQLUSMALLINT>(f.date().day());
                p.fecha.hour = static_cast<SQLUSMALLINT>(f.time().hour());
                p.fecha.minute = static_cast<SQLUSMALLINT>(f.time().minute());
                p.fecha.second = static_cast<SQLUSMALLINT>(f.time().second());
                p.fecha.fraction = static_cast<SQLUINTEGER>(f.time().msec()) * 1000000u;
                return SQLBindParameter(s, n, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3, &p.fecha,
                                        sizeof(p.fecha), nullptr);
            }
            case QMetaType::QByteArray:
                p.binario = v.toByteArray();
                p.indicador = p.binario.size();
                return SQLBindParameter(s, n, SQL_PARAM_INPUT, SQL_C_BINARY,
                                        p.binario.size() > 8000 ? SQL_LONGVARBINARY : SQL_VARBINARY,
                                        static_cast<SQLULEN>(std::max<qsizetype>(p.binario.size(), 1)), 0,
                                        p.binario.data(), p.binario.size(), &p.indicador);
            default:
                p.texto = v.toString();
                p.indicador = static_cast<SQLLEN>(p.texto.size() * sizeof(SQLWCHAR));
                return SQLBindParameter(s, n, SQL_PARAM_INPUT, SQL_C_WCHAR,
                                        p.texto.size() > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR,
                                        static_cast<SQLULEN>(std::max<qsizetype>(p.texto.size(), 1)), 0, W(p.texto),
                                        p.indicador, &p.indicador);
        }
    }

    // Reads the current result of the statement: its rows, or the records it affected.
    ResultadoSentencia LeerResultado(SQLHSTMT s, bool sinDatos) {
        ResultadoSentencia r;
        SQLSMALLINT columnas = 0;
        if (!sinDatos) SQLNumResultCols(s, &columnas);
        if (columnas <= 0) {
            SQLLEN filas = -1;
            if (SQLRowCount(s, &filas) != SQL_SUCCESS) filas = sinDatos ? 0 : -1;
            r.filasAfectadas = filas;
            return r;
        }
        r.tieneFilas = true;
        std::vector<SQLSMALLINT> tiposSQL(static_cast<size_t>(columnas));
        for (SQLSMALLINT c = 1; c <= columnas; ++c) {
            SQLWCHAR nombre[512] = {};
            SQLSMALLINT largo = 0, tipoSQL = 0, decimales = 0, nulos = 0;
            SQLULEN tamano = 0;
            SQLDescribeColW(s, c, nombre, static_cast<SQLSMALLINT>(std::size(nombre)), &largo, &tipoSQL, &tamano,
                            &decimales, &nulos);
            ColumnaResultado col;
            col.nombre = DesdeW(nombre, std::min<qsizetype>(largo, std::size(nombre) - 1));
            col.tipo = TipoADO(tipoSQL);
            col.tamano = tamano > 0x7fffffff ? 0 : static_cast<int>(tamano);
            // SQL Server's drivers give money as a decimal of scale 4; its type name tells it apart,
            // and ADO's SQL Server providers type it as currency.
            SQLWCHAR nombreTipo[128] = {};
            SQLSMALLINT largoTipo = 0;
            if (SQL_SUCCEEDED(SQLColAttributeW(s, static_cast<SQLUSMALLINT>(c), SQL_DESC_TYPE_NAME, nombreTipo,
                                               sizeof(nombreTipo), &largoTipo, nullptr)))
                col.tipoServidor =
                    DesdeW(nombreTipo, std::min<qsizetype>(largoTipo / 2, std::size(nombreTipo) - 1)).toLower();
            const bool dinero =
                col.tipoServidor == QLatin1String("money") || col.tipoServidor == QLatin1String("smallmoney");
            if (dinero) col.tipo = tipo::Currency;
            if (tipoSQL == SQL_DECIMAL || tipoSQL == SQL_NUMERIC) {
                col.precision = col.tamano;
                col.escala = decimales;
            }
            SQLWCHAR tabla[512] = {};
            SQLSMALLINT largoTabla = 0;
            if (SQL_SUCCEEDED(SQLColAttributeW(s, static_cast<SQLUSMALLINT>(c), SQL_DESC_BASE_TABLE_NAME, tabla,
                                               sizeof(tabla), &largoTabla, nullptr)))
                col.tablaBase = DesdeW(tabla, std::min<qsizetype>(largoTabla / 2, std::size(tabla) - 1));
            tiposSQL[static_cast<size_t>(c - 1)] = dinero ? kTipoDinero : tipoSQL;
            r.columnas.push_back(col);
        }
        std::vector<SQLWCHAR> bufTexto(4096);
        for (;;) {
            const SQLRETURN rc = SQLFetch(s);
            if (rc == SQL_NO_DATA) break;
            if (rc == SQL_ERROR) {
                std::vector<ErrorBD> errores = Diagnosticos(SQL_HANDLE_STMT, s, origen_);
                if (EsPerdidaDeConexion(errores)) throw ErrorProveedor(errores);
                if (!errores.empty()) r.error = errores.front();
                break;
            }
            std::vector<QVariant> fila;
            fila.reserve(static_cast<size_t>(columnas));
            for (SQLSMALLINT c = 1; c <= columnas; ++c) fila.push_back(LeerValor(s, c, tiposSQL[static_cast<size_t>(c - 1)], bufTexto));
            r.filas.push_back(std::move(fila));
        }
        return r;
    }

    QVariant LeerValor(SQLHSTMT s, SQLUSMALLINT c, SQLSMALLINT tipoSQL, std::vector<SQLWCHAR>& buf) {
        SQLLEN ind = 0;
        auto fallo = [&](SQLRETURN rc) {
            if (rc == SQL_ERROR) throw ErrorProveedor(Diagnosticos(SQL_HANDLE_STMT, s, origen_));
        };
        switch (tipoSQL) {
            case SQL_SMALLINT:
            case SQL_INTEGER:
            case SQL_TINYINT:
            case SQL_BIGINT: {
                qint64 v = 0;
                fallo(SQLGetData(s, c, SQL_C_SBIGINT, &v, sizeof(v), &ind));
                if (ind == SQL_NULL_DATA) return QVariant();
                if (tipoSQL != SQL_BIGINT && v >= INT_MIN && v <= INT_MAX) return QVariant(static_cast<int>(v));
                return QVariant(static_cast<qlonglong>(v));
            }
            case kTipoDinero:
            case SQL_DECIMAL:
            case SQL_NUMERIC: {
                // By their digits: the driver's own conversion to a double is not always the
                // nearest one, and money beyond 2^52 ten-thousandths has none that holds it.
                SQLWCHAR digitos[80] = {};
                fallo(SQLGetData(s, c, SQL_C_WCHAR, digitos, sizeof(digitos), &ind));
                if (ind == SQL_NULL_DATA) return QVariant();
                const qsizetype largo = ind < 0 ? 0 : std::min<qsizetype>(ind / 2, std::size(digitos) - 1);
                const QString texto = DesdeW(digitos, largo);
                if (tipoSQL == kTipoDinero) {
                    const QVariant dinero = DineroDesdeTexto(texto);
                    if (dinero.isValid()) return dinero;
                }
                bool bien = false;
                const double v = texto.toDouble(&bien);
                return bien ? QVariant(v) : QVariant(texto);
            }
            case SQL_REAL:
            case SQL_FLOAT:
            case SQL_DOUBLE: {
                double v = 0;
                fallo(SQLGetData(s, c, SQL_C_DOUBLE, &v, sizeof(v), &ind));
                if (ind == SQL_NULL_DATA) return QVariant();
                return QVariant(v);
            }
            case SQL_BIT: {
                unsigned char v = 0;
                fallo(SQLGetData(s, c, SQL_C_BIT, &v, sizeof(v), &ind));
                if (ind == SQL_NULL_DATA) return QVariant();
                return QVariant(v != 0);
            }
            case SQL_TYPE_DATE:
            case SQL_DATE: {
                SQL_DATE_STRUCT v{};
                fallo(SQLGetData(s, c, SQL_C_TYPE_DATE, &v, sizeof(v), &ind));
                if (ind == SQL_NULL_DATA) return QVariant();
                return QVariant(QDate(v.year, v.month, v.day));
            }
            case SQL_TYPE_TIMESTAMP:
            case SQL_TIMESTAMP: {
                SQL_TIMESTAMP_STRUCT v{};
                fallo(SQLGetData(s, c, SQL_C_TYPE_TIMESTAMP, &v, sizeof(v), &ind));
                if (ind == SQL_NULL_DATA) return QVariant();
                return QVariant(QDateTime(QDate(v.year, v.month, v.day),
                                          QTime(v.hour, v.minute, v.second, static_cast<int>(v.fraction / 1000000u))));
            }
            case SQL_BINARY:
            case SQL_VARBINARY:
            case SQL_LONGVARBINARY: {
                QByteArray datos;
                char trozo[8192];
                for (;;) {
                    const SQLRETURN rc = SQLGetData(s, c, SQL_C_BINARY, trozo, sizeof(trozo), &ind);
                    if (rc == SQL_NO_DATA) break;
                    fallo(rc);
                    if (ind == SQL_NULL_DATA) return QVariant();
                    const qsizetype n = (ind == SQL_NO_TOTAL || ind > static_cast<SQLLEN>(sizeof(trozo)))
                                            ? static_cast<qsizetype>(sizeof(trozo))
                                            : static_cast<qsizetype>(ind);
                    datos.append(trozo, n);
                    if (rc == SQL_SUCCESS) break;
                }
                return QVariant(datos);
            }
            default: {
                QString texto;
                const SQLLEN bytes = static_cast<SQLLEN>(buf.size() * sizeof(SQLWCHAR));
                for (;;) {
                    const SQLRETURN rc = SQLGetData(s, c, SQL_C_WCHAR, buf.data(), bytes, &ind);
                    if (rc == SQL_NO_DATA) break;
                    fallo(rc);
                    if (ind == SQL_NULL_DATA) return QVariant();
                    const bool truncado = rc == SQL_SUCCESS_WITH_INFO && (ind == SQL_NO_TOTAL || ind >= bytes);
                    const qsizetype caracteres = truncado ? static_cast<qsizetype>(buf.size() - 1)
                                                          : static_cast<qsizetype>(ind / static_cast<SQLLEN>(sizeof(SQLWCHAR)));
                    texto += DesdeW(buf.data(), caracteres);
                    if (!truncado) break;
                }
                return QVariant(texto);
            }
        }
    }

    SQLHDBC dbc_;
    bool enTransaccion_ = false;
    QString origen_;
    QString base_;
};

QString EntreLlaves(const QString& valor) {
    QString v = valor;
    v.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return u'{' + v + u'}';
}

bool EsOracle(const ParametrosConexion& p) { return p.Proveedor().startsWith(QLatin1String("ORAOLEDB"), Qt::CaseInsensitive); }

}  // namespace

bool ProveedorOdbc::Atiende(const ParametrosConexion& p) const {
    if (p.valores.contains(QStringLiteral("DRIVER")) || p.valores.contains(QStringLiteral("DSN"))) return true;
    const QString proveedor = p.Proveedor().toUpper();
    return proveedor.isEmpty() || proveedor.startsWith(QLatin1String("SQLOLEDB")) ||
           proveedor.startsWith(QLatin1String("MSDASQL")) || proveedor.startsWith(QLatin1String("ORAOLEDB")) ||
           proveedor.startsWith(QLatin1String("SQLNCLI")) || proveedor.startsWith(QLatin1String("MSOLEDBSQL"));
}

QString ProveedorOdbc::OrigenPara(const ParametrosConexion& p) {
    if (p.valores.contains(QStringLiteral("DRIVER")) || p.valores.contains(QStringLiteral("DSN")))
        return QStringLiteral("Microsoft OLE DB Provider for ODBC Drivers");
    if (EsOracle(p)) return QStringLiteral("OraOLEDB");
    return QStringLiteral("Microsoft OLE DB Provider for SQL Server");
}

QString ProveedorOdbc::CadenaOdbc(const ParametrosConexion& p) {
    // A string that already speaks ODBC goes as it is.
    if (p.valores.contains(QStringLiteral("DRIVER")) || p.valores.contains(QStringLiteral("DSN"))) return p.cadena;
    QString cadena;
    auto agregar = [&cadena](const char* clave, const QString& valor) {
        if (!valor.isEmpty()) cadena += QString::fromLatin1(clave) + u'=' + EntreLlaves(valor) + u';';
    };
    if (EsOracle(p)) {
        agregar("DRIVER", Entorno("KVESTV_ODBC_ORACLE", QStringLiteral("Oracle")));
        agregar("DBQ", p.Valor({"DATA SOURCE", "DBQ", "SERVER"}));
        agregar("UID", p.Usuario());
        agregar("PWD", p.Clave());
        return cadena;
    }
    QString servidor = p.Servidor();
    QString puerto = Entorno("KVESTV_ODBC_PUERTO", QStringLiteral("1433"));
    // "host,port" is SQL Server's way of giving the port; "host\instance" finds its own.
    const qsizetype coma = servidor.indexOf(u',');
    if (coma >= 0) {
        puerto = servidor.mid(coma + 1).trimmed();
        servidor = servidor.left(coma).trimmed();
    }
    if (servidor == QLatin1String(".") || servidor.compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0)
        servidor = QStringLiteral("localhost");
    agregar("DRIVER", Entorno("KVESTV_ODBC_DRIVER", QStringLiteral("FreeTDS")));
    agregar("SERVER", servidor);
    if (!servidor.contains(u'\\')) agregar("PORT", puerto);
    agregar("DATABASE", p.Base());
    agregar("UID", p.Usuario());
    agregar("PWD", p.Clave());
    return cadena;
}

std::unique_ptr<Sesion> ProveedorOdbc::Abrir(const ParametrosConexion& p, int tiempoEsperaConexion) {
    const QString origen = OrigenPara(p);
    SQLHENV entorno = EntornoOdbc();
    if (!entorno) throw ErrorProveedor(ErrorSimple(QStringLiteral("No se pudo iniciar el entorno ODBC."), origen));
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, entorno, &dbc)))
        throw ErrorProveedor(Diagnosticos(SQL_HANDLE_ENV, entorno, origen));
    if (tiempoEsperaConexion > 0)
        SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT,
                          reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(tiempoEsperaConexion)), 0);
    const QString cadena = CadenaOdbc(p);
    const SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, W(cadena), static_cast<SQLSMALLINT>(cadena.size()), nullptr, 0,
                                           nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        std::vector<ErrorBD> errores = Diagnosticos(SQL_HANDLE_DBC, dbc, origen);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        if (errores.empty())
            errores.push_back(ErrorSimple(QStringLiteral("No se pudo abrir la conexión ODBC."), origen));
        // However the driver words it, a connection that does not open is a failed
        // connection; a refused login keeps the number ADO gives it.
        for (ErrorBD& e : errores)
            e.numero = (e.errorNativo == 18456 || e.estadoSQL.startsWith(QLatin1String("28")))
                           ? adoerr::AutenticacionFallida
                           : adoerr::FalloNoEspecificado;
        throw ErrorProveedor(errores);
    }
    return std::make_unique<SesionOdbc>(dbc, origen, p.Base());
}

std::shared_ptr<Proveedor> ProveedorOdbcIntegrado() {
    static const std::shared_ptr<Proveedor> unico = std::make_shared<ProveedorOdbc>();
    return unico;
}

}  // namespace kv::db
