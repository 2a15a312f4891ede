#pragma once
// The embedded server as a provider of the client layer: connection strings
// with the provider "SQLOLEDB" (or none) and the server EMBEBIDO, in any letter
// case, open a session on the folder of SQLite databases.

#include <memory>

#include "db/Proveedor.h"

namespace kv::local {

inline constexpr const char* NombreServidorEmbebido = "EMBEBIDO";

class ProveedorEmbebido : public kv::db::Proveedor {
public:
    bool Atiende(const kv::db::ParametrosConexion& parametros) const override;
    // Checks the login and its password (18456) and the database (4060).
    std::unique_ptr<kv::db::Sesion> Abrir(const kv::db::ParametrosConexion& parametros,
                                          int tiempoEsperaConexion) override;
};

// Registers the embedded server with the client layer; later calls do nothing.
void RegistrarServidorEmbebido();

}  // namespace kv::local
