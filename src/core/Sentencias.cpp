#include "core/Sentencias.h"

#include <langinfo.h>
#include <locale.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <climits>
#include <cmath>

#include "core/Ajustes.h"
#include "core/Errores.h"
#include "core/Numeros.h"
#include "core/Utilidades.h"
#include "db/DB_Dll.h"
#include "util/Interaccion.h"
#include "util/PaginaCodigos.h"

namespace kv::core {

QString FormatoFechaHora() { return QStringLiteral("dd/mm/yy hh:mm"); }
QString FormatoFecha() { return QStringLiteral("dd/mm/yy"); }
QString FormatoHora() { return QStringLiteral("hh:mm"); }
QString FormatoFechaHoraQt() { return QStringLiteral("dd/MM/yy HH:mm"); }

int DecimalesMonedaLocales() {
    int decimales = 2;
    locale_t local = newlocale(LC_MONETARY_MASK, "", static_cast<locale_t>(nullptr));
    if (local == static_cast<locale_t>(nullptr)) return decimales;
    const char* valor = nl_langinfo_l(FRAC_DIGITS, local);
    if (valor != nullptr) {
        const int digitos = static_cast<unsigned char>(valor[0]);
        if (digitos >= 0 && digitos < 10) decimales = digitos;
    }
    freelocale(local);
    return decimales;
}

namespace {
// Fixed-point value with four decimals, as the amounts are kept.
qint64 CuatroDecimales(double valor) {
    if (!std::isfinite(valor) || std::fabs(valor) > 9.0e14) return 0;
    return std::llround(valor * 10000.0);
}

QString AgruparMiles(const QString& digitos, const QString& separador) {
    QString resultado;
    const qsizetype n = digitos.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) resultado += separador;
        resultado += digitos.at(i);
    }
    return resultado;
}
}  // namespace

QString FmtMoneda(const QString& valor, const QVariant& decimales, bool miles) {
    bool esNumero = false;
    int cifras = decimales.toInt(&esNumero);
    if (!esNumero) cifras = static_cast<int>(NumeroInicial(decimales.toString()));
    if (cifras == -3) return valor;
    if (cifras == -1) cifras = static_cast<int>(NumeroInicial(Ajustes().cantidadDecimales));
    if (cifras == 0) cifras = DecimalesMonedaLocales();
    if (cifras == -2) cifras = 0;
    if (cifras < 0) cifras = 0;
    if (cifras > 15) cifras = 15;

    const qint64 fijo = CuatroDecimales(TextoANumero(valor));
    const bool negativo = fijo < 0;
    quint64 absoluto = static_cast<quint64>(negativo ? -fijo : fijo);
    // Rounded half away from zero to the requested decimals.
    QString entero;
    QString fraccion;
    if (cifras <= 4) {
        quint64 divisor = 1;
        for (int i = 0; i < 4 - cifras; ++i) divisor *= 10;
        const quint64 redondeado = (absoluto + divisor / 2) / divisor;
        quint64 escala = 1;
        for (int i = 0; i < cifras; ++i) escala *= 10;
        entero = QString::number(redondeado / escala);
        if (cifras > 0)
            fraccion = QStringLiteral("%1").arg(redondeado % escala, cifras, 10, QLatin1Char('0'));
        absoluto = redondeado;
    } else {
        entero = QString::number(absoluto / 10000);
        fraccion = QStringLiteral("%1").arg(absoluto % 10000, 4, 10, QLatin1Char('0')) +
                   QString(cifras - 4, QLatin1Char('0'));
    }
    const QLocale local;
    QString texto = miles ? AgruparMiles(entero, local.groupSeparator()) : entero;
    // With no decimals the mask leaves no trailing separator.
    if (cifras > 0) texto += local.decimalPoint() + fraccion;
    if (negativo && absoluto != 0) texto.prepend(local.negativeSign());
    return texto;
}

QString AdaptarSentenciaPara(const QString& sentencia, const QString& cadenaConexion) {
    if (!cadenaConexion.contains(QLatin1String("oracle"), Qt::CaseInsensitive)) return sentencia;
    if (ContarPalabras(sentencia) < 2) {
        if (sentencia.compare(QLatin1String("LEN"), Qt::CaseInsensitive) == 0)
            return QStringLiteral("LENGTH");
        return sentencia;
    }
    // Only the word TOP counts: a name that merely ends in "top" (LAPTOP, DESKTOP)
    // must not be cut apart into a ROWNUM clause.
    qsizetype posicion = -1;
    for (qsizetype desde = 0;;) {
        posicion = sentencia.indexOf(QLatin1String("top "), desde, Qt::CaseInsensitive);
        if (posicion <= 0) break;
        const QChar anterior = sentencia.at(posicion - 1);
        if (!anterior.isLetterOrNumber() && anterior != QLatin1Char('_')) break;
        desde = posicion + 1;
    }
    if (posicion < 0) return sentencia;
    const QString antes = sentencia.left(posicion);
    const QString resto = sentencia.mid(posicion + 3);
    const qsizetype asterisco = resto.indexOf(QLatin1Char('*'));
    // A TOP without a star list cannot be moved into ROWNUM: leave it as it came.
    if (asterisco < 0) return sentencia;
    const QString cuenta = resto.left(asterisco);
    const QString despues = resto.mid(asterisco + 1);
    return antes + QStringLiteral(" * ") + despues + QStringLiteral(" WHERE ROWNUM <= ") + cuenta;
}

ListaCampos& CamposModulo() {
    static ListaCampos campos;
    return campos;
}

void AgregarCampo(ListaCampos& lista, const QString& campo, QString& valor, const QString& marcaComilla,
                  bool nuevaLista) {
    if (nuevaLista) lista.clear();
    valor.remove(QLatin1Char('\''));
    QString literal;
    if (valor.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0)
        literal = QStringLiteral("Null");
    else
        literal = LiteralSQL(valor, marcaComilla);
    lista.emplace_back(campo, literal);
}

void AgregarCampo(const QString& campo, QString& valor, const QString& marcaComilla, bool nuevaLista) {
    AgregarCampo(CamposModulo(), campo, valor, marcaComilla, nuevaLista);
}

void ArmarSentencia(ListaCampos& campos, QStringList& sentencias, const QString& tabla, bool actualizar,
                    QString& condicion, bool conservarCampos) {
    QString sentencia;
    if (actualizar) {
        QStringList asignaciones;
        for (const auto& [nombre, literal] : campos) asignaciones << nombre + QStringLiteral(" = ") + literal;
        if (!condicion.contains(QLatin1String("WHERE"), Qt::CaseInsensitive))
            condicion = QStringLiteral(" WHERE ") + condicion;
        sentencia = QStringLiteral("UPDATE ") + tabla + QStringLiteral(" SET ") +
                    asignaciones.join(QLatin1Char(',')) + QStringLiteral(" ") + condicion;
    } else {
        QStringList nombres;
        QStringList literales;
        for (const auto& [nombre, literal] : campos) {
            nombres << nombre;
            literales << literal;
        }
        sentencia = QStringLiteral("INSERT INTO ") + tabla + QStringLiteral(" ") + QStringLiteral("(") +
                    nombres.join(QLatin1Char(',')) + QStringLiteral(")") + QStringLiteral(" VALUES (") +
                    literales.join(QLatin1Char(',')) + QStringLiteral(")");
    }
    sentencias << sentencia << QString();
    if (!conservarCampos) {
        campos.clear();
        campos.emplace_back(QString(), QString());
    }
}

bool ExisteArchivo(const QString& ruta) {
    QString limpia = ruta;
    limpia.remove(QLatin1Char('"'));
    if (limpia.isEmpty()) return false;
    QFile archivo(limpia);
    if (QFileInfo(limpia).isDir()) return false;
    if (!archivo.open(QIODevice::ReadOnly)) return false;
    archivo.close();
    return true;
}

const std::vector<ConsultaBase>& ConsultasBase() {
    static const std::vector<ConsultaBase> consultas = {
        {QStringLiteral("ARTICULOS"), QStringLiteral("V_MA_ARTICULOS"),
         QStringLiteral("|DESCRIPCION|IDARTICULO|")},
        {QStringLiteral("CLIENTES"), QStringLiteral("VT_CLIENTES"),
         QStringLiteral("|RAZON_SOCIAL|CODIGO|CONTACTO|")},
        {QStringLiteral("PROVEEDORES"), QStringLiteral("VT_PROVEEDORES"),
         QStringLiteral("|RAZON_SOCIAL|CODIGO|")},
        {QStringLiteral("CONTACTOS"), QStringLiteral("MA_CONTACTOS"),
         QStringLiteral("|Nombre_y_Apellido|Domicilio|Localidad|Telefono|")},
        {QStringLiteral("VENDEDORES"), QStringLiteral("V_TA_VENDEDORES"),
         QStringLiteral("|NOMBRE|IDVENDEDOR|")},
        {QStringLiteral("TECNICOS"), QStringLiteral("V_TA_TECNICOS"), QStringLiteral("|NOMBRE|IDTECNICO|")},
        {QStringLiteral("MANTENIMIENTOS"), QStringLiteral("V_MA_MANTENIMIENTOS"),
         QStringLiteral("|DESCRIPCION|CODIGO|")},
        {QStringLiteral("CUENTAS"), QStringLiteral("MA_CUENTAS"), QStringLiteral("|DESCRIPCION|CODIGO|")},
        {QStringLiteral("TAREAS"), QStringLiteral("V_TA_Tareas  "), QStringLiteral("|Descripcion|IdTarea| ")},
        {QStringLiteral("UnidadNegocio"), QStringLiteral("V_TA_UnidadNegocio"),
         QStringLiteral("|Descripcion|Codigo|")},
        {QStringLiteral("DEPOSITO"), QStringLiteral("V_TA_DEPOSITO"),
         QStringLiteral("|Descripcion|IdDeposito|")},
    };
    return consultas;
}

namespace {
// Text trimmed, in the suite's code page (1252, one byte a character),
// blank-padded to `largo` bytes.
QByteArray CampoFijo(const QString& texto, int largo) {
    QByteArray bytes = kv::PaginaCodigos::A1252(texto.trimmed());
    if (bytes.size() > largo) bytes.truncate(largo);
    bytes.append(largo - bytes.size(), ' ');
    return bytes;
}
}  // namespace

QByteArray RegistroConsulta(const QString& titulo, const QString& tabla, const QString& columnas,
                            const QString& condicion) {
    QByteArray registro =
        CampoFijo(titulo, 100) + CampoFijo(tabla, 100) + CampoFijo(columnas, 500) + CampoFijo(condicion, 500);
    registro += "\r\n";
    return registro;
}

void GrabarConsultasBase(const QString& ruta) {
    const QString destino = ruta.isEmpty() ? AjustesConsultas().gRutaMascaraConsultas : ruta;
    if (destino.isEmpty()) return;
    // Only a regular file takes the records: writing into a FIFO or a device in
    // its place would block or go nowhere.
    const QFileInfo info(destino);
    if ((info.exists() || info.isSymLink()) && !info.isFile())
        throw KvExcepcion(75,
                          QStringLiteral("\"%1\" no es un archivo común: no se escriben en él las consultas.")
                              .arg(destino),
                          QString::fromLatin1(kOrigenPrograma));
    QFile archivo(destino);
    if (!archivo.open(QIODevice::ReadWrite)) {
        throw KvExcepcion(75, QStringLiteral("Error de acceso a la ruta o el archivo: ") + destino,
                          QString::fromLatin1(kOrigenPrograma));
    }
    for (const ConsultaBase& consulta : ConsultasBase()) {
        // Each record goes after the last whole record of the file.
        const qint64 posicion = (archivo.size() / kLargoRegistroConsultas) * kLargoRegistroConsultas;
        archivo.seek(posicion);
        archivo.write(RegistroConsulta(consulta.titulo, consulta.tabla, consulta.columnas, QString()));
    }
    archivo.close();
}

QString ParametrosPrograma(const QString& servidor, const QString& base, const QString& usuario,
                           const QString& clave, const QString& parametroAdicional,
                           const QString& usuarioLogeado, const QString& caja) {
    return QStringLiteral(" ; @server=") + servidor + QStringLiteral("; @dbname=") + base +
           QStringLiteral("; @usuario=") + usuario + QStringLiteral("; @Password=") + clave +
           QStringLiteral("; @ParametroAdicional=") + parametroAdicional +
           QStringLiteral("; quiv@ ; @UsuarioLogeado = ") + usuarioLogeado + QStringLiteral("; @Caja=") +
           caja + QStringLiteral(";");
}

QString AdaptarSentencia(const QString& sentencia) {
    return AdaptarSentenciaPara(sentencia, kv::db::DB_Dll::Principal().gConnString);
}

namespace {
// "SHELL:NAME" names a program of the suite; the prefix is only dropped where it is present.
QString SinPrefijoShell(const QString& programa) {
    if (programa.startsWith(QLatin1String("SHELL:"), Qt::CaseInsensitive)) return programa.mid(6);
    return programa;
}
}  // namespace

void MenuExes(const QString& programa, QString& parametroAdicional, qint64& idProceso) {
    kv::db::DB_Dll& base = kv::db::DB_Dll::Principal();
    QString parametros;
    QString ejecutable;
    const std::vector<PasoAtrapado> pasos = {
        [&] {
            const qsizetype blanco = parametroAdicional.indexOf(QLatin1Char(' '));
            if (blanco >= 0) parametroAdicional = parametroAdicional.mid(blanco + 1);
        },
        [&] {
            parametros = ParametrosPrograma(base.gServidor, base.gDBName, base.gUsuario, base.gUserPassWord,
                                            parametroAdicional, Ajustes().usuarioLogeado, Ajustes().caja);
        },
        [&] {
            const QString carpeta = NormalizarCarpeta(QCoreApplication::applicationDirPath());
            if (programa.contains(QLatin1Char('\\')) || programa.contains(QLatin1Char('/')))
                ejecutable = SinPrefijoShell(programa);
            else if (programa.contains(QLatin1String("SHELL"), Qt::CaseInsensitive))
                ejecutable = carpeta + SinPrefijoShell(programa);
            else
                ejecutable = carpeta + programa;
            ejecutable = QDir::fromNativeSeparators(ejecutable.trimmed());
        },
        [&] {
            idProceso = 0;
            const QFileInfo info(ejecutable);
            if (!info.exists() || info.isDir())
                throw KvExcepcion(53, QStringLiteral("No se ha encontrado el archivo ") + ejecutable,
                                  QString::fromLatin1(kOrigenPrograma));
            // The parameter text goes as one argument, no shell in between.
            qint64 pid = 0;
            if (QProcess::startDetached(ejecutable, QStringList{parametros}, info.absolutePath(), &pid))
                idProceso = pid;
        },
        [&] {
            if (idProceso == 0)
                interaccion().Mensaje(QString::fromUtf8(kMensajeOpcionNoImplementada), 16,
                                      QString::fromUtf8(kTituloOpcionNoImplementada));
        },
    };
    EjecutarPasos(pasos, ManejadorRutina(QStringLiteral("MenuExes")));
}

}  // namespace kv::core
