#pragma once
// Shared set-up of the DB_Dll tests: own folders, a scripted port, a recording
// provider for the servers "GRABADOR" (SQL Server) and "ORA_GRABADOR" (an Oracle
// data source), and a fresh main instance.

#include <gtest/gtest.h>

#include <QFile>

#include "ProveedorGrabador.h"
#include "db/DB_Dll.h"
#include "soporte/CarpetasTemporales.h"
#include "soporte/PuertoGuionado.h"

// Readable texts in failure messages.
inline void PrintTo(const QString& texto, std::ostream* salida) {
    *salida << '"' << texto.toStdString() << '"';
}

namespace kv::pruebas {

inline const QString kCR = QStringLiteral("\r");
inline const QString kCRLF = QStringLiteral("\r\n");

class DB_DllPrueba : public ::testing::Test {
  protected:
    DB_DllPrueba() : grabador_({QStringLiteral("GRABADOR"), QStringLiteral("ORA_GRABADOR")}) {
        kv::db::DB_Dll::DescartarPrincipal();
        kv::db::DB_Dll::EstablecerVentanaAcceso({});
        kv::db::DB_Dll::EstablecerConfidencialidad(false);
        kv::db::DB_Dll::EstablecerNombreProceso(QStringLiteral("KV_ESTV"));
        kv::db::DB_Dll::EstablecerTerminacion([this] { ++terminaciones_; });
    }
    ~DB_DllPrueba() override {
        kv::db::DB_Dll::DescartarPrincipal();
        kv::db::DB_Dll::EstablecerVentanaAcceso({});
        kv::db::DB_Dll::EstablecerConfidencialidad(false);
        kv::db::DB_Dll::EstablecerNombreProceso(QString());
        kv::db::DB_Dll::EstablecerTerminacion({});
    }

    kv::db::DB_Dll& Principal() { return kv::db::DB_Dll::Principal(); }

    // Fills an object for the recording server and opens it without asking anything.
    void Abrir(kv::db::DB_Dll& db, bool oracle = false) {
        db.gServidor = oracle ? QStringLiteral("ORCL#") : QStringLiteral("GRABADOR");
        db.gDBName = oracle ? QStringLiteral("ORA_GRABADOR") : QStringLiteral("EMPRESA1");
        db.gUsuario = QStringLiteral("ventas");
        db.gUserPassWord = QStringLiteral("clave");
        db.OpenServerADODB(false, 3, QString(), false, false);
        ASSERT_TRUE(db.gOpenFlag) << (db.gCnn.Errors().Count()
                                          ? db.gCnn.Errors().Item(0).descripcion.toStdString()
                                          : std::string("sin errores"));
        ASSERT_EQ(db.gCnn.State(), kv::db::ado::Abierto);
    }

    // The lines of a log file (CR LF ends).
    static QStringList LineasDe(const QString& ruta) {
        QFile f(ruta);
        if (!f.open(QIODevice::ReadOnly)) return {};
        QString texto = QString::fromUtf8(f.readAll());
        QStringList lineas = texto.split(kCRLF);
        if (!lineas.isEmpty() && lineas.last().isEmpty()) lineas.removeLast();
        return lineas;
    }

    CarpetasTemporales carpetas_;
    PuertoGuionado puerto_;
    GrabadorRegistrado grabador_;
    int terminaciones_ = 0;
};

}  // namespace kv::pruebas
