// The definition editor: grouping catalog, levels, ordering labels, the name
// check, the reset, browse and edit modes, and the entry fields' habits.
#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "lookup/Lib_ClsCons3.h"
#include "stats/Catalogo.h"
#include "ui/UtilNet.h"
#include "ui/frmKv_EstV.h"
#include "util/Interaccion.h"
#include "util/UtilFormulario.h"
#include "util/UtilGeneral.h"

namespace kv::ui {

using namespace kv::stats;
namespace UF = kv::UtilFormulario;

namespace {

bool EsCampoFecha(const QLineEdit* campo) {
    const QString etiqueta = UF::Etiqueta(campo).trimmed();
    return etiqueta.compare(QLatin1String("MES"), Qt::CaseInsensitive) == 0 ||
           etiqueta.compare(QLatin1String("FECHA"), Qt::CaseInsensitive) == 0;
}

// A key that types a character: printable text, without Ctrl (AltGr, which some
// layouts send as Ctrl+Alt, still types).
bool EsCaracterEscrito(const QKeyEvent& tecla) {
    const QString texto = tecla.text();
    if (texto.isEmpty()) return false;
    for (const QChar c : texto)
        if (!c.isPrint()) return false;
    const Qt::KeyboardModifiers m = tecla.modifiers();
    if (m & Qt::MetaModifier) return false;
    if ((m & Qt::ControlModifier) && !(m & Qt::AltModifier)) return false;
    return true;
}

bool EsCampoRango(const QLineEdit* campo) {
    const QString clave = UF::Clave(campo);
    return clave.contains(QLatin1String("DESDE"), Qt::CaseInsensitive) ||
           clave.contains(QLatin1String("HASTA"), Qt::CaseInsensitive);
}

}  // namespace

void frmKv_EstV::LlenarGrupos() {
    const bool antes = gruposBloqueados_;
    gruposBloqueados_ = true;
    LstGrupos->clear();
    for (const FilaCatalogo& fila : CatalogoGrupos()) {
        auto* item = new QListWidgetItem(TextoFilaCatalogo(fila), LstGrupos);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        // The row's text carries its code after the blanks; the list shows the caption.
        item->setData(Qt::DisplayRole, TextoFilaCatalogo(fila));
        item->setToolTip(fila.titulo);
    }
    gruposBloqueados_ = antes;
}

void frmKv_EstV::AsignarGrupo(int nivel, const QString& titulo) {
    if (nivel < 1 || nivel > 3) return;
    lblGrupo[static_cast<size_t>(nivel - 1)]->setText(QStringLiteral(" Grupo %1 (").arg(nivel) + titulo +
                                                      QStringLiteral(")"));
    const bool esFecha = titulo.compare(QLatin1String("Fecha"), Qt::CaseInsensitive) == 0;
    for (const QString& clave :
         {QStringLiteral("GRUPO%1"), QStringLiteral("G%1DESDE"), QStringLiteral("G%1HASTA")}) {
        if (QLineEdit* campo = Campo(clave.arg(nivel))) {
            UF::PonerEtiqueta(campo, titulo);
            campo->setMaxLength(esFecha ? 8 : 1000);
        }
    }
    if (QCheckBox* casilla = CasillaOrden(QStringLiteral("grupo%1").arg(nivel))) casilla->setText(titulo);
}

void frmKv_EstV::LstGrupos_ItemCheck(QListWidgetItem* fila) {
    if (gruposBloqueados_ || !fila || fila->checkState() != Qt::Checked) return;
    int marcadas = 0;
    for (int i = 0; i < LstGrupos->count(); ++i) {
        interaccion().ProcesarEventos();
        if (LstGrupos->item(i)->checkState() == Qt::Checked) ++marcadas;
    }
    if (marcadas > 3) {
        gruposBloqueados_ = true;
        fila->setCheckState(Qt::Unchecked);
        gruposBloqueados_ = false;
        interaccion().Mensaje(QString::fromUtf8(kMensajeTresGrupos),
                              estilo::Informacion + estilo::SoloAceptar,
                              QString::fromUtf8(kTituloAvisoUsuario));
    }
}

void frmKv_EstV::chkOrden_Click(int indice) {
    if (ordenBloqueado_ || indice < 0 || indice >= chkOrden.size()) return;
    EstadoOrden orden;
    for (int i = 0; i < chkOrden.size(); ++i) {
        const QString etiqueta = lblOrden[i]->text();
        orden[static_cast<size_t>(i)].posicion = etiqueta;
        orden[static_cast<size_t>(i)].marcada = etiqueta != QLatin1String("x");
    }
    MarcarOrden(orden, indice, chkOrden[indice]->isChecked());
    for (int i = 0; i < chkOrden.size(); ++i) lblOrden[i]->setText(orden[static_cast<size_t>(i)].posicion);
}

void frmKv_EstV::MarcarModo(ModoGrabacion modo) {
    nuevo_ = modo == ModoGrabacion::Nuevo;
    existente_ = modo == ModoGrabacion::Existente;
    borrar_ = modo == ModoGrabacion::Borrar;
    estado_.modo = modo;
}

void frmKv_EstV::ValidarCampo(QLineEdit* campo) {
    cancelar_ = false;
    if (!campo) return;
    const QString texto = campo->text().trimmed();
    const QString clave = UF::Clave(campo).trimmed();
    if (clave.compare(QLatin1String("NOMBRE"), Qt::CaseInsensitive) != 0) return;
    if (texto.isEmpty()) {
        cancelar_ = true;
        interaccion().Mensaje(QString::fromUtf8(kMensajeNombreVacio), estilo::Critico + estilo::SoloAceptar,
                              QString::fromUtf8(kTituloAvisoOperador));
        campo->setFocus();
        return;
    }
    Definicion definicion;
    EstadoDefinicion encontrado;
    bool existe = false;
    const std::vector<PasoAtrapado> pasos = {
        [&] {
            if (!grabando_) {
                // The reset keeps the typed name.
                const QString escrito = campo->text();
                LimpiarVentana();
                campo->setText(escrito);
            }
        },
        [&] { existe = BuscarDefinicion(*almacen_, campo->text(), definicion, encontrado); },
        [&] {
            estado_.nombre = campo->text();
            if (existe) {
                MarcarModo(ModoGrabacion::Existente);
                campo->setEnabled(false);
                // A name saved meanwhile by someone else is updated, in its own table.
                estado_.tabla = encontrado.tabla;
                estado_.camposCargados = encontrado.camposCargados;
                if (!grabando_) {
                    CargarDefinicion();
                    HabilitarEdicion(true);
                }
            } else {
                MarcarModo(ModoGrabacion::Nuevo);
                if (!grabando_) HabilitarEdicion(true);
            }
        },
    };
    const bool completo = EjecutarPasos(pasos, [](const KvError& e) {
        return kv::UtilGeneral::MostrarError(e, QStringLiteral("Campo_Valida"));
    });
    if (!completo && !existe && !nuevo_) cancelar_ = true;
}

bool frmKv_EstV::ValidarCampos() {
    grabando_ = true;
    for (QLineEdit* campo : txtFields) {
        ValidarCampo(campo);
        if (cancelar_) return false;
    }
    grabando_ = false;
    return true;
}

void frmKv_EstV::CargarDefinicion() {
    Definicion definicion;
    EstadoDefinicion leido;
    if (!BuscarDefinicion(*almacen_, estado_.nombre, definicion, leido)) return;
    LlenarGrupos();
    ordenBloqueado_ = true;
    for (int i = 0; i < chkOrden.size(); ++i) {
        chkOrden[i]->setChecked(definicion.orden[static_cast<size_t>(i)].marcada);
        lblOrden[i]->setText(definicion.orden[static_cast<size_t>(i)].posicion);
    }
    ordenBloqueado_ = false;
    (definicion.ascendente ? optAsc : optDes)->setChecked(true);
    for (int i = 0; i < chkSum.size(); ++i) chkSum[i]->setChecked(definicion.totales[static_cast<size_t>(i)]);
    if (QLineEdit* top = Campo(QStringLiteral("top"))) top->setText(definicion.top);
    if (QLineEdit* otros = Campo(QStringLiteral("TopOtros"))) otros->setText(definicion.topOtros);
    estado_.tabla = leido.tabla;
    estado_.camposCargados = leido.camposCargados;
    gruposBloqueados_ = true;
    for (int i = 0; i < LstGrupos->count() && i < kFilasCatalogo; ++i)
        LstGrupos->item(i)->setCheckState(definicion.grupos[static_cast<size_t>(i)] ? Qt::Checked
                                                                                    : Qt::Unchecked);
    gruposBloqueados_ = false;
    int nivel = 0;
    for (int i = 0; i < LstGrupos->count(); ++i) {
        if (LstGrupos->item(i)->checkState() != Qt::Checked) continue;
        ++nivel;
        const QString titulo = TituloDeEntrada(LstGrupos->item(i)->text());
        AsignarGrupo(nivel, titulo);
        if (nivel <= kNiveles) estado_.titulos[static_cast<size_t>(nivel - 1)] = titulo;
    }
    ActualizarBotonFiltros();
}

void frmKv_EstV::LimpiarVentana() {
    const std::vector<PasoAtrapado> pasos = {
        [&] {
            nuevo_ = existente_ = borrar_ = grabando_ = false;
            estado_.modo = ModoGrabacion::Ninguno;
        },
        [&] { UF::PrepararControles(this, 1); },
        [&] { HabilitarEdicion(false); },
        [&] { LlenarGraficos(); },
        [&] { LlenarGrupos(); },
        [&] { CargarEmpresas(); },
        [&] { estado_.camposCargados.clear(); },
        [&] {
            for (int n = 0; n < 3; ++n)
                lblGrupo[static_cast<size_t>(n)]->setText(QStringLiteral(" Grupo %1 ()").arg(n + 1));
        },
        [&] {
            for (int n = 0; n < kNiveles; ++n) {
                if (QCheckBox* c = CasillaOrden(QStringLiteral("grupo%1").arg(n + 1)))
                    c->setText(TituloNivelVacio(n));
                estado_.titulos[static_cast<size_t>(n)] = TituloNivelVacio(n);
            }
        },
        [&] {
            for (QCheckBox* c : chkOrden) c->setChecked(false);
            optAsc->setChecked(true);
        },
        [&] {
            for (QCheckBox* c : chkSum) c->setChecked(false);
            for (const char* clave : {"Consumo", "Costo", "Venta"})
                if (QCheckBox* c = CasillaTotal(QString::fromLatin1(clave))) c->setChecked(true);
        },
        [&] {
            Campo(QStringLiteral("TOP"))->setText(QString::number(10));
            Campo(QStringLiteral("TOPOtros"))->setText(QStringLiteral("Otros"));
        },
        [&] { RestablecerVistas(); },
        [&] { ActualizarBotonFiltros(); },
        [&] { Campo(QStringLiteral("NOMBRE"))->setFocus(); },
    };
    EjecutarPasos(pasos, [](const KvError&) { return respuesta::Omitir; });
}

void frmKv_EstV::HabilitarEdicion(bool editar) {
    for (QLineEdit* campo : txtFields) campo->setEnabled(editar);
    txtFields[0]->setEnabled(!editar);
    if (editar)
        cmdCargar->setEnabled(true);
    else
        cmdCargar->setEnabled(false);
    UtilNet1->NuevoEnabled(!editar);
    UtilNet1->BorrarEnabled(editar ? existente_ : false);
    UtilNet1->GrabarEnabled(editar);
    UtilNet1->CerrarEnabled(!editar);
    UtilNet1->CancelarEnabled(editar);
    if (editar) UtilNet1->ReporteEnabled(true);
}

void frmKv_EstV::PonerConsultaHabilitada(QLineEdit* campo) {
    UtilNet1->ConsultaEnabled(!UF::Etiqueta(campo).trimmed().isEmpty());
}

void frmKv_EstV::txtFields_GotFocus(QLineEdit* campo) {
    campoActivo_ = campo;
    PonerConsultaHabilitada(campo);
    UF::PrepararFoco(campo, QString());
    ultimoIndice_ = campo->property("Index").toInt();
    // Through the style sheet, so the window's skin does not hide it.
    campo->setStyleSheet(QString::fromLatin1(kFondoConFoco));
}

void frmKv_EstV::txtFields_LostFocus(QLineEdit* campo) {
    campo->setStyleSheet(QString::fromLatin1(kFondoSinFoco));
}

bool frmKv_EstV::txtFields_KeyDown(QLineEdit* campo, int codigo) {
    if (codigo == tecla::Enter) {
        ValidarCampo(campo);
        if (!cancelar_) UF::AvanzarFoco(codigo, campo);
    }
    PonerConsultaHabilitada(campo);
    return false;
}

bool frmKv_EstV::txtFields_KeyPress(QLineEdit* campo, QString& texto) {
    if (texto.isEmpty()) return false;
    int caracter = texto.at(0).unicode();
    if (EsCampoFecha(campo)) {
        if (caracter != 8 && campo->text().size() == 2) {
            campo->setText(campo->text() + QStringLiteral("/"));
            campo->setCursorPosition(campo->text().size());
        }
    } else {
        const int antes = caracter;
        UF::FiltrarTecla(campo, caracter);
        if (caracter != antes && caracter != 0) texto = QString(QChar(static_cast<char16_t>(caracter)));
    }
    if (caracter == 13) caracter = 0;
    return caracter == 0;
}

bool frmKv_EstV::EventoCampo(QLineEdit* campo, QEvent* evento) {
    switch (evento->type()) {
        case QEvent::FocusIn:
            txtFields_GotFocus(campo);
            break;
        case QEvent::FocusOut:
            txtFields_LostFocus(campo);
            break;
        case QEvent::KeyPress: {
            auto* tecla = static_cast<QKeyEvent*>(evento);
            const int codigo = CodigoTecla(tecla->key());
            if (codigo == tecla::Enter) {
                // Taken here before the check runs: it runs once and the key goes no further.
                evento->accept();
                txtFields_KeyDown(campo, codigo);
                return true;
            }
            txtFields_KeyDown(campo, codigo);
            // Tab, the arrows, Home, End and the clipboard keys are the field's own.
            if (!EsCaracterEscrito(*tecla)) return false;
            QString texto = tecla->text();
            const QString original = texto;
            if (txtFields_KeyPress(campo, texto)) return true;
            if (texto != original) {
                campo->insert(texto);
                return true;
            }
            return false;
        }
        case QEvent::MouseButtonPress: {
            auto* raton = static_cast<QMouseEvent*>(evento);
            if (raton->button() == Qt::RightButton) {
                raton->accept();
                // A field that is off offers no lookup: a pick there would act unseen.
                if (!campo->isEnabled()) return true;
                campo->setFocus(Qt::MouseFocusReason);
                campoActivo_ = campo;
                ultimoIndice_ = campo->property("Index").toInt();
                ConsultarCampo();
                return true;
            }
            break;
        }
        case QEvent::ContextMenu:
            return true;  // the right button runs the lookup instead
        default:
            break;
    }
    return false;
}

void frmKv_EstV::ConsultarCampo() {
    QLineEdit* campo = campoActivo_;
    // A field that is off takes no pick (the name field of a loaded definition:
    // a pick there would load another one).
    if (!campo || !campo->isEnabled()) return;
    const QString etiqueta = UF::Etiqueta(campo).trimmed();
    if (etiqueta.isEmpty()) return;
    const bool multiple = !EsCampoRango(campo);
    auto ignorar = [](const KvError&) { return respuesta::Omitir; };

    if (etiqueta.compare(QLatin1String("CAB_ESTV"), Qt::CaseInsensitive) == 0) {
        // The lookups query the program-wide connection: point it at the store
        // for this one search, and always put it back.
        kv::db::DB_Dll& erp = principal_;
        const QString usuario = erp.gUsuario, clave = erp.gUserPassWord, base = erp.gDBName;
        QString valor;
        bool hubo = false;
        EjecutarPasos({
                          [&] {
                              if (erp.gOpenFlag) erp.gCnn.Close();
                          },
                          [&] {
                              erp.gDBName = almacen_->gDBName;
                              erp.gUserPassWord = almacen_->gUserPassWord;
                              erp.gUsuario = almacen_->gUsuario;
                              erp.OpenServerADODB(false, 3, QString(), false, true);
                              erp.gCnn.SetDefaultDatabase(erp.gDBName);
                          },
                          [&] {
                              PeticionConsulta peticion;
                              peticion.fuente = QString::fromLatin1(kSentenciaNombresEstadisticas);
                              peticion.campoDevuelto = QStringLiteral("NOMBRE");
                              peticion.multiple = false;
                              const auto respuesta = consultor_ ? consultor_(peticion) : std::nullopt;
                              hubo = respuesta.has_value();
                              if (respuesta) valor = respuesta->valor;
                          },
                      },
                      ignorar);
        EjecutarPasos({
                          [&] {
                              if (erp.gOpenFlag) erp.gCnn.Close();
                          },
                          [&] {
                              erp.gUsuario = usuario;
                              erp.gUserPassWord = clave;
                              erp.gDBName = base;
                              erp.OpenServerADODB(false, 3, QString(), true, true);
                              erp.gCnn.SetDefaultDatabase(base);
                          },
                      },
                      ignorar);
        if (!hubo) return;
        campo->setText(valor.trimmed());
    } else if (EsCampoFecha(campo)) {
        QString fecha;
        kv::UtilGeneral::ElegirFecha(fecha);
        campo->setText(fecha.trimmed().mid(3));
    } else {
        int fila = -1;
        for (int i = 0; i < kFilasCatalogo; ++i)
            if (CatalogoGrupos()[static_cast<size_t>(i)].titulo.compare(etiqueta, Qt::CaseInsensitive) == 0)
                fila = i;
        if (fila < 0) return;
        const FilaCatalogo& catalogo = CatalogoGrupos()[static_cast<size_t>(fila)];
        PeticionConsulta peticion;
        peticion.fuente = catalogo.fuente;
        peticion.campoDevuelto = catalogo.columna;
        peticion.multiple = multiple;
        peticion.arbol = catalogo.arbol;
        const auto respuesta = consultor_ ? consultor_(peticion) : std::nullopt;
        // Until a lookup window serves the source, the field is left as it is.
        if (!respuesta) return;
        if (multiple) {
            QStringList valores;
            for (const QString& v : respuesta->valores) valores << v.trimmed();
            campo->setText(valores.join(QLatin1Char(',')).trimmed());
        } else {
            campo->setText(respuesta->valor.trimmed());
        }
    }
    // As if Enter had been pressed in the field.
    txtFields_KeyDown(campo, tecla::Enter);
}

std::optional<RespuestaConsulta> frmKv_EstV::ConsultorListas(const PeticionConsulta& peticion,
                                                             QWidget* /*padre*/) {
    // Every lookup goes through the program's one lookup request.
    kv::lookup::Lib_ClsCons3& consulta = kv::lookup::Lib_ClsCons3::Compartida();
    consulta.CampoDevuelto = peticion.campoDevuelto;
    if (peticion.multiple) consulta.Checks = true;
    consulta.ConsultaSearch(peticion.fuente, peticion.arbol);
    RespuestaConsulta respuesta;
    respuesta.valor = consulta.ValorDevuelto;
    respuesta.valores = consulta.Valores;
    return respuesta;
}

}  // namespace kv::ui
