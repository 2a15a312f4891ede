#include "util/UtilGeneral.h"

#include <QDate>
#include <QDateTime>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QStringDecoder>
#include <QWidget>

#include "util/Interaccion.h"

namespace kv::UtilGeneral {

QString NormalizarCarpeta(const QString& carpeta) {
    if (carpeta.trimmed().isEmpty()) return QString();
    QString resultado = carpeta;
    while (resultado.endsWith(QLatin1Char('/')) || resultado.endsWith(QLatin1Char('\\'))) resultado.chop(1);
    return resultado + QLatin1Char('/');
}

double TextoANumero(const QString& texto) {
    int i = 0;
    const int n = texto.size();
    while (i < n && texto[i].isSpace()) ++i;
    if (i + 1 < n && texto[i] == QLatin1Char('&') && texto[i + 1].toUpper() == QLatin1Char('H')) {
        quint32 valor = 0;
        int cifras = 0;
        for (i += 2; i < n && cifras < 8; ++i, ++cifras) {
            const int d = QStringLiteral("0123456789ABCDEF").indexOf(texto[i].toUpper());
            if (d < 0) break;
            valor = valor * 16 + static_cast<quint32>(d);
        }
        return cifras == 8 ? static_cast<double>(static_cast<qint32>(valor)) : static_cast<double>(valor);
    }
    QString numero;
    if (i < n && (texto[i] == QLatin1Char('-') || texto[i] == QLatin1Char('+'))) numero += texto[i++];
    bool cifras = false, decimal = false;
    for (; i < n; ++i) {
        const QChar c = texto[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            numero += c;
            cifras = true;
        } else if ((c == QLatin1Char('.') || c == QLatin1Char(',')) && !decimal) {
            numero += QLatin1Char('.');
            decimal = true;
        } else {
            break;
        }
    }
    if (!cifras) return 0.0;
    if (numero.endsWith(QLatin1Char('.'))) numero.chop(1);
    return numero.toDouble();
}

QString SinNulo(const QVariant& valor) {
    if (!valor.isValid() || valor.isNull()) return QString();
    return valor.toString();
}

QString TextoVisible(const QVariant& valor, int ancho) {
    QString texto;
    if (valor.isValid() && !valor.isNull()) {
        switch (valor.typeId()) {
            case QMetaType::QDate:
                texto = valor.toDate().toString(QStringLiteral("dd/MM/yyyy"));
                break;
            case QMetaType::QDateTime: {
                const QDateTime momento = valor.toDateTime();
                texto = momento.time() == QTime(0, 0)
                            ? momento.toString(QStringLiteral("dd/MM/yyyy"))
                            : momento.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
                break;
            }
            case QMetaType::Bool:
                texto = valor.toBool() ? QStringLiteral("Verdadero") : QStringLiteral("Falso");
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                texto = QString::number(valor.toDouble(), 'g', 15);
                break;
            default:
                texto = valor.toString();
                break;
        }
    }
    while (texto.endsWith(QLatin1Char(' '))) texto.chop(1);
    return ancho > 0 ? texto.left(ancho) : texto;
}

QString AjustarTexto(const QString& texto, int ancho) { return ancho > 0 ? texto.left(ancho) : QString(); }

QString QuitarCaracter(const QString& texto, const QString& caracter) {
    QString resultado = texto;
    for (const QChar c : caracter) resultado.remove(c);
    return resultado;
}

QString Reemplazar(const QString& texto, const QString& viejo, const QString& nuevo,
                   Qt::CaseSensitivity sensibilidad) {
    if (viejo.isEmpty()) return texto;
    QString resultado = texto;
    return resultado.replace(viejo, nuevo, sensibilidad);
}

QString CambiarSeparador(const QString& texto, const QString& viejo, const QString& nuevo) {
    return Reemplazar(texto, viejo, nuevo);
}

QString LimpiarTexto(const QString& texto, int codigo1, int codigo2) {
    QString resultado;
    resultado.reserve(texto.size());
    for (const QChar c : texto)
        if (c.unicode() != codigo1 && c.unicode() != codigo2) resultado += c;
    return resultado;
}

int ContarPalabras(const QString& texto) {
    static const QRegularExpression blancos(QStringLiteral("\\s+"));
    return static_cast<int>(texto.split(blancos, Qt::SkipEmptyParts).size());
}

namespace {

// The byte that masks position i: changes with the position, so a repeated
// character does not show as a repeated pair.
char Mascara(qsizetype i) { return static_cast<char>((0x5B + 37 * i + (i >> 3)) & 0xFF); }

}  // namespace

QString Codificar(const QString& texto) {
    QByteArray bytes = texto.toUtf8();
    for (qsizetype i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(bytes[i] ^ Mascara(i));
    return QString::fromLatin1(bytes.toHex().toUpper());
}

QString Decodificar(const QString& texto) {
    static const QRegularExpression hexadecimal(QStringLiteral("^(?:[0-9A-F]{2})+$"));
    if (!hexadecimal.match(texto).hasMatch()) return texto;
    QByteArray bytes = QByteArray::fromHex(texto.toLatin1());
    for (qsizetype i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(bytes[i] ^ Mascara(i));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString resultado = utf8.decode(bytes);
    if (utf8.hasError()) return texto;  // plain text that merely looks coded
    return resultado;
}

bool ElegirFecha(QString& fecha) { return interaccion().ElegirFecha(fecha); }

int MostrarError(const KvError& error, const QString& rutina) {
    const int r = interaccion().MostrarError(error, rutina);
    if (r == respuesta::Reintentar || r == respuesta::Omitir) return r;
    return respuesta::Anular;
}

void PrepararVentana(QWidget* ventana, bool centrar) {
    if (!ventana) return;
    if (ventana->windowTitle().isEmpty()) ventana->setWindowTitle(QGuiApplication::applicationDisplayName());
    if (!centrar) return;
    QRect zona;
    if (QWidget* padre = ventana->parentWidget())
        zona = padre->window()->frameGeometry();
    else if (QScreen* pantalla = ventana->screen())
        zona = pantalla->availableGeometry();
    if (zona.isValid()) ventana->move(zona.center() - ventana->rect().center());
}

}  // namespace kv::UtilGeneral
