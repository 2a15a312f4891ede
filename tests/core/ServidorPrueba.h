#pragma once
// A fresh embedded server for one test: its own folders, a company database
// with the ERP schema and a login that owns it.

#include <QString>
#include <memory>

#include "db/Conexion.h"
#include "soporte/CarpetasTemporales.h"

namespace kv::pruebas {

class ServidorPrueba {
  public:
    // Creates `base` with the ERP schema and the login `usuario`/`clave` as its owner.
    explicit ServidorPrueba(const QString& base = "EMPRESA", const QString& usuario = "U",
                            const QString& clave = "P", bool conEsquema = true);
    ~ServidorPrueba();

    // A connection string of the embedded server.
    static QString Cadena(const QString& base, const QString& usuario, const QString& clave);
    // A new connection to the company database as its owner.
    std::unique_ptr<kv::db::Conexion> Conectar() const;
    // Runs a batch as the server's administrator in the company database.
    void Ejecutar(const QString& sql) const;
    // One value of the first row of a query, run as the administrator.
    QVariant Valor(const QString& sql) const;
    // Creates the statistics store with its login (and its configuration table).
    void CrearAlmacenEstadisticas() const;

    const CarpetasTemporales& carpetas() const { return carpetas_; }
    QString base() const { return base_; }
    QString usuario() const { return usuario_; }
    QString clave() const { return clave_; }

  private:
    CarpetasTemporales carpetas_;
    QString base_, usuario_, clave_;
    std::unique_ptr<kv::db::Conexion> administrador_;
};

}  // namespace kv::pruebas
