#include "util/InteraccionQt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCalendarWidget>
#include <QCloseEvent>
#include <QDate>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMap>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <functional>

namespace kv {

namespace {

QWidget* VentanaActiva() {
    QWidget* w = QApplication::activeModalWidget();
    if (!w) w = QApplication::activeWindow();
    return w;
}

QString TituloOPrograma(const QString& titulo) {
    return titulo.isEmpty() ? QGuiApplication::applicationDisplayName() : titulo;
}

// CR LF of the stored texts shown as plain line breaks.
QString TextoParaMostrar(QString texto) {
    texto.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    texto.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return texto;
}

QMessageBox::ButtonRole Papel(int codigo) {
    switch (codigo) {
        case respuesta::Aceptar:
        case respuesta::Si:
        case respuesta::Reintentar:
            return QMessageBox::AcceptRole;
        case respuesta::No:
            return QMessageBox::NoRole;
        case respuesta::Cancelar:
        case respuesta::Anular:
            return QMessageBox::RejectRole;
        default:
            return QMessageBox::ActionRole;
    }
}

QStringList Patrones(const QString& lista) {
    QStringList resultado;
    for (QString p : lista.split(QRegularExpression(QStringLiteral("[;\\s]+")), Qt::SkipEmptyParts)) {
        if (!resultado.contains(p)) resultado << p;
        // Windows matched extensions without regard to case; files here may be either.
        for (const QString& variante : {p.toLower(), p.toUpper()})
            if (!resultado.contains(variante)) resultado << variante;
    }
    return resultado;
}

// The progress window: closing it or pressing Escape is a cancel request when
// cancelling is allowed, and is ignored otherwise; only Cerrar takes it away.
class DialogoProgreso : public QDialog {
  public:
    DialogoProgreso(std::function<void()> alCancelar, std::function<bool()> permite)
        : QDialog(VentanaActiva()), alCancelar_(std::move(alCancelar)), permite_(std::move(permite)) {}

  protected:
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        if (permite_()) alCancelar_();
    }
    void reject() override {
        if (permite_()) alCancelar_();
    }

  private:
    std::function<void()> alCancelar_;
    std::function<bool()> permite_;
};

}  // namespace

QStringList FiltrosDeDialogo(const QString& filtro) {
    QStringList resultado;
    if (filtro.contains(QLatin1Char('|'))) {
        const QStringList partes = filtro.split(QLatin1Char('|'));
        for (int i = 0; i + 1 < partes.size(); i += 2) {
            const QStringList patrones = Patrones(partes[i + 1]);
            if (patrones.isEmpty()) continue;
            QString descripcion = partes[i].trimmed();
            // Qt reads the patterns from the last parentheses of the entry.
            descripcion.replace(QLatin1Char('('), QLatin1Char('['))
                .replace(QLatin1Char(')'), QLatin1Char(']'));
            resultado << descripcion + QStringLiteral(" (") + patrones.join(QLatin1Char(' ')) +
                             QLatin1Char(')');
        }
    } else if (!filtro.trimmed().isEmpty()) {
        for (const QString& f : filtro.split(QStringLiteral(";;"), Qt::SkipEmptyParts))
            resultado << f.trimmed();
    }
    if (resultado.isEmpty()) resultado << QStringLiteral("Todos los archivos (*)");
    return resultado;
}

QString ExtensionPorDefecto(const QString& filtro) {
    static const QRegularExpression patron(QStringLiteral("\\*\\.([A-Za-z0-9_]+)"));
    const auto m = patron.match(filtro);
    return m.hasMatch() ? m.captured(1) : QString();
}

InteraccionQt::InteraccionQt() = default;

InteraccionQt::~InteraccionQt() { ProgresoCerrar(); }

int InteraccionQt::Mensaje(const QString& texto, int estiloMensaje, const QString& titulo) {
    QMessageBox caja(VentanaActiva());
    caja.setWindowTitle(TituloOPrograma(titulo));
    caja.setTextFormat(Qt::PlainText);  // typed text never becomes markup
    caja.setText(TextoParaMostrar(texto));
    switch (estilo::Icono(estiloMensaje)) {
        case estilo::Critico:
            caja.setIcon(QMessageBox::Critical);
            break;
        case estilo::Pregunta:
            caja.setIcon(QMessageBox::Question);
            break;
        case estilo::Exclamacion:
            caja.setIcon(QMessageBox::Warning);
            break;
        case estilo::Informacion:
            caja.setIcon(QMessageBox::Information);
            break;
        default:
            caja.setIcon(QMessageBox::NoIcon);
            break;
    }
    const QList<int> codigos = BotonesDeEstilo(estiloMensaje);
    QMap<QAbstractButton*, int> respuestas;
    QList<QPushButton*> botones;
    for (int codigo : codigos) {
        QPushButton* b = caja.addButton(TextoBoton(codigo), Papel(codigo));
        respuestas.insert(b, codigo);
        botones << b;
    }
    int porDefecto = 0;
    if (estiloMensaje & estilo::TercerBoton)
        porDefecto = 2;
    else if (estiloMensaje & estilo::SegundoBoton)
        porDefecto = 1;
    caja.setDefaultButton(botones.value(porDefecto, botones.first()));
    const int termina = RespuestaQueTermina(estiloMensaje);
    caja.setEscapeButton(botones.at(codigos.indexOf(termina)));
    caja.exec();
    return respuestas.value(caja.clickedButton(), termina);
}

std::optional<QString> InteraccionQt::Entrada(const QString& pregunta, const QString& titulo,
                                              const QString& defecto) {
    QInputDialog dialogo(VentanaActiva());
    dialogo.setWindowTitle(TituloOPrograma(titulo));
    dialogo.setLabelText(TextoParaMostrar(pregunta));
    dialogo.setTextValue(defecto);
    dialogo.setOkButtonText(TextoBoton(respuesta::Aceptar));
    dialogo.setCancelButtonText(TextoBoton(respuesta::Cancelar));
    if (dialogo.exec() != QDialog::Accepted) return std::nullopt;
    return dialogo.textValue();
}

QString InteraccionQt::ElegirArchivo(const QString& filtro, const QString& titulo, bool guardar,
                                     const QString& inicial) {
    QFileDialog dialogo(VentanaActiva(), TituloOPrograma(titulo));
    dialogo.setOption(QFileDialog::DontUseNativeDialog);  // Spanish captions everywhere
    dialogo.setNameFilters(FiltrosDeDialogo(filtro));
    dialogo.setAcceptMode(guardar ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialogo.setFileMode(guardar ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (guardar) dialogo.setDefaultSuffix(ExtensionPorDefecto(filtro));
    dialogo.setLabelText(QFileDialog::Accept, guardar ? QStringLiteral("Guardar") : QStringLiteral("Abrir"));
    dialogo.setLabelText(QFileDialog::Reject, TextoBoton(respuesta::Cancelar));
    dialogo.setLabelText(QFileDialog::LookIn, QStringLiteral("Buscar en:"));
    dialogo.setLabelText(QFileDialog::FileName, QStringLiteral("Nombre:"));
    dialogo.setLabelText(QFileDialog::FileType, QStringLiteral("Tipo:"));
    if (!inicial.isEmpty()) {
        const QFileInfo info(inicial);
        if (info.isDir())
            dialogo.setDirectory(inicial);
        else {
            dialogo.setDirectory(info.absolutePath());
            dialogo.selectFile(info.fileName());
        }
    }
    if (dialogo.exec() != QDialog::Accepted) return QString();
    return dialogo.selectedFiles().value(0);
}

bool InteraccionQt::ElegirFecha(QString& fecha) {
    QDialog dialogo(VentanaActiva());
    dialogo.setWindowTitle(QStringLiteral("Elegir fecha"));
    auto* calendario = new QCalendarWidget(&dialogo);
    calendario->setLocale(QLocale(QLocale::Spanish, QLocale::Spain));
    calendario->setFirstDayOfWeek(Qt::Monday);
    QDate inicial = QDate::fromString(fecha.trimmed(), QStringLiteral("dd/MM/yyyy"));
    if (!inicial.isValid()) inicial = QDate::fromString(fecha.trimmed(), QStringLiteral("d/M/yyyy"));
    calendario->setSelectedDate(inicial.isValid() ? inicial : QDate::currentDate());
    auto* botones = new QDialogButtonBox(&dialogo);
    botones->addButton(TextoBoton(respuesta::Aceptar), QDialogButtonBox::AcceptRole);
    botones->addButton(TextoBoton(respuesta::Cancelar), QDialogButtonBox::RejectRole);
    QObject::connect(botones, &QDialogButtonBox::accepted, &dialogo, &QDialog::accept);
    QObject::connect(botones, &QDialogButtonBox::rejected, &dialogo, &QDialog::reject);
    QObject::connect(calendario, &QCalendarWidget::activated, &dialogo, &QDialog::accept);
    auto* disposicion = new QVBoxLayout(&dialogo);
    disposicion->addWidget(calendario);
    disposicion->addWidget(botones);
    if (dialogo.exec() != QDialog::Accepted) return false;
    fecha = calendario->selectedDate().toString(QStringLiteral("dd/MM/yyyy"));
    return true;
}

int InteraccionQt::MostrarError(const KvError& error, const QString& rutina) {
    return Mensaje(TextoMostrarError(error, rutina), estilo::AnularReintentarOmitir + estilo::Critico,
                   TituloMostrarError());
}

void InteraccionQt::ProgresoIniciar(const QString& titulo, bool permiteCancelar) {
    titulo_ = titulo;
    mensaje_.clear();
    textoProgreso_.clear();
    cancelado_ = false;
    permiteCancelar_ = permiteCancelar;
    pintadas_ = 0;
    if (!progreso_) {
        auto* dialogo =
            new DialogoProgreso([this] { cancelado_ = true; }, [this] { return permiteCancelar_; });
        dialogo->setAttribute(Qt::WA_DeleteOnClose, false);
        dialogo->setWindowModality(Qt::ApplicationModal);
        dialogo->setMinimumWidth(360);
        auto* disposicion = new QVBoxLayout(dialogo);
        lblMensaje_ = new QLabel(dialogo);
        lblMensaje_->setTextFormat(Qt::PlainText);
        lblMensaje_->setWordWrap(true);
        lblProgreso_ = new QLabel(dialogo);
        lblProgreso_->setTextFormat(Qt::PlainText);
        cmdCancelar_ = new QPushButton(TextoBoton(respuesta::Cancelar), dialogo);
        QObject::connect(cmdCancelar_, &QPushButton::clicked, dialogo, [this] { cancelado_ = true; });
        disposicion->addWidget(lblMensaje_);
        disposicion->addWidget(lblProgreso_);
        disposicion->addWidget(cmdCancelar_, 0, Qt::AlignRight);
        progreso_ = dialogo;
    }
    cmdCancelar_->setVisible(permiteCancelar);
    cmdCancelar_->setEnabled(true);
    pendiente_ = true;
    PintarProgreso();
    desdePintado_.invalidate();  // the first update shows at once
    progreso_->show();
    desdeEventos_.start();
    QCoreApplication::processEvents();
}

void InteraccionQt::PintarProgreso() {
    if (!progreso_ || !pendiente_) return;
    progreso_->setWindowTitle(TituloOPrograma(titulo_));
    lblMensaje_->setText(mensaje_);
    lblProgreso_->setText(textoProgreso_);
    if (cancelado_) cmdCancelar_->setEnabled(false);
    pendiente_ = false;
    ++pintadas_;
    desdePintado_.start();
}

bool InteraccionQt::ProgresoActualizar(const QString& titulo, const QString& mensaje,
                                       const QString& progreso) {
    if (!titulo.isEmpty()) titulo_ = titulo;
    mensaje_ = mensaje;
    textoProgreso_ = progreso;
    pendiente_ = true;
    if (!progreso_) return cancelado_;
    // Updates come once per row: show the texts a few times per second only.
    if (!desdePintado_.isValid() || desdePintado_.elapsed() >= kIntervaloPintado) PintarProgreso();
    if (!desdeEventos_.isValid() || desdeEventos_.elapsed() >= kIntervaloEventos) {
        QCoreApplication::processEvents();
        desdeEventos_.start();
    }
    return permiteCancelar_ && cancelado_;
}

void InteraccionQt::ProgresoCerrar() {
    if (progreso_) {
        progreso_->hide();
        delete progreso_.data();
    }
    desdePintado_.invalidate();
    desdeEventos_.invalidate();
}

void InteraccionQt::ProcesarEventos() { QCoreApplication::processEvents(); }

QDialog* InteraccionQt::VentanaProgreso() const { return progreso_.data(); }

}  // namespace kv
