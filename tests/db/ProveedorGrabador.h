#pragma once
// A provider for tests that answers from a script and records every call.
//
// It serves the connection strings whose server (or Oracle data source) is one of
// its names. Each statement it receives is recorded; the answer is the newest
// scripted rule whose fragment the statement contains (any letter case), else an
// empty result (rows for a SELECT, 0 records affected otherwise). It can refuse
// to open, fail a statement with a given error, and lose the link on demand: a
// lost session keeps failing like a dropped network link until it is closed and
// a new one is opened.

#include <QStringList>
#include <memory>
#include <vector>

#include "db/Proveedor.h"

namespace kv::pruebas {

class ProveedorGrabador : public kv::db::Proveedor {
  public:
    explicit ProveedorGrabador(QStringList servidores = {QStringLiteral("GRABADOR")});
    ~ProveedorGrabador() override;

    bool Atiende(const kv::db::ParametrosConexion& parametros) const override;
    std::unique_ptr<kv::db::Sesion> Abrir(const kv::db::ParametrosConexion& parametros,
                                          int tiempoEspera) override;

    // ---- Script ----
    // `veces` 0: the rule always applies; n: it applies to the next n matching statements.
    void Responder(const QString& fragmento, kv::db::ResultadoSentencia resultado, int veces = 0);
    void Filas(const QString& fragmento, const QStringList& columnas,
               std::vector<std::vector<QVariant>> filas, int veces = 0);
    void Afectados(const QString& fragmento, qint64 filas, int veces = 0);
    // The statement fails with `error` (a statement error inside the result).
    void Fallar(const QString& fragmento, kv::db::ErrorBD error, int veces = 0);
    // The next `veces` openings are refused with `error`.
    void FallarApertura(kv::db::ErrorBD error, int veces = 1);
    // The next `veces` statement calls find the link down (once per session: the
    // session that lost it stays dead).
    void PerderConexion(int veces = 1);
    void Tablas(const QStringList& tablas);
    void Columnas(const QString& tabla, const QStringList& columnas);

    // The error a dropped link gives.
    static kv::db::ErrorBD ErrorConexionPerdida();
    // A syntax-style statement error with an ADO number and a native one.
    static kv::db::ErrorBD Error(qint32 numero, const QString& descripcion, qint32 nativo = 0,
                                 const QString& estado = QString());

    // ---- Record ----
    QStringList Sentencias() const;  // every batch received, in order
    // Every call, in order: "Abrir <string as given>", "Ejecutar <sql>", "Iniciar",
    // "Confirmar", "Deshacer", "UsarBase <base>", "EsquemaTablas <catalog>|<table>",
    // "EsquemaColumnas <catalog>|<table>", "Cerrar".
    QStringList Llamadas() const;
    QStringList Aperturas() const;  // connection strings opened or refused
    // Keys of the last opening: user and password as the connection passed them.
    QString UltimoUsuario() const;
    QString UltimaClave() const;
    int SesionesAbiertas() const;
    void Olvidar();

    struct Estado;

  private:
    std::shared_ptr<Estado> estado_;
};

// Registers a recording provider for the life of the object.
class GrabadorRegistrado {
  public:
    explicit GrabadorRegistrado(QStringList servidores = {QStringLiteral("GRABADOR")});
    ~GrabadorRegistrado();
    ProveedorGrabador& operator*() const { return *proveedor_; }
    ProveedorGrabador* operator->() const { return proveedor_.get(); }

  private:
    std::shared_ptr<ProveedorGrabador> proveedor_;
};

}  // namespace kv::pruebas
