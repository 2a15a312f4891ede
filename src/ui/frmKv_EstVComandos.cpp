// The toolbar's commands, the load, the save, the company list and dialog.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "stats/Empresas.h"
#include "stats/Exportacion.h"
#include "stats/Reconstruccion.h"
#include "stats/ResumenFiltros.h"
#include "ui/ExportacionGrilla.h"
#include "ui/FrmEstCfgEmp.h"
#include "ui/Grilla.h"
#include "ui/UtilNet.h"
#include "ui/frmKv_EstV.h"
#include "util/Interaccion.h"
#include "util/UtilDialogo.h"
#include "util/UtilFormulario.h"
#include "util/UtilSistema.h"

namespace kv::ui {

using namespace kv::stats;

void frmKv_EstV::Comando(const QString& clave) {
    const QString orden = clave.trimmed().toUpper();
    if (orden == QLatin1String("CERRAR")) {
        close();
    } else if (orden == QLatin1String("CANCELAR")) {
        const int r = interaccion().Mensaje(QString::fromUtf8(kPreguntaCancelar),
                                            estilo::SiNo + estilo::Exclamacion + estilo::SegundoBoton,
                                            QString::fromUtf8(kTituloCancelar));
        if (r == respuesta::Si) LimpiarVentana();
    } else if (orden == QLatin1String("NUEVO")) {
        LimpiarVentana();
    } else if (orden == QLatin1String("GRABAR")) {
        grabando_ = true;
        if (ValidarCampos()) {
            GrabarEstadistica();
            if (!cancelar_) LimpiarVentana();
        }
        grabando_ = false;
    } else if (orden == QLatin1String("CONSULTAR")) {
        ConsultarCampo();
    } else if (orden == QLatin1String("BORRAR")) {
        cancelar_ = false;
        MarcarModo(ModoGrabacion::Borrar);
        GrabarEstadistica();
        if (!cancelar_) LimpiarVentana();
    } else if (orden == QLatin1String("PLANILLA")) {
        // No spreadsheet command in this window.
    } else if (orden == QLatin1String("REPORTE")) {
        const int pagina = SSTab1->currentIndex();
        if (pagina == 0 || pagina == 2)
            ImprimirGrafico(pagina);
        else if (pagina == 1 || pagina == 3)
            ExportarGrilla();
    }
}

Definicion frmKv_EstV::DefinicionDeControles() const {
    Definicion d;
    for (int i = 0; i < LstGrupos->count() && i < kFilasCatalogo; ++i)
        d.grupos[static_cast<size_t>(i)] = LstGrupos->item(i)->checkState() == Qt::Checked;
    for (int i = 0; i < chkOrden.size() && i < kCasillasOrden; ++i) {
        d.orden[static_cast<size_t>(i)].marcada = chkOrden[i]->isChecked();
        d.orden[static_cast<size_t>(i)].posicion = lblOrden[i]->text();
    }
    d.ascendente = optAsc->isChecked();
    for (int i = 0; i < chkSum.size() && i < kCasillasTotal; ++i)
        d.totales[static_cast<size_t>(i)] = chkSum[i]->isChecked();
    d.top = Campo(QStringLiteral("top"))->text();
    d.topOtros = Campo(QStringLiteral("topOtros"))->text();
    return d;
}

EntradaCarga frmKv_EstV::EntradaFiltros() const {
    EntradaCarga e;
    e.titulos = estado_.titulos;
    for (int i = 0; i < lstEmp->count(); ++i)
        if (lstEmp->item(i)->checkState() == Qt::Checked) e.empresas << lstEmp->item(i)->text();
    for (int n = 0; n < kNiveles; ++n) {
        FiltroNivel& f = e.filtros[static_cast<size_t>(n)];
        f.valores = Campo(QStringLiteral("Grupo%1").arg(n + 1))->text();
        f.desde = Campo(QStringLiteral("g%1Desde").arg(n + 1))->text();
        f.hasta = Campo(QStringLiteral("g%1Hasta").arg(n + 1))->text();
    }
    return e;
}

QStringList frmKv_EstV::FiltrosActivos() const {
    return kv::stats::FiltrosActivos(EntradaFiltros(), principal_.gDBName);
}

void frmKv_EstV::ActualizarBotonFiltros() {
    if (!cmdFiltrar || !lstEmp || txtFields.size() < 14) return;
    const QStringList filtros = FiltrosActivos();
    if (filtros.isEmpty()) {
        cmdFiltrar->setText(QString::fromUtf8(kTextoBotonFiltrar));
        cmdFiltrar->setToolTip(QString::fromUtf8(kAyudaBotonFiltrar));
    } else {
        cmdFiltrar->setText(QStringLiteral(" Filtros (%1)").arg(filtros.size()));
        cmdFiltrar->setToolTip(QStringLiteral("Filtros activos:\n") + filtros.join(QLatin1Char('\n')));
    }
}

EntradaCarga frmKv_EstV::EntradaDeControles() const {
    const Definicion d = DefinicionDeControles();
    EntradaCarga e = EntradaFiltros();
    e.tabla = estado_.tabla;
    e.top = d.top;
    e.topOtros = d.topOtros;
    e.mesDesde = Campo(QStringLiteral("FechaD"))->text().trimmed();
    e.mesHasta = Campo(QStringLiteral("FechaH"))->text().trimmed();
    e.orden = d.orden;
    e.ascendente = d.ascendente;
    e.totales = d.totales;
    e.decimales = DecimalesConfigurados();
    return e;
}

void frmKv_EstV::CargarEstadistica() {
    if (estado_.tabla.trimmed().isEmpty()) {
        // No statistic open: nothing can match.
        interaccion().Mensaje(QString::fromUtf8(kMensajeSinDatos), estilo::Informacion,
                              QString::fromUtf8(kTituloAvisoCarga));
        return;
    }
    const EntradaCarga entrada = EntradaDeControles();
    ultimaCarga_ = kv::stats::CargarEstadistica(*almacen_, entrada, grafico_, *grilla_);
    if (ultimaCarga_.rechazada) return;
    subtituloCarga_ = SubtituloFiltros(kv::stats::FiltrosActivos(entrada, principal_.gDBName));
    MostrarCarga();
    // The load is seen first as its top groups with the remainder.
    SSTab1->setCurrentIndex(0);
}

void frmKv_EstV::GrabarEstadistica() {
    estado_.nombre = Campo(QStringLiteral("NOMBRE"))->text();
    if (borrar_)
        estado_.modo = ModoGrabacion::Borrar;
    else if (nuevo_)
        estado_.modo = ModoGrabacion::Nuevo;
    else if (existente_)
        estado_.modo = ModoGrabacion::Existente;
    else
        estado_.modo = ModoGrabacion::Ninguno;
    const Definicion definicion = DefinicionDeControles();
    kv::stats::GrabarEstadistica(*almacen_, definicion, estado_, [this](const QString& tabla) {
        ReconstruirEstadistica(*almacen_, tabla, *empresa_);
    });
    cancelar_ = estado_.cancelar;
}

void frmKv_EstV::CargarEmpresas() {
    lstEmp->clear();
    for (const EntradaEmpresa& empresa : ListaEmpresas(*almacen_, principal_.gDBName)) {
        auto* item = new QListWidgetItem(empresa.base, lstEmp);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(empresa.marcada ? Qt::Checked : Qt::Unchecked);
    }
    ActualizarBotonFiltros();
}

void frmKv_EstV::AbrirConfiguracionEmpresas() {
    // Shown without waiting; it goes away by itself once hidden.
    auto* dialogo = new FrmEstCfgEmp(
        principal_, *almacen_, [this] { CargarEmpresas(); }, this);
    dialogo->setAttribute(Qt::WA_DeleteOnClose);
    dialogo->show();
}

void frmKv_EstV::ExportarGrilla() {
    try {
        kv::ui::ExportarGrilla(*MSFlexGrid1->model());
    } catch (...) {
        // The export ends silently.
    }
}

}  // namespace kv::ui
