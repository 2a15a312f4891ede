#pragma once
// The company configuration: whether the current company (the ERP database the
// program-wide connection is on) takes part in the statistics, and whether its
// data is shared with the other companies.

#include <QString>
#include <optional>

namespace kv::db {
class DB_Dll;
}

namespace kv::stats {

inline constexpr const char* kTituloConfigEmpresas = "Configuración de Empresas";
inline constexpr const char* kTextoCompartida = "Compartir la información con otras empresas.";
inline constexpr const char* kInfoNoIncluida =
    "Su empresa aún no forma parte de las estadísticas\r\nHaga click sobre agregar para incluirla";
inline constexpr const char* kInfoIncluida =
    "Su empresa forma parte de las estadísticas\r\nHaga click sobre quitar para excluirla o en Modificar "
    "para "
    "modificar la opción compartida";
inline constexpr const char* kTituloAgregarEmpresa = "Actualizando Estadísticas";
inline constexpr const char* kTituloQuitarEmpresa = "Quitando Estadísticas";
inline constexpr const char* kMensajeEmpresas = "Este proceso puede tardar varios minutos";
inline constexpr const char* kProgresoEmpresas = "Por favor espere";
inline constexpr const char* kIncluirEmpresa = "EXEC KV_RECONS_ESTV '',''";
inline constexpr const char* kExcluirEmpresa = "EXEC KV_RECONS_ESTV '*',''";
inline constexpr int kTiempoIncluirEmpresa = 720;

QString SentenciaEmpresaActual(const QString& base);
QString SentenciaCompartirEmpresa(const QString& base, bool compartida);
QString SentenciaAgregarEmpresa(const QString& base, bool compartida);
QString SentenciaQuitarEmpresa(const QString& base);

// The company's row: nullopt when it is not listed, else its sharing flag.
std::optional<bool> LeerEmpresa(kv::db::DB_Dll& almacen, const QString& base);
// Adds the company and asks its database to bring its data into the statistics.
void AgregarEmpresa(kv::db::DB_Dll& erp, kv::db::DB_Dll& almacen, bool compartida);
// Saves the sharing flag (no procedure call).
void CompartirEmpresa(kv::db::DB_Dll& erp, kv::db::DB_Dll& almacen, bool compartida);
// Removes the company and asks its database to take its data out.
void QuitarEmpresa(kv::db::DB_Dll& erp, kv::db::DB_Dll& almacen);

}  // namespace kv::stats
