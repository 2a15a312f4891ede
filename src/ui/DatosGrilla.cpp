#include "ui/DatosGrilla.h"

#include "db/Recordset.h"

namespace kv::ui {

QString DatosGrilla::ClaveGrupo(const QStringList& codigos) {
    QStringList partes;
    for (const QString& c : codigos) partes << c.trimmed().toUpper();
    return partes.join(QChar(0x1F));
}

int DatosGrilla::NivelDeColumna(const QString& nombre) const {
    for (int n = 0; n < kv::stats::kNiveles; ++n) {
        const QString& categoria = vistas.categorias[static_cast<size_t>(n)];
        if (!categoria.isEmpty() && categoria.compare(nombre.trimmed(), Qt::CaseInsensitive) == 0) return n;
    }
    return -1;
}

QString DatosGrilla::EtiquetaDeValor(const QString& columna, const QString& valor) const {
    const int nivel = NivelDeColumna(columna);
    if (nivel < 0 || !nombres) return valor.trimmed();
    return nombres->Etiqueta(nivel, valor);
}

std::shared_ptr<const DatosGrilla> DatosGrilla::DesdeRecordset(
    const kv::db::Recordset& registros, const kv::stats::ConfiguracionVistas& vistas, int decimales,
    std::shared_ptr<const kv::stats::NombresGrupos> nombres,
    const std::array<QString, kv::stats::kNiveles>& titulos) {
    auto datos = std::make_shared<DatosGrilla>();
    static_cast<kv::stats::TablaGrilla&>(*datos) =
        kv::stats::TablaDeGrilla(registros, titulos, nombres.get(), decimales);
    datos->vistas = vistas;
    datos->nombres = std::move(nombres);
    return datos;
}

}  // namespace kv::ui
