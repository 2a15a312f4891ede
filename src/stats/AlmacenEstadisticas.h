#pragma once
// The statistics store KV_ESTADISTICAS: its creation, and saving, deleting and
// loading statistic definitions (CAB_ESTV rows and their statistic tables).

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <vector>

#include "stats/Definicion.h"

namespace kv::db {
class DB_Dll;
class Recordset;
}  // namespace kv::db

namespace kv::stats {

inline constexpr const char* kBaseAlmacen = "KV_ESTADISTICAS";
inline constexpr const char* kUsuarioAlmacen = "KV_ESTADISTICAS";
inline constexpr const char* kClaveAlmacen = "QZ_TABLEROVENTA";
inline constexpr const char* kPrefijoTabla = "DET_ESTV";

// Every statement of the store creation, in the order they run. The login gets
// `clave` (the built-in password when empty).
QStringList SentenciasCreacionAlmacen(const QString& clave = QString());
// Runs them on the ERP connection (which is left pointing at the store), with
// the store password of the start-up settings; a statement that fails is skipped
// silently, but when the connection cannot switch to the store nothing after the
// switch runs (no store table or role may land in a company database).
void CrearBaseEstadisticas(kv::db::DB_Dll& erp);

// Name of a new statistic table from the rows (TABLE_NAME, TABLE_TYPE) of the
// store's table schema: one more than the highest DET_ESTV number found.
QString NombreTablaNueva(const std::vector<std::pair<QString, QString>>& tablas);
// The same, reading the schema of the store connection.
QString ElegirNombreTablaNueva(kv::db::DB_Dll& almacen);
// Chooses a new number and creates its statistic table; when another viewer
// created that table first (the server answers 2714), chooses again.
inline constexpr int kObjetoYaExiste = 2714;
QString TomarTablaNueva(kv::db::DB_Dll& almacen, int intentos = 50);

enum class ModoGrabacion { Ninguno, Nuevo, Existente, Borrar };

// What the window holds about the open definition besides its controls.
struct EstadoDefinicion {
    QString nombre;          // the name as typed
    QString tabla;           // statistic table of the loaded definition (or the one chosen for a new one)
    QString camposCargados;  // Campos exactly as read from the store (empty for a new definition)
    std::array<QString, kNiveles> titulos{TituloNivelVacio(0), TituloNivelVacio(1), TituloNivelVacio(2)};
    ModoGrabacion modo = ModoGrabacion::Ninguno;
    bool cancelar = false;  // a refused save leaves the window as it is
};

// Fixed texts of the save.
inline constexpr const char* kMensajeSinGrupos = "Debe seleccionar como mínimo un campo de agrupación";
inline constexpr const char* kTituloAvisoUsuario = "Aviso al Usuario";
inline constexpr const char* kMensajeNombreVacio = "Debe informar un Nombre";
inline constexpr const char* kTituloAvisoOperador = "Aviso al operador...";
inline constexpr const char* kMensajeNombreLargo =
    "El nombre de la estadística no puede tener más de 50 caracteres.";
inline constexpr const char* kMensajeOtrosLargo =
    "El nombre de los restantes no puede tener más de 50 caracteres.";

// Statements of the save (user texts made safe inside; Campos, Orden and
// Totalizadores are built texts and go as they are).
QString SentenciaInsertarDefinicion(const QString& nombre, const QString& tabla, const QString& campos,
                                    const QString& orden, const QString& totalizadores, const QString& top,
                                    const QString& topOtros);
QString SentenciaCrearTablaEstadistica(const QString& tabla);
QString SentenciaActualizarDefinicion(const QString& nombreRecortado, const QString& campos,
                                      const QString& orden, const QString& totalizadores, const QString& top,
                                      const QString& topOtros);
QString SentenciaBorrarDefinicion(const QString& nombreRecortado);
QString SentenciaEliminarTabla(const QString& tabla);
// Whether a stored Tabla text names a statistic table (DET_ESTV and digits):
// the delete never drops any other table a damaged row might name.
bool EsTablaEstadistica(const QString& tabla);
QString SentenciaTablasDeNombre(const QString& nombreRecortado);

// Checks made before a save writes anything; the message to show, or empty.
QString ValidarGrabacion(const QString& nombre, const Definicion& definicion, ModoGrabacion modo);

// Saves according to `estado.modo`. `reconstruir` is called (with the table
// name) when the grouping changed; it is the rebuild of the statistic table.
// Returns false when the save was refused (estado.cancelar set) or abandoned.
bool GrabarEstadistica(kv::db::DB_Dll& almacen, const Definicion& definicion, EstadoDefinicion& estado,
                       const std::function<void(const QString& tabla)>& reconstruir);

// Puts a CAB_ESTV row into a definition reset beforehand (the window's reset
// state: grouping list unticked), and fills the table, loaded grouping and captions.
void CargarDefinicion(const kv::db::Recordset& registro, Definicion& definicion, EstadoDefinicion& estado);

// Looks the name up in CAB_ESTV (trimmed, as the name check does); on success
// the definition is loaded and the mode is Existente, otherwise Nuevo.
bool BuscarDefinicion(kv::db::DB_Dll& almacen, const QString& nombre, Definicion& definicion,
                      EstadoDefinicion& estado);

// The list of stored statistic names the name lookup shows.
inline constexpr const char* kSentenciaNombresEstadisticas = "SELECT NOMBRE FROM CAB_ESTV ORDER BY NOMBRE";

// Names of the stored statistics, in alphabetical order (empty when the store cannot be read).
QStringList NombresEstadisticas(kv::db::DB_Dll& almacen);

}  // namespace kv::stats
