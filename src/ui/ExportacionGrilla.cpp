#include "ui/ExportacionGrilla.h"

#include <QAbstractItemModel>
#include <QDir>

#include "stats/Exportacion.h"
#include "stats/Planilla.h"
#include "ui/Grilla.h"
#include "ui/TablaDinamica.h"
#include "util/Interaccion.h"
#include "util/UtilDialogo.h"
#include "util/UtilSistema.h"

namespace kv::ui {

std::vector<QStringList> FilasDeModelo(const QAbstractItemModel& modelo) {
    std::vector<QStringList> filas;
    const int columnas = modelo.columnCount();
    QStringList cabecera;
    for (int c = 0; c < columnas; ++c) {
        cabecera << modelo.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    }
    filas.push_back(cabecera);
    for (int f = 0; f < modelo.rowCount(); ++f) {
        QStringList celdas;
        for (int c = 0; c < columnas; ++c) {
            const QModelIndex indice = modelo.index(f, c);
            celdas << modelo.data(indice, Qt::DisplayRole).toString();
        }
        filas.push_back(celdas);
    }
    return filas;
}

QString ArchivoExportacion(const QString& elegido) {
    // Only the file's own name loses its extension: cutting at a dot of a folder
    // ("/home/ana/.cache/ventas") would write somewhere the user did not choose.
    const int barra = std::max(elegido.lastIndexOf(QLatin1Char('/')), elegido.lastIndexOf(QLatin1Char('\\')));
    return elegido.left(barra + 1) + kv::stats::NombreArchivoExportacion(elegido.mid(barra + 1));
}

bool GrabarGrillaTexto(const QString& archivo, const QAbstractItemModel& modelo) {
    return kv::stats::GrabarGrillaTexto(archivo, FilasDeModelo(modelo));
}

QString ExportarGrilla(const QAbstractItemModel& modelo) {
    UtilDialogo dialogo;
    dialogo.Filtro = QString::fromUtf8(kFiltroExportacion);
    dialogo.Titulo = QString::fromUtf8(kTituloExportacion);
    dialogo.Opcion = UtilDialogo::Guardar;
    dialogo.Mostrar();
    if (dialogo.NombreArchivo.isEmpty()) return QString();
    const QString archivo = ArchivoExportacion(dialogo.NombreArchivo);
    if (!GrabarGrillaTexto(archivo, modelo)) {
        interaccion().Mensaje(
            QStringLiteral("No se pudo grabar el archivo \"%1\".").arg(QDir::toNativeSeparators(archivo)),
            estilo::Exclamacion, QString::fromUtf8(kTituloAvisoExportacion));
        return QString();
    }
    kv::UtilSistema::AbrirDocumento(nullptr, QStringLiteral("open"), archivo, QString(), QString(), 6);
    return archivo;
}

kv::stats::Planilla PlanillaDeTabla(const TablaDinamica& tabla) {
    kv::stats::Planilla planilla;
    planilla.hoja = QStringLiteral("Tabla dinámica");
    planilla.decimales = tabla.Datos() ? tabla.Datos()->decimales : 2;
    const QStringList niveles = tabla.CamposFila();
    for (const QString& nivel : niveles) planilla.columnas.push_back({nivel, false, Familia::Importes});
    const QStringList datos = tabla.TitulosDatos();
    for (int d = 0; d < tabla.CantidadDatos(); ++d)
        planilla.columnas.push_back({datos.value(d), true, tabla.FamiliaDato(d)});
    const auto fila = [&](const TablaDinamica::Nodo& nodo) {
        std::vector<QVariant> celdas(planilla.columnas.size());
        if (nodo.nivel < 0) {
            if (!niveles.isEmpty()) celdas[0] = QString::fromUtf8(kTituloTotalGeneral);
        } else {
            for (const auto* n = &nodo; n && n->nivel >= 0; n = n->padre)
                celdas[static_cast<size_t>(n->nivel)] = n->etiqueta;
        }
        for (int d = 0; d < tabla.CantidadDatos(); ++d)
            celdas[static_cast<size_t>(niveles.size() + d)] =
                kv::stats::Redondear(tabla.Valor(nodo, d), planilla.decimales);
        planilla.filas.push_back(std::move(celdas));
    };
    if (tabla.Niveles() > 0)
        for (const auto* hoja : tabla.Hojas()) fila(*hoja);
    if (tabla.Raiz().filas > 0) fila(tabla.Raiz());
    return planilla;
}

QString ArchivoPlanilla(const QString& elegido) {
    if (elegido.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive)) return elegido;
    return elegido + QStringLiteral(".xlsx");
}

QString ExportarPlanilla(const kv::stats::Planilla& planilla) {
    UtilDialogo dialogo;
    dialogo.Filtro = QString::fromUtf8(kFiltroPlanilla);
    dialogo.Titulo = QString::fromUtf8(kTituloPlanilla);
    dialogo.Opcion = UtilDialogo::Guardar;
    dialogo.Mostrar();
    if (dialogo.NombreArchivo.isEmpty()) return QString();
    const QString archivo = ArchivoPlanilla(dialogo.NombreArchivo);
    QString error;
    if (!kv::stats::GrabarPlanilla(archivo, planilla, &error)) {
        interaccion().Mensaje(QStringLiteral("No se pudo grabar el archivo \"%1\": %2")
                                  .arg(QDir::toNativeSeparators(archivo), error),
                              estilo::Exclamacion, QString::fromUtf8(kTituloAvisoExportacion));
        return QString();
    }
    kv::UtilSistema::AbrirDocumento(nullptr, QStringLiteral("open"), archivo, QString(), QString(), 6);
    return archivo;
}

}  // namespace kv::ui
