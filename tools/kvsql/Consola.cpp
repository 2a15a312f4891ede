#include "Consola.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include <termios.h>
#include <unistd.h>

#include "db/Conexion.h"
#include "localserver/Seguridad.h"
#include "util/KvError.h"

namespace kv::kvsql {

QString TextoUso() {
    return QStringLiteral(
        "Uso: kvsql -S servidor -d base -U usuario [-P contraseña] [-Q \"lote\" | -i fichero] [-s separador] "
        "[-W]\n"
        "             [-h -1] [-o fichero] [-t segundos] [-?]\n"
        "  -S  servidor (EMBEBIDO para el servidor embebido; por omisión EMBEBIDO)\n"
        "  -d  base de datos (por omisión, la del inicio de sesión)\n"
        "  -U  inicio de sesión\n"
        "  -P  contraseña (sin -P se pide en la terminal, sin mostrarla)\n"
        "  -Q  lote que se ejecuta\n"
        "  -i  fichero con lotes separados por líneas GO\n"
        "  -s  separador de columnas\n"
        "  -W  quita los blancos finales de cada columna\n"
        "  -h  -1: los resultados sin cabecera\n"
        "  -o  fichero donde se escriben los resultados y los mensajes\n"
        "  -t  segundos que puede durar cada lote (por omisión 0: sin límite)\n"
        "  -v  nombre=valor ...: variables del guion, como :setvar\n"
        "  -b  termina en el primer lote con error (estado de salida 1)\n"
        "  -?  muestra este uso\n"
        "kvsql --recuperar-catalogo\n"
        "  reconstruye el catálogo (MASTER.db) perdido o dañado del servidor embebido con las bases "
        "presentes en\n"
        "  su carpeta; pide la nueva contraseña del administrador\n"
        "kvsql --servir [--direccion 127.0.0.1] [--puerto 1433] [--certificado servidor.pem --clave servidor.key]\n"
        "  ofrece el servidor embebido a los clientes de SQL Server (FreeTDS, ODBC...) por TDS; fuera de la\n"
        "  dirección local hacen falta el certificado y su clave\n");
}

std::optional<QString> PedirClave() {
    if (!isatty(STDIN_FILENO)) return std::nullopt;
    std::fputs("Contraseña: ", stderr);
    std::fflush(stderr);
    termios antes{};
    const bool conTerminal = tcgetattr(STDIN_FILENO, &antes) == 0;
    if (conTerminal) {
        termios oculto = antes;
        oculto.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &oculto);
    }
    std::string linea;
    int c;
    while ((c = std::getchar()) != EOF && c != '\n') linea.push_back(static_cast<char>(c));
    if (conTerminal) tcsetattr(STDIN_FILENO, TCSAFLUSH, &antes);
    std::fputs("\n", stderr);
    if (c == EOF && linea.empty()) return std::nullopt;
    return QString::fromStdString(linea);
}

std::optional<Opciones> LeerArgumentos(const QStringList& argumentos, QString* error) {
    Opciones o;
    o.servidor = QStringLiteral("EMBEBIDO");
    bool hayUsuario = false;
    auto fallar = [&](const QString& texto) -> std::optional<Opciones> {
        if (error) *error = texto;
        return std::nullopt;
    };
    for (int i = 0; i < argumentos.size(); ++i) {
        const QString a = argumentos[i];
        if (a == QLatin1String("--recuperar-catalogo")) {
            o.recuperarCatalogo = true;
            continue;
        }
        if (a == QLatin1String("-W")) {
            o.sinBlancos = true;
            continue;
        }
        if (a == QLatin1String("-b")) {
            o.pararAlError = true;
            continue;
        }
        if (a == QLatin1String("-v")) {
            // One or more nombre=valor after it.
            bool alguna = false;
            while (i + 1 < argumentos.size() && !argumentos[i + 1].startsWith(QLatin1Char('-')) &&
                   argumentos[i + 1].contains(QLatin1Char('='))) {
                const QString par = argumentos[++i];
                const qsizetype igual = par.indexOf(QLatin1Char('='));
                const QString nombre = par.left(igual).trimmed();
                if (nombre.isEmpty()) return fallar(QStringLiteral("Falta el nombre de la variable en -v %1.").arg(par));
                QString valor = par.mid(igual + 1);
                if (valor.size() >= 2 && valor.startsWith(QLatin1Char('"')) && valor.endsWith(QLatin1Char('"')))
                    valor = valor.mid(1, valor.size() - 2);
                o.variables.append({nombre, valor});
                alguna = true;
            }
            if (!alguna) return fallar(QStringLiteral("La opción -v necesita nombre=valor."));
            continue;
        }
        if (a == QLatin1String("-?")) {
            o.ayuda = true;
            return o;
        }
        if (a.size() < 2 || a[0] != QLatin1Char('-'))
            return fallar(QStringLiteral("Argumento no reconocido: %1").arg(a));
        const QChar letra = a[1];
        QString valor;
        if (a.size() > 2) {
            valor = a.mid(2);
        } else {
            if (i + 1 >= argumentos.size())
                return fallar(QStringLiteral("Falta el valor de la opción %1.").arg(a));
            valor = argumentos[++i];
        }
        switch (letra.unicode()) {
            case 'S':
                o.servidor = valor;
                break;
            case 'd':
                o.base = valor;
                break;
            case 'U':
                o.usuario = valor;
                hayUsuario = true;
                break;
            case 'P':
                o.clave = valor;
                o.claveDada = true;
                break;
            case 'o':
                o.archivoSalida = valor;
                break;
            case 'h': {
                bool numero = false;
                const int cada = valor.toInt(&numero);
                if (!numero || cada < -1 || cada == 0)
                    return fallar(
                        QStringLiteral("El valor de -h debe ser -1 (sin cabecera) o un número de filas."));
                o.sinCabeceras = cada == -1;
                break;
            }
            case 'Q':
                o.consulta = valor;
                break;
            case 'i':
                o.fichero = valor;
                break;
            case 's':
                o.separador = valor;
                break;
            case 't': {
                bool numero = false;
                const int segundos = valor.toInt(&numero);
                if (!numero || segundos < 0 || segundos > 65535)
                    return fallar(
                        QStringLiteral("El valor de -t debe ser un número de segundos entre 0 y 65535."));
                o.tiempoComando = segundos;
                break;
            }
            default:
                return fallar(QStringLiteral("Argumento no reconocido: %1").arg(a));
        }
    }
    if (o.recuperarCatalogo) {
        if (hayUsuario || o.consulta || o.fichero)
            return fallar(QStringLiteral("--recuperar-catalogo no admite -U, -Q ni -i."));
        if (o.servidor.compare(QLatin1String("EMBEBIDO"), Qt::CaseInsensitive) != 0)
            return fallar(QStringLiteral("--recuperar-catalogo sólo sirve para el servidor EMBEBIDO."));
        return o;
    }
    if (!hayUsuario) return fallar(QStringLiteral("Falta el inicio de sesión (-U)."));
    if (o.consulta && o.fichero)
        return fallar(QStringLiteral("Las opciones -Q e -i no pueden usarse juntas."));
    if (!o.consulta && !o.fichero) return fallar(QStringLiteral("Indique un lote (-Q) o un fichero (-i)."));
    return o;
}

// Each value goes in through the quoting of the connection templates: a ";" in
// the password does not cut it and -S cannot add keywords of its own.
QString CadenaConexion(const Opciones& o) {
    return QStringLiteral("PROVIDER=SQLOLEDB;Server=%1;Database =%2;UId=%3;Pwd=%4;")
        .arg(kv::db::ValorCadenaConexion(o.servidor), kv::db::ValorCadenaConexion(o.base),
             kv::db::ValorCadenaConexion(o.usuario), kv::db::ValorCadenaConexion(o.clave));
}

std::vector<LoteGuion> DividirGuion(const QString& guion) {
    static const QRegularExpression separador(QStringLiteral("^\\s*[Gg][Oo]\\s*$"));
    std::vector<LoteGuion> lotes;
    LoteGuion actual;
    int linea = 1;
    qsizetype inicio = 0;
    auto cerrar = [&](int siguiente) {
        if (!actual.texto.trimmed().isEmpty()) lotes.push_back(actual);
        actual = LoteGuion{};
        actual.primeraLinea = siguiente;
    };
    while (inicio <= guion.size()) {
        qsizetype fin = guion.indexOf(QLatin1Char('\n'), inicio);
        const bool ultima = fin < 0;
        if (ultima) fin = guion.size();
        QString conFinal = guion.mid(inicio, fin - inicio + (ultima ? 0 : 1));  // keeps CR LF as typed
        QString sola = guion.mid(inicio, fin - inicio);
        if (sola.endsWith(QLatin1Char('\r'))) sola.chop(1);
        if (separador.match(sola).hasMatch()) {
            // The line break before GO belongs to no batch.
            if (actual.texto.endsWith(QLatin1Char('\n'))) actual.texto.chop(1);
            if (actual.texto.endsWith(QLatin1Char('\r'))) actual.texto.chop(1);
            cerrar(linea + 1);
        } else {
            actual.texto += conFinal;
        }
        if (ultima) break;
        inicio = fin + 1;
        ++linea;
    }
    cerrar(linea + 1);
    return lotes;
}

// Money with its four decimals: the whole ten-thousandths nearest the value,
// within money's range (near its ends a double stands for several amounts, and
// the one in range is the one the server kept).
QString TextoDinero(double d) {
    if (!std::isfinite(d)) return QString::number(d, 'f', 4);
    constexpr long double kMaximo = 9223372036854775807.0L;
    long double n = std::round(static_cast<long double>(d) * 10000.0L);
    qint64 diezmilesimas;
    if (n >= kMaximo)
        diezmilesimas = std::numeric_limits<qint64>::max();
    else if (n <= -kMaximo - 1)
        diezmilesimas = std::numeric_limits<qint64>::min();
    else
        diezmilesimas = static_cast<qint64>(n);
    const bool negativo = diezmilesimas < 0;
    const quint64 absoluto = negativo ? 0 - static_cast<quint64>(diezmilesimas) : static_cast<quint64>(diezmilesimas);
    return (negativo ? QStringLiteral("-") : QString()) + QString::number(absoluto / 10000) + QLatin1Char('.') +
           QString::number(absoluto % 10000).rightJustified(4, QLatin1Char('0'));
}

namespace {

// Reads a script's lines into `lineas`, with its :setvar, $(...) and :r done.
bool LeerLineas(const QString& guion, const QList<QPair<QString, QString>>& fijas,
                QList<QPair<QString, QString>>& variables, QStringList& lineas, int nivel, QString* error) {
    if (nivel > 16) {
        if (error) *error = QStringLiteral("Demasiados :r anidados.");
        return false;
    }
    static const QRegularExpression referencia(QStringLiteral("\\$\\(([A-Za-z_][A-Za-z0-9_]*)\\)"));
    static const QRegularExpression setvar(QStringLiteral("^\\s*:setvar\\s+([A-Za-z_][A-Za-z0-9_]*)\\s*(.*)$"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression incluir(QStringLiteral("^\\s*:r\\s+(.+?)\\s*$"),
                                            QRegularExpression::CaseInsensitiveOption);
    auto valor = [&](const QString& nombre) -> std::optional<QString> {
        for (const auto& f : fijas)
            if (f.first.compare(nombre, Qt::CaseInsensitive) == 0) return f.second;
        for (auto it = variables.crbegin(); it != variables.crend(); ++it)
            if (it->first.compare(nombre, Qt::CaseInsensitive) == 0) return it->second;
        return std::nullopt;
    };
    auto sustituir = [&](const QString& linea, bool* bien) {
        QString r;
        qsizetype desde = 0;
        for (auto it = referencia.globalMatch(linea); it.hasNext();) {
            const auto m = it.next();
            const auto v = valor(m.captured(1));
            if (!v) {
                if (error) *error = QStringLiteral("La variable de guion '%1' no está definida.").arg(m.captured(1));
                *bien = false;
                return QString();
            }
            r += linea.mid(desde, m.capturedStart() - desde) + *v;
            desde = m.capturedEnd();
        }
        return r + linea.mid(desde);
    };
    for (QString linea : guion.split(QLatin1Char('\n'))) {
        bool bien = true;
        const QString sola = linea.endsWith(QLatin1Char('\r')) ? linea.chopped(1) : linea;
        if (const auto m = setvar.match(sola); m.hasMatch()) {
            QString v = sustituir(m.captured(2).trimmed(), &bien);
            if (!bien) return false;
            if (v.size() >= 2 && v.startsWith(QLatin1Char('"')) && v.endsWith(QLatin1Char('"'))) v = v.mid(1, v.size() - 2);
            variables.append({m.captured(1), v});
            continue;
        }
        if (const auto m = incluir.match(sola); m.hasMatch()) {
            QString nombre = sustituir(m.captured(1), &bien);
            if (!bien) return false;
            if (nombre.size() >= 2 && nombre.startsWith(QLatin1Char('"')) && nombre.endsWith(QLatin1Char('"')))
                nombre = nombre.mid(1, nombre.size() - 2);
            QFile f(nombre);
            if (!f.open(QIODevice::ReadOnly)) {
                if (error) *error = QStringLiteral("No se puede abrir el fichero '%1'.").arg(nombre);
                return false;
            }
            if (!LeerLineas(QString::fromUtf8(f.readAll()), fijas, variables, lineas, nivel + 1, error)) return false;
            continue;
        }
        linea = sustituir(linea, &bien);
        if (!bien) return false;
        lineas << linea;
    }
    return true;
}

}  // namespace

std::optional<std::vector<LoteGuion>> PrepararGuion(const QString& guion, QList<QPair<QString, QString>> variables,
                                                    QString* error) {
    // The -v values come first and no :setvar changes them, as in sqlcmd.
    QList<QPair<QString, QString>> definidas;
    QStringList lineas;
    if (!LeerLineas(guion, variables, definidas, lineas, 0, error)) return std::nullopt;
    // GO n: the batch runs n times.
    static const QRegularExpression separador(QStringLiteral("^\\s*[Gg][Oo](?:\\s+(\\d+))?\\s*$"));
    std::vector<LoteGuion> lotes;
    LoteGuion actual;
    for (int i = 0; i < lineas.size(); ++i) {
        QString sola = lineas[i];
        if (sola.endsWith(QLatin1Char('\r'))) sola.chop(1);
        const auto m = separador.match(sola);
        if (m.hasMatch()) {
            if (actual.texto.endsWith(QLatin1Char('\n'))) actual.texto.chop(1);
            if (actual.texto.endsWith(QLatin1Char('\r'))) actual.texto.chop(1);
            actual.veces = m.captured(1).isEmpty() ? 1 : m.captured(1).toInt();
            if (!actual.texto.trimmed().isEmpty()) lotes.push_back(actual);
            actual = LoteGuion{};
            actual.primeraLinea = i + 2;
            continue;
        }
        actual.texto += lineas[i] + (i + 1 < lineas.size() ? QStringLiteral("\n") : QString());
    }
    if (!actual.texto.trimmed().isEmpty()) lotes.push_back(actual);
    return lotes;
}

QString TextoValor(const QVariant& valor, int tipoADO) {
    if (valor.isNull() || !valor.isValid()) return QStringLiteral("NULL");
    switch (valor.typeId()) {
        case QMetaType::QDateTime:
            return valor.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        case QMetaType::QDate:
            return valor.toDate().toString(QStringLiteral("yyyy-MM-dd"));
        case QMetaType::Bool:
            return valor.toBool() ? QStringLiteral("1") : QStringLiteral("0");
        case QMetaType::Double:
        case QMetaType::Float:
            if (tipoADO == kv::db::tipo::Currency) return TextoDinero(valor.toDouble());
            return QString::number(valor.toDouble(), 'g', 15);
        default:
            return valor.toString();
    }
}

QStringList LineasResultado(const kv::db::ResultadoSentencia& r, const Opciones& o) {
    QStringList lineas;
    if (!r.tieneFilas) {
        if (r.filasAfectadas >= 0) lineas << QStringLiteral("(%1 filas afectadas)").arg(r.filasAfectadas);
        return lineas;
    }
    const QString sep = o.separador.value_or(QStringLiteral(" "));
    const size_t n = r.columnas.size();
    std::vector<QStringList> textos;
    textos.reserve(r.filas.size());
    std::vector<qsizetype> ancho(n, 0);
    for (size_t i = 0; i < n; ++i) ancho[i] = r.columnas[i].nombre.size();
    for (const auto& f : r.filas) {
        QStringList t;
        for (size_t i = 0; i < n; ++i) {
            t << TextoValor(i < f.size() ? f[i] : QVariant(), r.columnas[i].tipo);
            ancho[i] = std::max(ancho[i], t.back().size());
        }
        textos.push_back(t);
    }
    // -W takes the trailing blanks off every column, the value's own included
    // (texts stored padded, such as a blank group, show as nothing).
    auto sinBlancosFinales = [](QString c) {
        while (c.endsWith(QLatin1Char(' '))) c.chop(1);
        return c;
    };
    auto componer = [&](const QStringList& celdas, bool esRegla) {
        QStringList partes;
        for (size_t i = 0; i < n; ++i) {
            const QString& c = celdas[static_cast<qsizetype>(i)];
            if (o.sinBlancos)
                partes << (esRegla ? QString(sinBlancosFinales(r.columnas[i].nombre).size(), QLatin1Char('-'))
                                   : sinBlancosFinales(c));
            else
                partes << c.leftJustified(ancho[i], esRegla ? QLatin1Char('-') : QLatin1Char(' '));
        }
        QString linea = partes.join(sep);
        if (o.sinBlancos)
            while (linea.endsWith(QLatin1Char(' '))) linea.chop(1);
        return linea;
    };
    QStringList cabecera, regla;
    for (size_t i = 0; i < n; ++i) {
        cabecera << r.columnas[i].nombre;
        regla << QString();
    }
    if (!o.sinCabeceras) lineas << componer(cabecera, false) << componer(regla, true);
    for (const auto& t : textos) lineas << componer(t, false);
    lineas << QString() << QStringLiteral("(%1 filas afectadas)").arg(r.filas.size());
    return lineas;
}

QStringList LineasError(const kv::db::ErrorBD& e) {
    const int numero = e.errorNativo != 0 ? e.errorNativo : e.numero;
    return {QStringLiteral("Msg %1, Nivel 16, Estado 1, Línea %2").arg(numero).arg(e.linea > 0 ? e.linea : 1),
            e.descripcion};
}

namespace {

bool CorrerLote(kv::db::Conexion& c, const QString& lote, const Opciones& o, QTextStream& salida,
                QTextStream& errores) {
    bool bien = true;
    try {
        const auto resultados = c.EjecutarLote(lote);
        for (const auto& r : resultados) {
            if (r.error) {
                for (const QString& l : LineasError(*r.error)) errores << l << '\n';
                errores.flush();
                bien = false;
                continue;
            }
            for (const QString& m : r.mensajes) salida << m << '\n';
            for (const QString& l : LineasResultado(r, o)) salida << l << '\n';
        }
    } catch (const kv::KvExcepcion& e) {
        // The batch ran not at all (syntax) or the connection failed.
        if (c.Errors().Count() > 0) {
            for (const auto& x : c.Errors().Todos())
                for (const QString& l : LineasError(x)) errores << l << '\n';
        } else {
            errores << e.error().descripcion << '\n';
        }
        bien = false;
    }
    salida.flush();
    errores.flush();
    return bien;
}

// An administrator who signs in with a password everybody knows is told so,
// with the statement that changes it. Asked of the server, so it holds for
// a SQL Server too.
// It goes to the terminal's error stream even with -o: it is for the person,
// not part of the results.
void AvisarClavePorOmision(kv::db::Conexion& conexion, const Opciones& o) {
    if (!kv::local::EsClavePorOmision(o.usuario, o.clave)) return;
    bool administrador = false;
    try {
        for (const auto& r : conexion.EjecutarLote(
                 QStringLiteral("SELECT IS_SRVROLEMEMBER('sysadmin'), IS_SRVROLEMEMBER('securityadmin')")))
            if (r.tieneFilas && !r.filas.empty())
                for (const QVariant& v : r.filas.front()) administrador = administrador || v.toInt() == 1;
    } catch (const kv::KvExcepcion&) {
        return;
    }
    if (!administrador) return;
    QTextStream errores(stderr);
    errores.setEncoding(QStringConverter::Utf8);
    errores << QStringLiteral("Aviso: el administrador %1 entró con la contraseña de omisión, que conoce "
                              "cualquiera: con ella se toma el servidor entero. Cámbiela ya: ALTER LOGIN [%1] "
                              "WITH PASSWORD = 'clave nueva'")
                   .arg(o.usuario.trimmed())
            << '\n';
    errores.flush();
}

}  // namespace

int Ejecutar(const Opciones& o, QTextStream& salida, QTextStream& errores) {
    std::vector<LoteGuion> lotes;
    QString texto;
    if (o.fichero) {
        QFile f(*o.fichero);
        if (!f.open(QIODevice::ReadOnly)) {
            errores << QStringLiteral("No se puede abrir el fichero '%1'.").arg(*o.fichero) << '\n';
            return 1;
        }
        texto = QString::fromUtf8(f.readAll());
    } else {
        texto = *o.consulta;
    }
    QString error;
    if (o.fichero) {
        const auto preparados = PrepararGuion(texto, o.variables, &error);
        if (!preparados) {
            errores << error << '\n';
            errores.flush();
            return 1;
        }
        lotes = *preparados;
    } else {
        // -Q is one batch; its $(...) take the -v values.
        QList<QPair<QString, QString>> definidas;
        QStringList lineas;
        if (!LeerLineas(texto, o.variables, definidas, lineas, 0, &error)) {
            errores << error << '\n';
            errores.flush();
            return 1;
        }
        lotes.push_back(LoteGuion{lineas.join(QLatin1Char('\n')), 1, 1});
    }
    kv::db::Conexion conexion;
    // A console waits for a long batch (a rebuild, a bulk load) unless told
    // otherwise, as sqlcmd does; the client's default of 30 s would cut it.
    conexion.SetCommandTimeout(o.tiempoComando);
    try {
        conexion.Open(CadenaConexion(o));
    } catch (const kv::KvExcepcion& e) {
        if (conexion.Errors().Count() > 0) {
            for (const auto& x : conexion.Errors().Todos())
                for (const QString& l : LineasError(x)) errores << l << '\n';
        } else {
            errores << e.error().descripcion << '\n';
        }
        errores.flush();
        return 1;
    }
    AvisarClavePorOmision(conexion, o);
    bool bien = true;
    for (const LoteGuion& l : lotes)
        for (int vez = 0; vez < l.veces; ++vez)
            if (!CorrerLote(conexion, l.texto, o, salida, errores)) {
                bien = false;
                // -b: nothing after the first batch that failed runs.
                if (o.pararAlError) return 1;
            }
    return bien ? 0 : 1;
}

}  // namespace kv::kvsql
