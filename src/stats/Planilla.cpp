#include "stats/Planilla.h"

#include <xlsxwriter.h>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "stats/Carga.h"
#include "stats/Exportacion.h"

namespace kv::stats {

Planilla PlanillaDeGrilla(const TablaGrilla& tabla) {
    Planilla planilla;
    planilla.decimales = tabla.decimales;
    std::vector<bool> numericas;
    for (int c = 0; c < static_cast<int>(tabla.columnas.size()); ++c) {
        ColumnaPlanilla columna;
        columna.titulo = TituloColumnaGrilla(tabla.columnas[static_cast<size_t>(c)].nombre);
        columna.numerica = tabla.EsNumerica(c);
        columna.familia = FamiliaDeColumna(tabla.columnas[static_cast<size_t>(c)].nombre);
        planilla.columnas.push_back(columna);
    }
    for (const auto& fila : tabla.filas) {
        std::vector<QVariant> celdas;
        for (size_t c = 0; c < planilla.columnas.size(); ++c) {
            const QVariant valor = c < fila.size() ? fila[c] : QVariant();
            if (valor.isNull() || !valor.isValid())
                celdas.emplace_back();
            else if (planilla.columnas[c].numerica)
                // The value the grid shows: rounded as the grid rounds it.
                celdas.emplace_back(Redondear(valor.toDouble(), tabla.decimales));
            else
                celdas.emplace_back(valor.toString().trimmed());
        }
        planilla.filas.push_back(std::move(celdas));
    }
    return planilla;
}

QString FormatoNumerico(Familia familia, int decimales) {
    decimales = std::clamp(decimales, 0, 10);
    const QString fraccion =
        decimales > 0 ? QStringLiteral(".") + QString(decimales, QLatin1Char('0')) : QString();
    switch (familia) {
        case Familia::Porcentajes:
            return QStringLiteral("0") + fraccion + QStringLiteral("%");
        case Familia::Unidades:
            return QStringLiteral("#,##0") + fraccion;
        case Familia::Importes:
            break;
    }
    return QStringLiteral("\"$\" #,##0") + fraccion + QStringLiteral(";-\"$\" #,##0") + fraccion;
}

namespace {

QString TextoError(lxw_error codigo) { return QString::fromUtf8(lxw_strerror(codigo)); }

}  // namespace

bool GrabarPlanilla(const QString& archivo, const Planilla& planilla, QString* error) {
    // The writer builds the file under its own name: it is written beside and
    // then put in place, so a failure never leaves half a file under the name.
    const QString temporal = archivo + QStringLiteral(".parcial");
    const QByteArray ruta = QFile::encodeName(temporal);
    lxw_workbook_options opciones{};
    opciones.constant_memory = LXW_FALSE;
    opciones.tmpdir = nullptr;
    lxw_workbook* libro = workbook_new_opt(ruta.constData(), &opciones);
    if (!libro) {
        if (error) *error = QStringLiteral("no se pudo crear el archivo");
        return false;
    }
    const QByteArray nombreHoja = planilla.hoja.left(31).toUtf8();
    lxw_worksheet* hoja = workbook_add_worksheet(libro, nombreHoja.constData());
    lxw_format* cabecera = workbook_add_format(libro);
    format_set_bold(cabecera);
    format_set_bottom(cabecera, LXW_BORDER_THIN);
    lxw_format* formatos[3];
    const Familia familias[3] = {Familia::Unidades, Familia::Importes, Familia::Porcentajes};
    std::vector<QByteArray> textosFormato;
    for (int i = 0; i < 3; ++i) {
        formatos[i] = workbook_add_format(libro);
        textosFormato.push_back(FormatoNumerico(familias[i], planilla.decimales).toUtf8());
        format_set_num_format(formatos[i], textosFormato.back().constData());
    }
    const auto formatoDe = [&](Familia f) {
        return f == Familia::Unidades ? formatos[0] : f == Familia::Importes ? formatos[1] : formatos[2];
    };

    const int columnas = static_cast<int>(planilla.columnas.size());
    std::vector<int> anchos(static_cast<size_t>(columnas), 8);
    for (int c = 0; c < columnas; ++c) {
        const QByteArray titulo = planilla.columnas[static_cast<size_t>(c)].titulo.toUtf8();
        worksheet_write_string(hoja, 0, static_cast<lxw_col_t>(c), titulo.constData(), cabecera);
        anchos[static_cast<size_t>(c)] =
            std::max<int>(anchos[static_cast<size_t>(c)],
                          static_cast<int>(planilla.columnas[static_cast<size_t>(c)].titulo.size()) + 2);
    }
    lxw_row_t fila = 1;
    for (const auto& celdas : planilla.filas) {
        for (int c = 0; c < columnas && c < static_cast<int>(celdas.size()); ++c) {
            const QVariant& valor = celdas[static_cast<size_t>(c)];
            const ColumnaPlanilla& columna = planilla.columnas[static_cast<size_t>(c)];
            if (valor.isNull() || !valor.isValid()) continue;
            if (columna.numerica) {
                double numero = valor.toDouble();
                // A percentage cell holds the fraction; its format shows it times 100.
                if (columna.familia == Familia::Porcentajes) numero /= 100.0;
                worksheet_write_number(hoja, fila, static_cast<lxw_col_t>(c), numero,
                                       formatoDe(columna.familia));
                anchos[static_cast<size_t>(c)] = std::max(anchos[static_cast<size_t>(c)], 16);
            } else {
                const QString texto = valor.toString();
                const QByteArray bytes = texto.toUtf8();
                worksheet_write_string(hoja, fila, static_cast<lxw_col_t>(c), bytes.constData(), nullptr);
                anchos[static_cast<size_t>(c)] = std::min(
                    60, std::max(anchos[static_cast<size_t>(c)], static_cast<int>(texto.size()) + 2));
            }
        }
        ++fila;
    }
    for (int c = 0; c < columnas; ++c)
        worksheet_set_column(hoja, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                             anchos[static_cast<size_t>(c)], nullptr);
    worksheet_freeze_panes(hoja, 1, 0);
    if (columnas > 0) worksheet_autofilter(hoja, 0, 0, fila - 1, static_cast<lxw_col_t>(columnas - 1));
    const lxw_error resultado = workbook_close(libro);
    if (resultado != LXW_NO_ERROR) {
        QFile::remove(temporal);
        if (error) *error = TextoError(resultado);
        return false;
    }
    QFile::remove(archivo);
    if (!QFile::rename(temporal, archivo)) {
        QFile::remove(temporal);
        if (error) *error = QStringLiteral("no se pudo reemplazar el archivo");
        return false;
    }
    return true;
}

}  // namespace kv::stats
