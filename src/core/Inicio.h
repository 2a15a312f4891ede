#pragma once
// Global start-up: folders, workstation settings, the command line, the ERP
// connection, the statistics-store connection and the user's configuration.

#include <QString>
#include <functional>

class QWidget;

namespace kv::core {

inline constexpr const char* kArchivoIni = "CN000pr.INI";
inline constexpr const char* kArchivoIniPiel = "cn000pr.ini";
inline constexpr const char* kArchivoAyuda = "htmlhelp/orbitalsuite.chm";
inline constexpr const char* kBaseEstadisticas = "KV_ESTADISTICAS";
inline constexpr const char* kUsuarioEstadisticas = "KV_ESTADISTICAS";
inline constexpr const char* kClaveEstadisticas = "QZ_TABLEROVENTA";
inline constexpr int kTiempoConsultaDefecto = 360;
// Where an administrator may set the store login's password (coded with
// Codificar) in the start-up INI; without it the built-in password applies.
inline constexpr const char* kSeccionIniAlmacen = "KV_ESTADISTICAS";
inline constexpr const char* kClaveIniAlmacen = "ClaveAlmacen";

// The password of the store login: the start-up INI's when set, else the built-in one.
QString ClaveEstadisticas();

// What happens when the ERP connection stays closed after start-up: by default
// the process ends at once with status 1, its connections closed first. Tests
// replace it (and start-up then returns); an empty function puts the default back.
void EstablecerTerminacionInicio(std::function<void()> terminar);

// Runs the whole start-up. `lineaComandos` replaces the process command line
// when not empty; `cadenaConexion` is the full ERP connection string when not
// empty (filled for an Oracle server given on the command line).
// Returns true when the ERP connection is open at the end.
bool IniciarSistema(bool usarAjustesGuardados, const QString& lineaComandos, QString& cadenaConexion,
                    qint32 ubicacionCursor = 3);

// Closes the statistics-store and ERP connections before the process ends, so
// that no session outlives the server objects it uses.
void CerrarConexiones();

// Closes the connections when it goes out of scope, whichever way the scope is
// left (return, early error exit, exception). main() keeps one for its whole run.
class CierreConexiones {
  public:
    CierreConexiones() = default;
    ~CierreConexiones() { CerrarConexiones(); }
    CierreConexiones(const CierreConexiones&) = delete;
    CierreConexiones& operator=(const CierreConexiones&) = delete;
};

// Opens the statistics store with its own login and reads the query time-out.
void ConectarEstadisticas();

// Folder of the application: KVESTV_CARPETA when set, else the executable's; ends with "/".
QString CarpetaAplicacion();

// Skins: number read from the INI file -> Qt style and style sheet shipped with the program.
struct Piel {
    int numero = 0;
    QString archivo;     // the skin's traditional name
    QString ini;         // its INI name, when it has one
    QString estiloQt;    // Qt style
    QString hojaEstilo;  // resource with the style sheet
};
Piel PielPara(int numero);
// Applies a skin to the window; a skin that cannot be loaded leaves the
// default style instead. Returns true when the skin itself was applied.
bool AplicarPiel(QWidget& ventana, const Piel& piel);
void AplicarEstilo(QWidget& ventana);

// Window icon and toolbar style.
void ConfigurarVentana(QWidget& ventana);

}  // namespace kv::core
