#include "access/frmAcceso.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

#include "access/ArchivoBases.h"
#include "access/Ayuda.h"
#include "access/Lanzador.h"
#include "core/Errores.h"
#include "util/Interaccion.h"
#include "util/UtilGeneral.h"
#include "util/UtilRutas.h"

static void RegistrarRecursosAcceso() {
    static const bool registrado = [] {
        Q_INIT_RESOURCE(acceso);
        return true;
    }();
    (void)registrado;
}

namespace kv::access {

using kv::db::DB_Dll;

namespace {

// Error numbers of the old runtime and the provider that registration passes over.
constexpr qint32 kArchivoNoEncontrado = 53;
bool ErrorQueSeOmite(qint32 numero) {
    return numero == 3704 || numero == -2147023840 || numero == 1056 || numero == 440 || numero == 20480;
}

const QString kYaRegistrada = QStringLiteral("La conexion que intenta registrar ya existe ");
const QString kTituloAtencion = QStringLiteral("Atencion");
const QString kTituloAvisoOperador = QStringLiteral("AVISO AL OPERADOR");
const QString kTituloConexiones = QStringLiteral("Conexiones registradas");
const QString kTituloLanzador = QStringLiteral("Crear Acceso Directo");
const QString kTituloRegistrar = QStringLiteral("Registrar");
const QString kFaltanDatos =
    QStringLiteral("Escriba el servidor y la base de datos de la conexión que desea registrar.");

QString& ArchivoCaptura() {
    static QString archivo;
    return archivo;
}

// "SRV01:1444" -> "SRV01": the key part of a server text, upper-cased.
QString ServidorClave(const QString& texto) {
    QString servidor = texto.trimmed().toUpper();
    const qsizetype dosPuntos = servidor.indexOf(u':');
    if (dosPuntos >= 0) servidor = servidor.left(dosPuntos);
    return servidor;
}

QString NombreRegistro(const QString& base, const QString& servidor) {
    return base.trimmed().toUpper() + QStringLiteral(" / ") + ServidorClave(servidor);
}

}  // namespace

frmAcceso::frmAcceso(QWidget* padre) : QDialog(padre) {
    RegistrarRecursosAcceso();
    setObjectName(QStringLiteral("frmAcceso"));
    setWindowTitle(QStringLiteral("Control de Acceso"));
    setWindowIcon(QIcon(QStringLiteral(":/acceso/kv_estv.png")));

    lblBases = new QLabel(QStringLiteral("Conexiones registradas"), this);
    lblBases->setObjectName(QStringLiteral("lblBases"));
    lstBases = new QListWidget(this);
    lstBases->setObjectName(QStringLiteral("lstBases"));
    lstBases->setMinimumWidth(260);
    lblBases->setBuddy(lstBases);

    lblAcceso = new QLabel(QStringLiteral("Complete los datos de conexion"), this);
    lblAcceso->setObjectName(QStringLiteral("lblAcceso"));
    framAcceso = new QGroupBox(this);
    framAcceso->setObjectName(QStringLiteral("framAcceso"));

    CboPlataformaDB = new QComboBox(framAcceso);
    CboPlataformaDB->setObjectName(QStringLiteral("CboPlataformaDB"));
    CboPlataformaDB->addItems({QStringLiteral("SQL Server"), QStringLiteral("ORACLE")});

    auto caja = [this](const char* nombre, const QString& ayuda) {
        auto* c = new QLineEdit(framAcceso);
        c->setObjectName(QString::fromLatin1(nombre));
        c->setToolTip(ayuda);
        // Wide enough for its hint, which is never cut.
        c->setMinimumWidth(qMax(260, c->fontMetrics().horizontalAdvance(ayuda) + 24));
        c->installEventFilter(this);
        return c;
    };
    TxtServidor = caja("TxtServidor", QStringLiteral("ingrese el nombre del servidor e instancia"));
    TxtPuerto = caja("TxtPuerto", QStringLiteral("Ingrese el Puerto "));
    TxtPuerto->setText(QString::number(kPuertoPorDefecto));
    TxtPuerto->setMinimumWidth(70);
    TxtPuerto->setMaximumWidth(90);
    TxtDbName = caja("TxtDbName", QStringLiteral("ingrese el nombre de la base de datos"));
    TxtUserId = caja("TxtUserId", QStringLiteral("Ingrese el nombre de usuario"));
    TxtUserPassword = caja("TxtUserPassword", QStringLiteral("Ingrese la contraseña"));
    TxtUserPassword->setEchoMode(QLineEdit::Password);
    TxtUserPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));

    bcAceptar = new QPushButton(QStringLiteral("Aceptar"), this);
    bcAceptar->setObjectName(QStringLiteral("bcAceptar"));
    bcAceptar->setDefault(true);
    bcCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
    bcCancelar->setObjectName(QStringLiteral("bcCancelar"));
    CmdRegistrar = new QPushButton(QStringLiteral("Registrar"), this);
    CmdRegistrar->setObjectName(QStringLiteral("CmdRegistrar"));
    CmdRegistrar->setToolTip(QStringLiteral("Registra en este equipo la conexión escrita, una vez probada"));
    CmdLineaComando = new QPushButton(QStringLiteral("Crear Acceso Directo"), this);
    CmdLineaComando->setObjectName(QStringLiteral("CmdLineaComando"));
    CmdLineaComando->setToolTip(
        QStringLiteral("Crea en el escritorio un acceso directo que abre el programa en esta ventana"));

    // Layout: the list on the left, the connection data on the right, the buttons below.
    auto etiqueta = [this](const char* nombre, const QString& texto, QWidget* caja) {
        auto* l = new QLabel(texto, framAcceso);
        l->setObjectName(QString::fromLatin1(nombre));
        l->setBuddy(caja);
        return l;
    };
    auto* servidorYPuerto = new QHBoxLayout;
    servidorYPuerto->addWidget(TxtServidor, 1);
    servidorYPuerto->addWidget(etiqueta("lblPuerto", QStringLiteral("&Puerto:"), TxtPuerto));
    servidorYPuerto->addWidget(TxtPuerto);
    auto* formulario = new QFormLayout(framAcceso);
    formulario->addRow(etiqueta("lblPlataforma", QStringLiteral("P&lataforma:"), CboPlataformaDB),
                       CboPlataformaDB);
    formulario->addRow(etiqueta("lblServidor", QStringLiteral("&Servidor:"), TxtServidor), servidorYPuerto);
    formulario->addRow(etiqueta("lblDbName", QStringLiteral("&Base de datos:"), TxtDbName), TxtDbName);
    formulario->addRow(etiqueta("lblUserId", QStringLiteral("&Usuario:"), TxtUserId), TxtUserId);
    formulario->addRow(etiqueta("lblUserPassword", QStringLiteral("C&ontraseña:"), TxtUserPassword),
                       TxtUserPassword);

    auto* izquierda = new QVBoxLayout;
    izquierda->addWidget(lblBases);
    izquierda->addWidget(lstBases, 1);
    auto* derecha = new QVBoxLayout;
    derecha->addWidget(lblAcceso);
    derecha->addWidget(framAcceso);
    derecha->addStretch(1);
    auto* arriba = new QHBoxLayout;
    arriba->addLayout(izquierda, 1);
    arriba->addLayout(derecha, 1);
    auto* botones = new QHBoxLayout;
    botones->addWidget(CmdRegistrar);
    botones->addWidget(CmdLineaComando);
    botones->addStretch(1);
    botones->addWidget(bcAceptar);
    botones->addWidget(bcCancelar);
    auto* todo = new QVBoxLayout(this);
    todo->addLayout(arriba, 1);
    todo->addLayout(botones);

    // Events.
    connect(lstBases, &QListWidget::currentRowChanged, this, [this](int fila) {
        if (fila >= 0) AsignarDatosBase();
    });
    connect(lstBases, &QListWidget::itemClicked, this, [this] { AsignarDatosBase(); });
    connect(lstBases, &QListWidget::itemDoubleClicked, this, [this] {
        AsignarDatosBase();
        bcAceptar_Click();
    });
    for (QLineEdit* c : {TxtDbName, TxtServidor, TxtUserPassword})
        connect(c, &QLineEdit::textChanged, this, [this, c] { MensajeInicial(c); });
    for (QLineEdit* c : {TxtDbName, TxtServidor, TxtUserId, TxtUserPassword})
        connect(c, &QLineEdit::textChanged, this, [this, c] { PintarPista(c); });
    connect(bcAceptar, &QPushButton::clicked, this, [this] { bcAceptar_Click(); });
    connect(bcCancelar, &QPushButton::clicked, this, [this] { bcCancelar_Click(); });
    connect(CmdRegistrar, &QPushButton::clicked, this, [this] { CmdRegistrar_Click(); });
    connect(CmdLineaComando, &QPushButton::clicked, this, [this] { CmdLineaComando_Click(); });

    // Load.
    adjustSize();
    Centrar();
    llenarlist();
    MensajeInicial(TxtUserId);
    MensajeInicial(TxtUserPassword);
    MensajeInicial(TxtDbName);
    MensajeInicial(TxtDbName);
    MensajeInicial(TxtServidor);
}

frmAcceso::~frmAcceso() = default;

void frmAcceso::Centrar() {
    QScreen* pantalla = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!pantalla) return;
    const QRect area = pantalla->geometry();
    move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
}

QString frmAcceso::PistaDe(const QLineEdit* caja) const {
    if (caja == TxtUserId) return QString::fromUtf8(kPistaUsuario);
    if (caja == TxtDbName) return QString::fromUtf8(kPistaBase);
    if (caja == TxtServidor) return QString::fromUtf8(kPistaServidor);
    return QString();
}

void frmAcceso::PintarPista(QLineEdit* caja) {
    // The hint is real text; it only looks like a hint.
    const QString pista = PistaDe(caja);
    QPalette paleta = caja->palette();
    const QPalette base = QApplication::palette(caja);
    paleta.setColor(QPalette::Text, !pista.isEmpty() && caja->text() == pista
                                        ? base.color(QPalette::PlaceholderText)
                                        : base.color(QPalette::Text));
    caja->setPalette(paleta);
}

void frmAcceso::MensajeInicial(QLineEdit* caja) {
    if (enMensajeInicial_) return;
    enMensajeInicial_ = true;
    const QString pista = PistaDe(caja);
    if (caja->text().trimmed().isEmpty() || caja->text() == pista) {
        if (caja->text() != pista) caja->setText(pista);
        caja->setSelection(0, int(caja->text().trimmed().size()));
        PintarPista(caja);
        caja->update();
    }
    enMensajeInicial_ = false;
}

bool frmAcceso::eventFilter(QObject* objeto, QEvent* evento) {
    if (evento->type() == QEvent::FocusIn) {
        auto* caja = qobject_cast<QLineEdit*>(objeto);
        if (caja == TxtUserId) MensajeInicial(TxtUserId);
        // A click into a box would drop the selection after focusing it: the hint
        // is selected again once the click is done, so that typing replaces it.
        if (caja && !PistaDe(caja).isEmpty() && caja->text() == PistaDe(caja)) {
            QPointer<QLineEdit> destino(caja);
            QTimer::singleShot(0, this, [destino, this] {
                if (destino && destino->text() == PistaDe(destino)) destino->selectAll();
            });
        }
    }
    return QDialog::eventFilter(objeto, evento);
}

void frmAcceso::llenarlist() {
    LecturaBases lectura;
    const std::vector<PasoAtrapado> pasos = {
        [&] { rutaArchivo = RutaBases(); },
        [&] { lstBases->clear(); },
        [&] {
            lectura = LeerBases(rutaArchivo);
            if (!lectura.existe)
                throw KvExcepcion(kArchivoNoEncontrado,
                                  QStringLiteral("No se encontró el archivo %1").arg(rutaArchivo),
                                  QStringLiteral("frmAcceso"));
        },
        [&] {
            const QSignalBlocker bloqueo(lstBases);
            for (const ConexionRegistrada& c : lectura.conexiones)
                if (!c.nombre.trimmed().isEmpty()) lstBases->addItem(c.nombre);
            for (int i = 0; i < lstBases->count(); ++i)
                lstBases->item(i)->setToolTip(lstBases->item(i)->text());
        },
        [&] {
            if (!lectura.lineasOmitidas.isEmpty())
                interaccion().Mensaje(MensajeLineasOmitidas(rutaArchivo, lectura.lineasOmitidas),
                                      estilo::SoloAceptar + estilo::Exclamacion, kTituloConexiones);
        },
        [&] {
            // Selecting the first entry fills the boxes through the selection event.
            if (lstBases->count() > 0) lstBases->setCurrentRow(0);
        },
    };
    EjecutarPasos(pasos, kv::core::ManejadorRutina(QStringLiteral("FormLoad")));
}

void frmAcceso::DatosBase(const QString& nombre) {
    try {
        const QString ruta = RutaBases();
        if (!QFileInfo::exists(ruta)) return;
        const LecturaBases lectura = LeerBases(ruta);
        const QString buscado = nombre.trimmed();
        for (const ConexionRegistrada& c : lectura.conexiones) {
            if (c.nombre.trimmed() != buscado) continue;
            servidorEncontrado = c.servidor;
            baseEncontrada = c.base;
            usuarioEncontrado = c.usuario;
            claveEncontrada = kv::UtilGeneral::Decodificar(c.clave);
            break;
        }
    } catch (const KvExcepcion& e) {
        kv::UtilGeneral::MostrarError(e.error(), QStringLiteral("DatosBase"));
    }
}

void frmAcceso::AsignarDatosBase() {
    QListWidgetItem* elegido = lstBases->currentItem();
    if (!elegido) return;
    DatosBase(elegido->text().trimmed());
    // An entry without a port of its own is on the default one, not on the port
    // of the entry shown before it.
    puerto = QString::number(kPuertoPorDefecto);
    const qsizetype dosPuntos = servidorEncontrado.indexOf(u':');
    if (dosPuntos >= 0) {
        puerto = servidorEncontrado.mid(dosPuntos + 1);
        servidorEncontrado = servidorEncontrado.left(dosPuntos).trimmed().toUpper();
    }
    TxtServidor->setText(servidorEncontrado);
    TxtUserId->setText(QString());
    TxtUserPassword->setText(QString());
    TxtDbName->setText(baseEncontrada);
    TxtPuerto->setText(puerto.toString());
}

void frmAcceso::CargarDatos(const kv::db::DatosAcceso& datos) {
    CboPlataformaDB->setCurrentIndex(0);
    // Nothing handed in (a first start): the boxes keep the entry the list shows
    // selected, so that what is highlighted is what gets accepted.
    if (datos.servidor.trimmed().isEmpty() && datos.base.trimmed().isEmpty() && lstBases->currentItem()) {
        TxtUserId->setText(datos.usuario);
        TxtUserPassword->setText(datos.clave);
        ElegirFoco();
        return;
    }
    // A server handed back earlier with its port ("SRV01,1444") shows it apart again.
    QString servidor = datos.servidor;
    QString puertoTexto = QString::number(kPuertoPorDefecto);
    const qsizetype coma = servidor.lastIndexOf(u',');
    if (coma >= 0) {
        bool esNumero = false;
        const int n = servidor.mid(coma + 1).trimmed().toInt(&esNumero);
        if (esNumero && n > 0) {
            puertoTexto = QString::number(n);
            servidor = servidor.left(coma);
        }
    }
    TxtDbName->setText(datos.base);
    TxtServidor->setText(servidor);
    TxtUserId->setText(datos.usuario);
    TxtUserPassword->setText(datos.clave);
    TxtPuerto->setText(puertoTexto);
    puerto = puertoTexto;
    ElegirFoco();
}

void frmAcceso::ElegirFoco() {
    // Server and database known: the user name is what is left to type.
    const bool conocidos =
        TxtServidor->text() != PistaDe(TxtServidor) && TxtDbName->text() != PistaDe(TxtDbName);
    if (conocidos)
        TxtUserId->setFocus();
    else if (lstBases->count() > 0)
        lstBases->setFocus();
    else
        TxtServidor->setFocus();
}

QString frmAcceso::ServidorConPuerto() const {
    const QString servidor = TxtServidor->text();
    const int numero = static_cast<int>(kv::UtilGeneral::TextoANumero(TxtPuerto->text()));
    const bool yaLoDice = servidor.contains(u':') || servidor.contains(u',') || servidor.contains(u'\\') ||
                          servidor.contains(u'#');
    if (CboPlataformaDB->currentIndex() > 0 || yaLoDice || servidor.trimmed().isEmpty() || numero <= 0 ||
        numero == kPuertoPorDefecto)
        return servidor;
    return servidor + u',' + QString::number(numero);
}

void frmAcceso::LeerDatos(kv::db::DatosAcceso& datos) const {
    datos.base = TxtDbName->text();
    datos.servidor = ServidorConPuerto();
    datos.usuario = TxtUserId->text();
    datos.clave = TxtUserPassword->text();
    datos.plataforma = CboPlataformaDB->currentIndex();
}

void frmAcceso::bcAceptar_Click() {
    const QString nombre = NombreRegistro(TxtDbName->text(), TxtServidor->text());
    servidorEncontrado.clear();
    DatosBase(nombre);
    Aceptar = true;
    hide();
    done(QDialog::Accepted);
}

void frmAcceso::bcCancelar_Click() {
    hide();
    done(QDialog::Rejected);
}

void frmAcceso::reject() {
    // Escape and the window's close box cancel, as the Cancel button does.
    Aceptar = false;
    QDialog::reject();
}

bool frmAcceso::ExisteBaseDeDatos(const QString& servidor, const QString& base, const QString& usuario,
                                  const QString& clave, const QString& proveedor) {
    bool resultado = true;
    DB_Dll& principal = DB_Dll::Principal();
    // The string is built the way the class builds its own, values protected alike.
    DB_Dll plantilla;
    plantilla.gServidor = servidor;
    plantilla.gDBName = base;
    plantilla.gUsuario = usuario;
    plantilla.gUserPassWord = clave;
    QString cadena = plantilla.CadenaSQLServer();
    const QString prefijo = QStringLiteral("PROVIDER=") + DB_Dll::pSQLOLEDB() + u';';
    if (cadena.startsWith(prefijo))
        cadena = QStringLiteral("PROVIDER=") + proveedor + u';' + cadena.mid(prefijo.size());
    bool abierta = false;
    const std::vector<PasoAtrapado> pasos = {
        [&] {
            if (principal.gCnn.State() != kv::db::ado::Cerrado) principal.gCnn.Close();
        },
        [&] {
            principal.gCnn.Open(cadena, QString(), QString());
            abierta = true;
        },
        [&] {
            if (abierta) principal.gCnn.Close();
        },
    };
    EjecutarPasos(pasos, [&](const KvError&) {
        resultado = false;
        return respuesta::Omitir;
    });
    return resultado;
}

void frmAcceso::GrabarConexion(const QString& nombre, const QString& base, const QString& usuario,
                               const QString& clave, const QString& servidor) {
    ConexionRegistrada c;
    c.nombre = nombre.trimmed();
    c.base = base.trimmed();
    c.usuario = usuario.trimmed();
    c.clave = kv::UtilGeneral::Codificar(clave).trimmed();
    c.servidor = servidor.trimmed();
    AgregarConexion(RutaBases(), c);
}

void frmAcceso::CmdRegistrar_Click() {
    DB_Dll& principal = DB_Dll::Principal();
    QString nombre;
    bool detener = false;
    const std::vector<PasoAtrapado> pasos = {
        [&] {
            // A box still on its hint names no server or database: nothing to try.
            auto vacia = [this](const QLineEdit* c) {
                return c->text().trimmed().isEmpty() || c->text() == PistaDe(c);
            };
            if (vacia(TxtServidor) || vacia(TxtDbName)) {
                interaccion().Mensaje(kFaltanDatos, estilo::SoloAceptar + estilo::Exclamacion,
                                      kTituloRegistrar);
                detener = true;
                return;
            }
            nombre = NombreRegistro(TxtDbName->text(), TxtServidor->text());
        },
        [&] {
            if (detener) return;
            usuarioEncontrado.clear();
            DatosBase(nombre);
            if (!usuarioEncontrado.trimmed().isEmpty()) {
                interaccion().Mensaje(kYaRegistrada, estilo::SoloAceptar + estilo::Informacion,
                                      kTituloAtencion);
                detener = true;
            }
        },
        [&] {
            if (detener) return;
            double numero = kv::UtilGeneral::TextoANumero(TxtPuerto->text());
            if (numero == 0) numero = kPuertoPorDefecto;
            puerto = numero;
        },
        [&] {
            if (detener) return;
            for (QLineEdit* c : {TxtServidor, TxtUserId, TxtUserPassword, TxtDbName})
                c->setText(c->text().trimmed());
        },
        [&] {
            if (detener) return;
            const QString base = TxtDbName->text().toUpper();
            if (ExisteBaseDeDatos(TxtServidor->text(), base, base, base, DB_Dll::pSQLOLEDB())) {
                GrabarConexion(nombre, TxtDbName->text(), TxtDbName->text(), TxtDbName->text(),
                               TxtServidor->text());
                return;
            }
            // The database's own login did not answer: try the user and password typed.
            if (principal.gOpenFlag && principal.gCnn.State() != kv::db::ado::Cerrado) principal.gCnn.Close();
            principal.gServidor = TxtServidor->text();
            principal.gUsuario = TxtUserId->text();
            principal.gUserPassWord = TxtUserPassword->text();
            principal.gDBName = TxtDbName->text();
            principal.OpenServerADODB(false, 3, QString(), true, true);
            if (principal.gOpenFlag) {
                GrabarConexion(nombre, TxtDbName->text(), TxtDbName->text(), TxtDbName->text(),
                               TxtServidor->text());
                return;
            }
            interaccion().Mensaje(QStringLiteral("NO SE PUDO CONECTAR AL SERVIDOR ") + TxtServidor->text() +
                                      QStringLiteral(" VERIFIQUE EL NOMBRE DE USUARIO Y PASSWORD INGRESADO"),
                                  estilo::SoloAceptar + estilo::Informacion, kTituloAvisoOperador);
            detener = true;
        },
    };
    // Errors of the list below pass over their step; any other is shown, and the
    // registration goes on with its closing steps.
    const auto aviso = [](const KvError& error) {
        if (ErrorQueSeOmite(error.numero)) return false;
        interaccion().Mensaje(QStringLiteral("SQL Server start failed.  ") + u'\r' +
                                  QStringLiteral("SQL-DMO error:  ") + QString::number(error.numero) + u' ' +
                                  error.descripcion,
                              estilo::SoloAceptar, QString());
        return true;
    };
    EjecutarPasos(pasos,
                  [&](const KvError& error) { return aviso(error) ? respuesta::Anular : respuesta::Omitir; });
    if (detener) return;

    const std::vector<PasoAtrapado> finales = {
        [&] {
            // The suite's ODBC helper, when this workstation has it, learns of the new connection.
            const QString odbc = kv::UtilRutas::Carpeta() + QStringLiteral("ODBC.exe");
            const QFileInfo programa(odbc);
            if (!programa.isFile() || !programa.isExecutable()) return;
            QProcess::startDetached(odbc, {QStringLiteral("Server=") + TxtServidor->text() +
                                           QStringLiteral(";DB=") + TxtDbName->text() + u';'});
        },
        [&] {
            if (principal.gCnn.State() != kv::db::ado::Cerrado) principal.gCnn.Close();
        },
        [&] { llenarlist(); },
    };
    EjecutarPasos(finales, [&](const KvError& error) {
        aviso(error);
        return respuesta::Omitir;
    });
}

void frmAcceso::CmdLineaComando_Click() {
    try {
        const QString ruta = CrearLanzador();
        interaccion().Mensaje(QStringLiteral("Se creó el acceso directo \"%1\" en el escritorio:\n%2")
                                  .arg(QString::fromUtf8(kNombreAccesoDirecto), ruta),
                              estilo::SoloAceptar + estilo::Informacion, kTituloLanzador);
    } catch (const KvExcepcion& e) {
        interaccion().Mensaje(e.error().descripcion, estilo::SoloAceptar + estilo::Critico, kTituloLanzador);
    }
}

void EstablecerCapturaAcceso(const QString& archivo) { ArchivoCaptura() = archivo; }

void InstalarVentanaAcceso(bool conPantalla) {
    if (!conPantalla) {
        DB_Dll::EstablecerVentanaAcceso([](kv::db::DatosAcceso&) {
            std::fputs(MensajeFaltaConexion().toUtf8().constData(), stderr);
            std::fflush(stderr);
            return false;
        });
        return;
    }
    DB_Dll::EstablecerVentanaAcceso([](kv::db::DatosAcceso& datos) {
        frmAcceso ventana;
        ventana.CargarDatos(datos);
        if (!ArchivoCaptura().isEmpty()) {
            const QString archivo = ArchivoCaptura();
            QTimer::singleShot(300, &ventana, [&ventana, archivo] {
                if (!ventana.grab().save(archivo, "PNG"))
                    std::fputs(QStringLiteral("KV_ESTV: no se pudo guardar la captura en %1\n")
                                   .arg(archivo)
                                   .toUtf8()
                                   .constData(),
                               stderr);
                ventana.reject();
            });
        }
        ventana.exec();
        if (!ventana.Aceptar) return false;
        ventana.LeerDatos(datos);
        return true;
    });
}

}  // namespace kv::access
