#pragma once
// What the embedded-server tests share: a fresh server folder per test and
// connections to it through the client layer.

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "db/Conexion.h"
#include "db/Recordset.h"
#include "localserver/ServidorEmbebido.h"
#include "soporte/CarpetasTemporales.h"
#include "soporte/LotesPrueba.h"

namespace kv::pruebas {

// The store creation as the main window sends it: one batch per statement.
QStringList LotesCreacionAlmacen();

inline QString CadenaEmbebido(const QString& base, const QString& usuario, const QString& clave,
                              const QString& servidor = QStringLiteral("EMBEBIDO")) {
    return QStringLiteral("PROVIDER=SQLOLEDB;Server=%1;Database =%2;UId=%3;Pwd=%4;")
        .arg(servidor, base, usuario, clave);
}

class ServidorPrueba : public ::testing::Test {
  protected:
    void SetUp() override { kv::local::RegistrarServidorEmbebido(); }

    std::unique_ptr<kv::db::Conexion> Conectar(const QString& base = QStringLiteral("master"),
                                               const QString& usuario = QStringLiteral("Korvane"),
                                               const QString& clave = QStringLiteral("pelumbo")) {
        auto c = std::make_unique<kv::db::Conexion>();
        c->Open(CadenaEmbebido(base, usuario, clave));
        return c;
    }

    // Runs a batch and returns its results; fails the test on any error.
    std::vector<kv::db::ResultadoSentencia> Lote(kv::db::Conexion& c, const QString& sql) {
        return LoteSinErrores(c, sql);
    }

    // Native number of the first error of a batch, 0 when none.
    int PrimerError(kv::db::Conexion& c, const QString& sql) {
        try {
            for (const auto& r : c.EjecutarLote(sql))
                if (r.error) return r.error->errorNativo;
        } catch (const kv::KvExcepcion&) {
            if (c.Errors().Count() > 0) return c.Errors().Item(0).errorNativo;
            return -1;
        }
        return 0;
    }

    // The native number of a failed open (0 when it opened, -1 when it failed
    // without an error of the server), and its text.
    int ErrorAlAbrir(const QString& base, const QString& usuario, const QString& clave, QString* texto = nullptr) {
        kv::db::Conexion c;
        try {
            c.Open(CadenaEmbebido(base, usuario, clave));
        } catch (const kv::KvExcepcion&) {
            if (c.Errors().Count() == 0) return -1;
            if (texto) *texto = c.Errors().Item(0).descripcion;
            return c.Errors().Item(0).errorNativo;
        }
        return 0;
    }

    // The first error of a batch with its text.
    std::optional<kv::db::ErrorBD> ErrorDe(kv::db::Conexion& c, const QString& sql) {
        try {
            for (const auto& r : c.EjecutarLote(sql))
                if (r.error) return r.error;
        } catch (const kv::KvExcepcion&) {
            if (c.Errors().Count() > 0) return c.Errors().Item(0);
        }
        return std::nullopt;
    }

    // The rows of the first row set of a batch.
    std::vector<std::vector<QVariant>> Filas(kv::db::Conexion& c, const QString& sql) {
        for (auto& r : Lote(c, sql)) {
            if (r.error) {
                ADD_FAILURE() << r.error->errorNativo << " " << r.error->descripcion.toStdString();
                return {};
            }
            if (r.tieneFilas) return r.filas;
        }
        ADD_FAILURE() << "sin filas: " << sql.toStdString();
        return {};
    }

    QVariant Valor(kv::db::Conexion& c, const QString& sql) {
        const auto f = Filas(c, sql);
        if (f.empty() || f[0].empty()) return {};
        return f[0][0];
    }

    // What a run of the kvsql console left: its exit status and the lines it
    // wrote to its output and to its errors (its input is closed).
    struct Salida {
        int estado = -1;
        QStringList lineas;
        QStringList errores;
        QStringList avisos;  // the default-password warning, when kvsql gave it
    };
    static Salida Kvsql(const QStringList& argumentos);
    // kvsql's options for the server's administrator, optionally in `base`.
    static QStringList Administrador(const QString& base = QString());

    CarpetasTemporales carpetas_;
};

}  // namespace kv::pruebas
