#pragma once
// The rebuild of a statistic table: every company listed in MA_EMPRESAS is asked,
// on a connection to its own database, to recompute its rows of the table.

#include <QString>

namespace kv::db {
class DB_Dll;
}

namespace kv::stats {

inline constexpr const char* kSentenciaEmpresas = "SELECT * FROM MA_EMPRESAS";
inline constexpr const char* kTituloReconstruccion = "Actualizando Estadísticas";
inline constexpr const char* kMensajeReconstruccion =
    "Este proceso puede tardar varios minutos, espere por favor";
inline constexpr int kTiempoReconstruccion = 720;

QString SentenciaReconstruir(const QString& tabla);

// `almacen` is the window's store connection (its server is used for the
// companies); `empresa` is the object that holds one company connection at a
// time and keeps the last one open afterwards.
void ReconstruirEstadistica(kv::db::DB_Dll& almacen, const QString& tabla, kv::db::DB_Dll& empresa);

}  // namespace kv::stats
