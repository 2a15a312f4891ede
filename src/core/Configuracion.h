#pragma once
// Configuration keys of the ERP and of the statistics store, the user's
// options, and the record of every program start.

#include <QString>

namespace kv::db {
class DB_Dll;
}

namespace kv::core {

inline constexpr const char* kTablaConfiguracionDefecto = "TA_CONFIGURACION";
inline constexpr const char* kSupervisor = "OPERADOR MAESTRO GRAL";
inline constexpr const char* kTablaAccesos = "Control_Acceso";

// The statistics-store database object (the second one the program keeps open).
kv::db::DB_Dll& BaseEstadisticas();

// Statement that reads one key.
QString SentenciaLeerClave(const QString& tabla, const QString& clave);

// Value of `clave` in the ERP configuration table; " " when the key has no row,
// empty when no ERP database is open.
QString Cfg(const QString& clave, QString* valorAux = nullptr);
// The same on the statistics store.
QString CfgKV(const QString& clave, QString* valorAux = nullptr);
// Writes one key into the statistics store's configuration table. Never throws.
void GrabaCfgKV(const QString& clave, const QString& valor, const QString& valorAux, bool politicaNegocio,
                const QString& grupo, bool recortarValor);

// Parse rules of the configuration values.
bool BanderaSI(const QString& valor);           // "SI" in any case, as stored
bool BanderaSIRecortada(const QString& valor);  // the same after trimming
bool BanderaNOApaga(const QString& valor);      // false for blank or "NO"
bool BanderaNoNO(const QString& valor);         // true unless "NO"
qint16 NumeroCorto(const QString& valor, qint16 siFalla = 0);
qint64 Importe4(const QString& valor);  // four implied decimals
qint32 Color(const QString& valor);

// Loads the keys and the user's options into Ajustes(). Never throws.
void CargarConfiguracion(const QString& carpeta);

// Statement of the task lookup of RegistrarAcceso.
QString SentenciaTareaUsuario(const QString& usuario, const QString& proceso);
// Records one program start in Control_Acceso. Never throws.
void RegistrarAcceso(const QString& proceso = QString());

}  // namespace kv::core
