#pragma once
// Small shared helpers: date and time masks, the amount formatter, the
// adaptation of statements to an Oracle connection, the INSERT/UPDATE builder,
// the default lookup definitions and the launcher of the suite's programs.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <utility>
#include <vector>

namespace kv::core {

QString FormatoFechaHora();  // "dd/mm/yy hh:mm"
QString FormatoFecha();      // "dd/mm/yy"
QString FormatoHora();       // "hh:mm"
// The same masks in Qt's notation (minutes as "mm", hours 24h as "HH").
QString FormatoFechaHoraQt();

// Number of currency decimals of the user's locale (LC_MONETARY); 2 when the
// locale defines none (as the C locale).
int DecimalesMonedaLocales();

// Amount text. Decimals -3: the value as it came; -1: the configured
// CantidadDecimales; 0: the locale's currency decimals; -2: none.
QString FmtMoneda(const QString& valor, const QVariant& decimales, bool miles);

// Rewrites a statement for an Oracle connection (TOP n into ROWNUM, LEN into
// LENGTH); on any other connection returns it unchanged.
QString AdaptarSentencia(const QString& sentencia);
QString AdaptarSentenciaPara(const QString& sentencia, const QString& cadenaConexion);

// Field list of the statement builder: (column, SQL literal) pairs.
using ListaCampos = std::vector<std::pair<QString, QString>>;

// Appends a column to the module's field list (restarted first with `nuevaLista`).
// Every apostrophe is removed from `valor` (the caller's text too); "NULL" in any
// case becomes the bare literal Null, anything else the literal SQLValue builds.
void AgregarCampo(const QString& campo, QString& valor, const QString& marcaComilla, bool nuevaLista);
void AgregarCampo(ListaCampos& lista, const QString& campo, QString& valor, const QString& marcaComilla,
                  bool nuevaLista);
// The module's field list (used by the callers of AgregarCampo/ArmarSentencia).
ListaCampos& CamposModulo();

// Appends to `sentencias` an UPDATE (with `actualizar`) or INSERT built from
// `campos`, then one empty entry. Unless `conservarCampos`, the field list is
// restarted with one empty entry.
void ArmarSentencia(ListaCampos& campos, QStringList& sentencias, const QString& tabla, bool actualizar,
                    QString& condicion, bool conservarCampos);

// True when the file (double quotes removed from the path) can be opened for reading.
bool ExisteArchivo(const QString& ruta);

// Default lookup definitions, appended as 1202-byte records to the query file
// named by the lookup settings (or to `ruta` when given).
inline constexpr int kLargoRegistroConsultas = 1202;
struct ConsultaBase {
    QString titulo;
    QString tabla;
    QString columnas;
};
const std::vector<ConsultaBase>& ConsultasBase();
QByteArray RegistroConsulta(const QString& titulo, const QString& tabla, const QString& columnas,
                            const QString& condicion);
void GrabarConsultasBase(const QString& ruta = QString());

// Parameter text handed to the suite's programs.
QString ParametrosPrograma(const QString& servidor, const QString& base, const QString& usuario,
                           const QString& clave, const QString& parametroAdicional,
                           const QString& usuarioLogeado, const QString& caja);

inline constexpr const char* kMensajeOpcionNoImplementada =
    "Opcion no Implementada!\rComuniquese con su proveedor de sistemas";
inline constexpr const char* kTituloOpcionNoImplementada = "Atención";

// Starts another program of the suite, detached, handing it the current
// connection as one argument; `idProceso` receives its process id (0 when it
// could not be started).
void MenuExes(const QString& programa, QString& parametroAdicional, qint64& idProceso);

}  // namespace kv::core
