#pragma once
// Names beside codes: the statistic tables hold codes ("V04", "010104"); what a
// person reads shows each code with its name from the ERP master table of its
// catalog field ("V04 – Natalia Molina"). The names are read at each load, one
// statement per level through the ERP connection, so a renamed article shows on
// the next load; a code the master table does not know shows alone.

#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <optional>

#include "stats/Catalogo.h"

namespace kv::db {
class DB_Dll;
class Recordset;
}  // namespace kv::db

namespace kv::stats {

struct ModeloGrafico;

// Where the names of a catalog field live: the ERP view, its code column and its name column.
struct FuenteNombres {
    QString tabla;
    QString codigo;
    QString nombre;
};

// The source of a field's names (by its catalog code, "IdVendedor"); nullopt for
// "Fecha", whose month names itself, and for a field the catalog does not hold.
std::optional<FuenteNombres> FuenteNombresDeCampo(const QString& campo);
// The catalog code of a level caption ("Artículo" -> "IdArticulo"); empty when none.
QString CampoDeTitulo(const QString& titulo);

// Up to this many codes go in the statement's list; beyond it the whole master
// table is read (one statement either way; Oracle takes at most 1000 items in a list).
inline constexpr int kMaximoCodigosEnLista = 500;

// "SELECT code, name FROM view WHERE code IN ('A','B')" for the listed codes,
// or the whole view when `codigos` is empty. Apostrophes are doubled.
QString SentenciaNombres(const FuenteNombres& fuente, const QStringList& codigos);

// The name of a month text: "3/2024" -> "Marzo 2024"; empty when the text is not a month.
QString NombreMes(const QString& mes);

// "code – name", or the code alone when it has no name.
QString CodigoConNombre(const QString& codigo, const QString& nombre);

class NombresGrupos {
  public:
    // Reads the names of the codes of each level whose caption names a catalog
    // field: one statement per level (none for "Fecha" or a level without codes).
    void Leer(kv::db::DB_Dll& erp, const std::array<QString, kNiveles>& titulos,
              const std::array<QStringList, kNiveles>& codigos);

    // The name of a code of a level (trimmed; letter case ignored, as the server
    // compares); empty when it has none.
    QString Nombre(int nivel, const QString& codigo) const;
    // "code – name", or the code alone.
    QString Etiqueta(int nivel, const QString& codigo) const;
    // Whether the level is bound to a catalog field (its codes can have names).
    bool NivelConNombres(int nivel) const { return nivel >= 0 && nivel < kNiveles && conNombres_[nivel]; }
    // The statements the last read sent, in level order.
    const QStringList& Sentencias() const { return sentencias_; }

    // Puts a name in place and binds its level (the read does this for every row it gets).
    void Poner(int nivel, const QString& codigo, const QString& nombre);

  private:
    std::array<QHash<QString, QString>, kNiveles> nombres_;
    std::array<bool, kNiveles> conNombres_{};
    std::array<bool, kNiveles> esMes_{};
    QStringList sentencias_;
};

// The distinct codes of each level in a load's result: the chart's groups, the
// folded ones and every row of the grid recordset (trimmed, first seen first).
std::array<QStringList, kNiveles> CodigosDeResultado(const ModeloGrafico& modelo,
                                                     const kv::db::Recordset* grilla);

// Reads the names of a load's result (the chart model and the grid recordset)
// on the ERP connection.
std::shared_ptr<const NombresGrupos> LeerNombres(kv::db::DB_Dll& erp,
                                                 const std::array<QString, kNiveles>& titulos,
                                                 const ModeloGrafico& modelo,
                                                 const kv::db::Recordset* grilla);

// The caption of a level's name column: "Nombre Vendedor"; "Nombre del mes" for "Fecha".
QString TituloColumnaNombre(const QString& tituloNivel);

}  // namespace kv::stats
