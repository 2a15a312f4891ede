#include "util/UtilFormulario.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QVariant>

namespace kv::UtilFormulario {

QString Clave(const QObject* control) {
    return control ? control->property(kPropiedadClave).toString() : QString();
}
void PonerClave(QObject* control, const QString& clave) {
    if (control) control->setProperty(kPropiedadClave, clave);
}
QString Etiqueta(const QObject* control) {
    return control ? control->property(kPropiedadEtiqueta).toString() : QString();
}
void PonerEtiqueta(QObject* control, const QString& etiqueta) {
    if (control) control->setProperty(kPropiedadEtiqueta, etiqueta);
}

int IndiceControl(const QString& clave, const QList<QWidget*>& controles) {
    for (qsizetype i = 0; i < controles.size(); ++i) {
        if (!controles[i]) continue;
        if (Clave(controles[i]).compare(clave, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
    }
    return -1;
}

void PrepararControles(QWidget* ventana, int modo) {
    if (!ventana || modo != 1) return;
    for (QLineEdit* campo : ventana->findChildren<QLineEdit*>()) {
        campo->deselect();
        campo->setCursorPosition(0);
    }
}

QWidget* AvanzarFoco(int codigoTecla, QWidget* desde) {
    if (codigoTecla != 13 && codigoTecla != Qt::Key_Return && codigoTecla != Qt::Key_Enter) return nullptr;
    if (!desde) desde = QApplication::focusWidget();
    if (!desde) return nullptr;
    QWidget* ventana = desde->window();
    for (QWidget* w = desde->nextInFocusChain(); w && w != desde; w = w->nextInFocusChain()) {
        if (w->window() != ventana || w->focusProxy()) continue;
        if (!w->isEnabled() || !w->isVisibleTo(ventana)) continue;
        if ((w->focusPolicy() & Qt::TabFocus) != Qt::TabFocus) continue;
        w->setFocus(Qt::TabFocusReason);
        return w;
    }
    return nullptr;
}

bool FiltrarTecla(QWidget* campo, int& caracter) {
    constexpr int kRetroceso = 8, kEnter = 13, kEscape = 27;
    constexpr int kCopiar = 3, kPegar = 22, kCortar = 24, kDeshacer = 26;
    if (caracter >= 0 && caracter < 32) {
        switch (caracter) {
            case kRetroceso:
            case kEnter:
            case kEscape:
            case kCopiar:
            case kPegar:
            case kCortar:
            case kDeshacer:
                return true;
            default:
                caracter = 0;
                return false;
        }
    }
    if (campo && campo->property(kPropiedadMayusculas).toBool() && caracter > 0 && caracter <= 0xFFFF) {
        const QString mayuscula = QString(QChar(static_cast<char16_t>(caracter))).toUpper();
        if (mayuscula.size() == 1) caracter = mayuscula.at(0).unicode();
    }
    return true;
}

void PrepararFoco(QWidget* campo, const QString& texto) {
    if (!campo) return;
    if (!texto.isEmpty()) campo->setStatusTip(texto);
    if (auto* linea = qobject_cast<QLineEdit*>(campo))
        linea->selectAll();
    else if (auto* combo = qobject_cast<QComboBox*>(campo)) {
        if (combo->lineEdit()) combo->lineEdit()->selectAll();
    } else if (auto* giro = qobject_cast<QAbstractSpinBox*>(campo))
        giro->selectAll();
    else if (auto* texto1 = qobject_cast<QTextEdit*>(campo))
        texto1->selectAll();
    else if (auto* texto2 = qobject_cast<QPlainTextEdit*>(campo))
        texto2->selectAll();
}

}  // namespace kv::UtilFormulario
