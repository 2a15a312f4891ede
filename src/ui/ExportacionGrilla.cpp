#include "ui/ExportacionGrilla.h"

#include <QAbstractItemModel>
#include <QDir>

#include "stats/Exportacion.h"
#include "ui/Grilla.h"
#include "util/Interaccion.h"
#include "util/UtilDialogo.h"
#include "util/UtilSistema.h"

namespace kv::ui {

std::vector<QStringList> FilasDeModelo(const QAbstractItemModel& modelo) {
    std::vector<QStringList> filas;
    const int columnas = modelo.columnCount();
    QStringList cabecera;
    for (int c = 0; c < columnas; ++c) {
        QVariant texto = modelo.headerData(c, Qt::Horizontal, kRolTextoExportado);
        if (!texto.isValid()) texto = modelo.headerData(c, Qt::Horizontal, Qt::DisplayRole);
        cabecera << texto.toString();
    }
    filas.push_back(cabecera);
    for (int f = 0; f < modelo.rowCount(); ++f) {
        QStringList celdas;
        for (int c = 0; c < columnas; ++c) {
            const QModelIndex indice = modelo.index(f, c);
            QVariant texto = modelo.data(indice, kRolTextoExportado);
            if (!texto.isValid()) texto = modelo.data(indice, Qt::DisplayRole);
            celdas << texto.toString();
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

}  // namespace kv::ui
