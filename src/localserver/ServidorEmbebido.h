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

struct SolicitudInicio;

// The server's login path, for every way in: checks the login and its password
// (18456), what is decided on the request itself (a default password from
// another machine, 18488) and the database (4060). Failures come as
// kv::db::ErrorProveedor.
std::unique_ptr<kv::db::Sesion> AbrirSesionEmbebida(const SolicitudInicio& solicitud);

// Registers the embedded server with the client layer; later calls do nothing.
void RegistrarServidorEmbebido();

}  // namespace kv::local
