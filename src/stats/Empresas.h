#pragma once
// The company list of the main window and the store connection the window keeps.

#include <QString>
#include <vector>

namespace kv::db {
class DB_Dll;
}

namespace kv::stats {

struct EntradaEmpresa {
    QString base;  // upper case, as the list shows it
    bool marcada = false;
};

QString SentenciaEmpresasVentana(const QString& baseERP);

// Shared companies and the current one, with only the current one ticked.
std::vector<EntradaEmpresa> ListaEmpresas(kv::db::DB_Dll& almacen, const QString& baseERP);

// Opens the window's own connection to the statistics store on the server of
// `principal`. Returns whether it is open.
bool AbrirConexionAlmacen(kv::db::DB_Dll& almacen, const kv::db::DB_Dll& principal);

// What the main window runs after start-up and before any load: the store
// creation on the ERP connection, the store connection, and the ERP database
// back as the ERP connection's default. Returns whether the store is open.
bool PrepararEstadisticas(kv::db::DB_Dll& principal, kv::db::DB_Dll& almacen);

// Number of decimals the amounts are shown with (the configured one; the
// locale's currency digits when it is 0).
int DecimalesConfigurados();

}  // namespace kv::stats
