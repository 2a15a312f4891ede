// Statement rewriting: restricted synonyms for users without administrator
// rights, and SQL Server syntax turned into Oracle syntax.

#include <QDate>
#include <QRegularExpression>
#include <array>

#include "db/DB_Dll.h"
#include "db/DB_DllInterno.h"

namespace kv::db {

using namespace interno;

namespace {

struct Sinonimo {
    const char* nombre;
    const char* sinonimo;
    std::array<const char*, 2> salvoProcesos;  // programs that see the real table
};

// Order matters: AC_CUENTASDIARIO goes before AC_CUENTASDIARIO_CCOSTO.
const std::array<Sinonimo, 7> kSinonimos = {{
    {"MA_CUENTAS", "SS_MA_CUENTAS", {nullptr, nullptr}},
    {"V_TA_DEPOSITO", "SS_V_TA_DEPOSITO", {"V_CONS_FICHA_STOCK", "RP_STOCK"}},
    {"MV_ASIENTOS", "SS_MV_ASIENTOS", {nullptr, nullptr}},
    {"V_TA_FAMILIAS", "SS_V_TA_FAMILIAS", {"KVTRANS", "SSL"}},
    {"V_TA_CAJAS", "SS_V_TA_CAJAS", {nullptr, nullptr}},
    {"AC_CUENTASDIARIO", "SS_AC_CUENTASDIARIO", {nullptr, nullptr}},
    {"AC_CUENTASDIARIO_CCOSTO", "SS_AC_CUENTAS_DIARIO_CCOSTO", {nullptr, nullptr}},
}};

bool ParteDeNombre(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$';
}

// Replaces every reference to the table: the name standing as a word of its own,
// whatever stands around it (blank, tab, line break, bracket, owner prefix,
// parenthesis, comma, semicolon), so that no way of writing it reaches the real
// table. A name that starts the text is no table reference and stays; a longer
// name that contains it ("SS_MA_CUENTAS", "@Admin_MA_CUENTAS") is another name.
QString SustituirNombre(const QString& texto, const QString& nombre, const QString& sinonimo) {
    QString resultado;
    resultado.reserve(texto.size() + 16);
    qsizetype desde = 0;
    for (;;) {
        const qsizetype p = texto.indexOf(nombre, desde, Qt::CaseInsensitive);
        if (p < 0) break;
        const qsizetype fin = p + nombre.size();
        const bool aislado = p > 0 && !ParteDeNombre(texto.at(p - 1)) &&
                             (fin >= texto.size() || !ParteDeNombre(texto.at(fin)));
        resultado += QStringView(texto).mid(desde, p - desde);
        resultado += aislado ? sinonimo : texto.mid(p, nombre.size());
        desde = fin;
    }
    resultado += QStringView(texto).mid(desde);
    return resultado;
}

// Position of the row-limit word "top " standing as a word of its own; -1 when absent.
qsizetype PosicionTop(const QString& texto) {
    qsizetype desde = 0;
    for (;;) {
        const qsizetype p = texto.indexOf(QStringLiteral("top "), desde, Qt::CaseInsensitive);
        if (p < 0) return -1;
        if (p == 0) return p;
        const QChar previo = texto.at(p - 1);
        if (!previo.isLetterOrNumber() && previo != u'_' && previo != u'@' && previo != u'#') return p;
        desde = p + 1;
    }
}

QString LimiteFilas(const QString& texto) {
    const qsizetype p = PosicionTop(texto);
    if (p < 0) return texto;
    const QString cabeza = texto.left(p);
    qsizetype i = p + 3;
    while (i < texto.size() && texto.at(i).isSpace()) ++i;
    qsizetype j = i;
    while (j < texto.size() && !texto.at(j).isSpace()) ++j;
    const QString cuenta = texto.mid(i, j - i);
    QString resto = texto.mid(j);
    QString colaGrupo, colaOrden;
    const qsizetype g = texto.indexOf(QStringLiteral(" GROUP BY "), 0, Qt::CaseInsensitive);
    if (g >= 0) {
        colaGrupo = texto.mid(g);
    } else {
        const qsizetype o = texto.indexOf(QStringLiteral("ORDER BY "), 0, Qt::CaseInsensitive);
        if (o >= 0) colaOrden = texto.mid(o);
    }
    if (!colaGrupo.isEmpty()) resto.remove(colaGrupo);
    if (!colaOrden.isEmpty()) resto.remove(colaOrden);
    const QString limite =
        (Contiene(texto, QStringLiteral(" WHERE ")) ? QStringLiteral(" AND ROWNUM <= ")
                                                    : QStringLiteral(" WHERE ROWNUM <= ")) +
        cuenta;
    return cabeza + QStringLiteral(" ") + resto + QStringLiteral(" ") + limite + QStringLiteral(" ") +
           colaGrupo + QStringLiteral(" ") + colaOrden;
}

// A quoted text that reads as a date, day first. Texts with a time part are
// left alone so the time is not lost.
QDate LeerFecha(const QString& texto) {
    static const char* const formatos[] = {"d/M/yyyy", "d-M-yyyy", "d.M.yyyy", "yyyy-M-d",
                                           "yyyy/M/d", "d/M/yy",   "d-M-yy"};
    const QString t = texto.trimmed();
    if (t.isEmpty()) return QDate();
    for (const char* formato : formatos) {
        QDate fecha = QDate::fromString(t, QString::fromLatin1(formato));
        if (fecha.isValid()) {
            if (QString::fromLatin1(formato).endsWith(QStringLiteral("/yy")) ||
                QString::fromLatin1(formato).endsWith(QStringLiteral("-yy")))
                if (fecha.year() < 1930) fecha = fecha.addYears(100);
            return fecha;
        }
    }
    return QDate();
}

QString FechasOracle(QString texto) {
    qsizetype desde = 0;
    for (;;) {
        const qsizetype a = texto.indexOf(QLatin1Char('\''), desde);
        if (a < 0) break;
        const qsizetype b = texto.indexOf(QLatin1Char('\''), a + 1);
        if (b < 0) break;
        const QDate fecha = LeerFecha(texto.mid(a + 1, b - a - 1));
        if (fecha.isValid()) {
            const QString nuevo = QStringLiteral("TO_DATE('") + fecha.toString(QStringLiteral("dd/MM/yyyy")) +
                                  QStringLiteral("','DD/MM/YYYY')");
            texto.replace(a, b - a + 1, nuevo);
            desde = a + nuevo.size();
        } else {
            desde = b + 1;
        }
    }
    while (Contiene(texto, QStringLiteral("TO_DATE(TO_DATE("))) {
        texto = Reemplazar(texto, QStringLiteral("TO_DATE(TO_DATE("), QStringLiteral("TO_DATE("));
        texto =
            Reemplazar(texto, QStringLiteral("'DD/MM/YYYY'),'DD/MM/YYYY')"), QStringLiteral("'DD/MM/YYYY')"));
    }
    return texto;
}

QString VaciosANulos(const QString& texto) {
    const qsizetype p = texto.indexOf(QStringLiteral("WHERE "), 0, Qt::CaseInsensitive);
    if (p < 0) return texto;
    QString cola = texto.mid(p + 6);
    cola.replace(QStringLiteral("= ''"), QStringLiteral(" IS NULL "));
    cola.replace(QStringLiteral("=''"), QStringLiteral(" IS NULL "));
    return texto.left(p + 6) + cola;
}

QString FormatoFechaToChar(QString texto) {
    const QString mascara = QStringLiteral("'DD/MM/YYYY'");
    qsizetype desde = 0;
    for (;;) {
        const qsizetype p = texto.indexOf(QStringLiteral("103"), desde);
        if (p < 0) break;
        const qsizetype parentesis = texto.lastIndexOf(QLatin1Char('('), p);
        if (parentesis >= 7 &&
            texto.mid(parentesis - 7, 8).compare(QStringLiteral("TO_CHAR("), Qt::CaseInsensitive) == 0) {
            texto.replace(p, 3, mascara);
            desde = p + mascara.size();
        } else {
            desde = p + 3;
        }
    }
    return texto;
}

}  // namespace

QString DB_Dll::SS_TSinonimos(const QString& sentencia) const {
    QString texto = sentencia;
    const bool saltar = gEsAdmin || (Contiene(texto, QStringLiteral("MV_ASIENTOS")) && !Confidencialidad());
    if (!saltar) {
        const QString proceso = NombreProceso();
        for (const Sinonimo& s : kSinonimos) {
            bool exceptuado = false;
            for (const char* excepcion : s.salvoProcesos)
                if (excepcion && Iguales(proceso, QString::fromLatin1(excepcion))) exceptuado = true;
            if (exceptuado) continue;
            const QString nombre = QString::fromLatin1(s.nombre);
            const bool esCuentas = nombre == QStringLiteral("MA_CUENTAS");
            texto = SustituirNombre(texto, nombre, QString::fromLatin1(s.sinonimo));
            if (esCuentas)
                texto = Reemplazar(texto, QStringLiteral("@Admin_MA_CUENTAS"), QStringLiteral("MA_CUENTAS"));
        }
    }
    return Reemplazar(texto, QStringLiteral("@Admin_"), QString());
}

QString DB_Dll::ORACLE_Dicc(const QString& entrada) const {
    if (!EsCadenaOracle(gConnString)) return entrada;
    if (ContarPalabras(entrada) < 2)
        return Iguales(entrada.trimmed(), QStringLiteral("LEN")) ? QStringLiteral("LENGTH") : entrada;
    QString texto = LimiteFilas(entrada);
    for (const char* len : {" LEN(", " LEN (", " LEN  (", " LEN   (", " LEN    ("})
        texto = Reemplazar(texto, QString::fromLatin1(len), QStringLiteral(" LENGTH("));
    texto.replace(QLatin1Char('['), QLatin1Char('"'));
    texto.replace(QLatin1Char(']'), QLatin1Char('"'));
    texto = FechasOracle(texto);
    texto = Reemplazar(texto, QStringLiteral("Charindex"), QStringLiteral("InStr"));
    texto = Reemplazar(texto, QStringLiteral("CONVERT(NVARCHAR,"), QStringLiteral("TO_CHAR("));
    texto = Reemplazar(texto, QStringLiteral("CONVERT(INT,"), QStringLiteral("TO_NUMBER("));
    texto = VaciosANulos(texto);
    texto = FormatoFechaToChar(texto);
    texto = Reemplazar(texto, QStringLiteral("SUBSTRING("), QStringLiteral("SUBSTR("));
    texto = Reemplazar(texto, QStringLiteral("ISNULL("), QStringLiteral("NVL("));
    return texto;
}

void DB_Dll::EjecutaLoteOracle(const QString& script, qint32& recordsAffected) {
    static const std::array<const char*, 12> palabras = {
        "INSERT ",         "DELETE ", "UPDATE ",  "CREATE ",      "DROP ",    "ALTER ",
        "SET TRANSACTION", "COMMIT",  "ROLLBACK", "IF NOT EXIST", "IF EXIST", "GRANT "};
    QString resto = script;
    resto = Reemplazar(resto, QStringLiteral("SET NOCOUNT ON"), QString());
    resto = Reemplazar(resto, QStringLiteral("SET NOCOUNT OFF"), QString());
    resto = Reemplazar(resto, QStringLiteral(" GO "), QStringLiteral(" "));
    for (int vez = 0; vez < 2; ++vez) {
        resto = Reemplazar(resto, QStringLiteral("\r\nGO "), QStringLiteral(" "));
        resto = Reemplazar(resto, QStringLiteral("\nGO "), QStringLiteral(" "));
    }
    resto = Reemplazar(resto, QStringLiteral("\r\nGO\r\n"), QStringLiteral(" "));
    resto = Reemplazar(resto, QStringLiteral("\nGO\n"), QStringLiteral(" "));
    // A separator line that ends the script (or that the replacements above left
    // behind) is no statement: it would be sent to the server glued to the last one.
    resto.replace(QRegularExpression(QStringLiteral("(^|\\n)[ \\t\\r]*GO[ \\t\\r]*(?=\\n|$)"),
                                     QRegularExpression::CaseInsensitiveOption),
                  QStringLiteral("\\1"));
    resto.replace(QLatin1Char('\r'), QLatin1Char(' '));
    resto = Reemplazar(resto, QStringLiteral("BEGIN TRANSACTION"), QStringLiteral("SET TRANSACTION"));
    resto = Reemplazar(resto, QStringLiteral("BEGIN TRANS"), QStringLiteral("SET TRANSACTION"));
    resto = Reemplazar(resto, QStringLiteral("COMMIT TRANSACTION"), QStringLiteral("COMMIT"));
    resto = Reemplazar(resto, QStringLiteral("COMMIT TRANS"), QStringLiteral("COMMIT"));
    resto = Reemplazar(resto, QStringLiteral("ROLLBACK TRANSACTION"), QStringLiteral("ROLLBACK"));
    resto = Reemplazar(resto, QStringLiteral("ROLLBACK TRANS"), QStringLiteral("ROLLBACK"));

    auto primera = [&](qsizetype desde, qsizetype& largo) {
        qsizetype mejor = -1;
        for (const char* p : palabras) {
            const QString palabra = QString::fromLatin1(p);
            const qsizetype pos = resto.indexOf(palabra, desde, Qt::CaseInsensitive);
            if (pos >= 0 && (mejor < 0 || pos < mejor)) {
                mejor = pos;
                largo = palabra.size();
            }
        }
        return mejor;
    };

    for (;;) {
        qsizetype largo = 0;
        const qsizetype inicio = primera(0, largo);
        if (inicio < 0) break;
        qsizetype largoSiguiente = 0;
        const qsizetype siguiente = primera(inicio + largo, largoSiguiente);
        QString sentencia =
            (siguiente < 0 ? resto.mid(inicio) : resto.mid(inicio, siguiente - inicio)).trimmed();
        resto = (siguiente < 0 ? QString() : resto.mid(siguiente)).trimmed();

        if (sentencia.startsWith(QStringLiteral("SET TRANSACTION"), Qt::CaseInsensitive)) {
            gCnn.BeginTrans();
            continue;
        }
        if (sentencia.startsWith(QStringLiteral("COMMIT"), Qt::CaseInsensitive)) {
            gCnn.CommitTrans();
            continue;
        }
        if (sentencia.startsWith(QStringLiteral("ROLLBACK"), Qt::CaseInsensitive)) {
            gCnn.RollbackTrans();
            continue;
        }
        sentencia = ORACLE_Dicc(sentencia);
        if (Contiene(sentencia, QStringLiteral("SET NOCOUNT")) ||
            Contiene(sentencia, QStringLiteral("IF NOT EXIST")))
            continue;
        if (sentencia.trimmed().isEmpty()) continue;
        qint32 afectados = 0;
        gCnn.Execute(sentencia, &afectados, -1);
        // Statements that return rows report no count.
        if (afectados > 0) recordsAffected += afectados;
    }
    ErroresADO& errores = gCnn.Errors();
    if (errores.Count() == 1 && errores.Item(0).numero == 265929) errores.Clear();
}

}  // namespace kv::db
