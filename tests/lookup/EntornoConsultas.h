#pragma once
// A fresh embedded server with one demo company for one lookup test: its own
// folders, the company NORTE with the ERP schema and the demo's catalogs, the
// ERP connection on the main DB_Dll instance, the default query definitions in
// the program folder, and a fresh shared lookup request.

#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <ostream>
#include <vector>

#include "db/Conexion.h"
#include "soporte/CarpetasTemporales.h"
#include "soporte/VentanaModal.h"

// Readable texts in failure messages.
inline void PrintTo(const QString& texto, std::ostream* salida) {
    *salida << '"' << texto.toStdString() << '"';
}

namespace kv::pruebas {

class EntornoConsultas {
  public:
    // The ERP connection goes to `servidor` (the embedded server, or its TDS
    // endpoint as "127.0.0.1,port"); the administrator's always goes direct.
    explicit EntornoConsultas(int lineasVenta = 20, const QString& servidor = QStringLiteral("EMBEBIDO"));
    ~EntornoConsultas();

    void Ejecutar(const QString& sql) const;
    QVariant Valor(const QString& sql) const;
    std::vector<std::vector<QVariant>> Filas(const QString& sql) const;
    // A configuration key of the company.
    void Configurar(const QString& clave, const QString& valor) const;

    const CarpetasTemporales& carpetas() const { return carpetas_; }

    // The first active article by description is renamed `descripcion`; the default
    // article lookup opens, that article is picked, F12 is pressed on the list and
    // the lookup is cancelled. The article's id.
    QString InformarFaltanteConF12(const QString& descripcion) const;

  private:
    CarpetasTemporales carpetas_;
    std::unique_ptr<kv::db::Conexion> administrador_;
};

}  // namespace kv::pruebas
