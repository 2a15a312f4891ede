#include "ui/DatosGrilla.h"

#include "db/Recordset.h"

namespace kv::ui {

int DatosGrilla::Columna(const QString& nombre) const {
    const QString buscado = nombre.trimmed();
    for (size_t i = 0; i < columnas.size(); ++i)
        if (columnas[i].nombre.trimmed().compare(buscado, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

bool DatosGrilla::EsNumerica(int columna) const {
    if (columna < 0 || columna >= static_cast<int>(columnas.size())) return false;
    using namespace kv::db::tipo;
    switch (columnas[static_cast<size_t>(columna)].tipo) {
        case SmallInt:
        case Integer:
        case Single:
        case Double:
        case Currency:
        case TinyInt:
        case BigInt:
        case Numeric:
            return true;
        default:
            break;
    }
    // A computed column may come untyped: numeric when every value is a number.
    for (const auto& fila : filas) {
        if (static_cast<size_t>(columna) >= fila.size()) continue;
        const QVariant& v = fila[static_cast<size_t>(columna)];
        if (v.isNull()) continue;
        switch (v.typeId()) {
            case QMetaType::Double:
            case QMetaType::Float:
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::UInt:
            case QMetaType::ULongLong:
                return true;
            default:
                return false;
        }
    }
    return false;
}

std::shared_ptr<const DatosGrilla> DatosGrilla::DesdeRecordset(const kv::db::Recordset& registros,
                                                               const kv::stats::ConfiguracionVistas& vistas,
                                                               int decimales) {
    auto datos = std::make_shared<DatosGrilla>();
    datos->vistas = vistas;
    datos->decimales = decimales;
    if (registros.State() != 0) {
        datos->columnas = registros.Resultado().columnas;
        datos->filas = registros.Resultado().filas;
    }
    return datos;
}

}  // namespace kv::ui
