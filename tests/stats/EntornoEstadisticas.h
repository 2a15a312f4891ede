#pragma once
// A fresh embedded server for one statistics test: its own folders, company
// databases with the ERP schema and a login per company (its name as user and
// password), the ERP connection on the main DB_Dll instance and, once created,
// the statistics store and the window's own store connection.

#include <QDate>
#include <QString>
#include <QStringList>
#include <memory>

#include "db/Conexion.h"
#include "db/DB_Dll.h"
#include "soporte/CarpetasTemporales.h"

namespace kv::pruebas {

class EntornoEstadisticas {
  public:
    // The viewer's connections go to `servidor` (the embedded server, or its TDS
    // endpoint as "127.0.0.1,port"); the administrator's always go direct.
    explicit EntornoEstadisticas(const QStringList& empresas = {"NORTE"},
                                 const QString& servidor = QStringLiteral("EMBEBIDO"));
    ~EntornoEstadisticas();

    static QString Cadena(const QString& base, const QString& usuario, const QString& clave);

    // Runs a batch as the server's administrator in `base`.
    void Ejecutar(const QString& base, const QString& sql) const;
    // First column of the first row (invalid when none), as the administrator.
    QVariant Valor(const QString& base, const QString& sql) const;
    // Every row of a query, as the administrator.
    std::vector<std::vector<QVariant>> Filas(const QString& base, const QString& sql) const;

    // Opens the main instance on the first company, as the administrator
    // would run the viewer the first time (it may create the store).
    kv::db::DB_Dll& Erp();
    // Creates the store (as the main window does) and opens the store connection.
    kv::db::DB_Dll& Almacen();
    // Lists a company in MA_EMPRESAS.
    void AgregarEmpresa(const QString& base, bool compartida) const;
    // Fills a company with the demo's sale lines up to `hasta`.
    void LlenarDemo(const QString& base, int indice, int lineas, const QDate& hasta) const;

    const CarpetasTemporales& carpetas() const { return carpetas_; }

  private:
    CarpetasTemporales carpetas_;
    std::unique_ptr<kv::db::Conexion> administrador_;
    std::unique_ptr<kv::db::DB_Dll> almacen_;
    QStringList empresas_;
    QString servidor_;
};

}  // namespace kv::pruebas
