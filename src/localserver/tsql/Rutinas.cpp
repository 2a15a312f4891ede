// Procedure pass: the header of CREATE / ALTER PROCEDURE becomes the procedure's
// parameters, declared as the first variables of its body.

#include "localserver/tsql/Rutinas.h"

#include "localserver/tsql/Division.h"
#include "localserver/tsql/MensajesRutinas.h"
#include "localserver/tsql/Traductor.h"

namespace kv::local {

QString ParametroDeEntrada(size_t i) { return QStringLiteral("@kv_a%1").arg(i + 1); }
QString ParametroDeVariableRutina(size_t i) { return QStringLiteral("@kv_v%1").arg(i + 1); }

bool EsDefinicionDeRutina(const std::vector<Token>& t) {
    auto proc = [&](size_t i) { return i < t.size() && (t[i].Es("PROC") || t[i].Es("PROCEDURE")); };
    if (t.empty()) return false;
    if (t[0].Es("ALTER")) return proc(1);
    if (!t[0].Es("CREATE")) return false;
    if (proc(1)) return true;
    return t.size() > 2 && t[1].Es("OR") && t[2].Es("ALTER") && proc(3);
}

}  // namespace kv::local

namespace kv::local::traduccion {

QVariant Traductor::ConstanteDeParametro() {
    // A default is a constant: a number, a string, NULL or a bare word.
    if (Fin()) Fallar();
    QString signo;
    if (EsSimbolo("-") || EsSimbolo("+")) signo = t_[p_++].texto;
    const Token& v = Actual();
    if (v.tipo == TipoToken::Numero) {
        ++p_;
        bool ok = false;
        const qlonglong entero = (signo + v.texto).toLongLong(&ok);
        if (ok) return entero;
        const double real = (signo + v.texto).toDouble(&ok);
        if (!ok) Fallar();
        return real;
    }
    if (!signo.isEmpty()) Fallar();
    if (v.tipo == TipoToken::Cadena) {
        ++p_;
        return v.Valor();
    }
    if (v.Es("NULL")) {
        ++p_;
        return QVariant();
    }
    if (v.tipo == TipoToken::Palabra) {
        ++p_;
        return v.texto;
    }
    Fallar();
}

QString Traductor::ConversionDeParametro(const Tipo& tipo, const QString& parametro) {
    Expr e;
    e.sql = parametro;
    e.literal = true;
    return QLatin1String("SELECT ") + Convertir(tipo, e, QString()).sql;
}

int Traductor::CabeceraRutina(kv::local::DefinicionRutina& def, std::vector<Tipo>& tipos) {
    if (Tomar("CREATE")) {
        def.verbo = QStringLiteral("CREATE");
        if (Tomar("OR")) {
            Exigir("ALTER");
            def.verbo = QStringLiteral("CREATE OR ALTER");
        }
    } else {
        Exigir("ALTER");
        def.verbo = QStringLiteral("ALTER");
    }
    if (!Tomar("PROC")) Exigir("PROCEDURE");
    QStringList partes;
    partes << Identificador();
    while (TomarSimbolo(".")) partes << Identificador();
    if (partes.size() > 2) Fallar();
    def.nombre = partes.last();
    if (EsSimbolo(";")) Fallar();
    const bool entreParentesis = TomarSimbolo("(");
    if (!Fin() && Actual().tipo == TipoToken::Variable) {
        do {
            if (Fin() || Actual().tipo != TipoToken::Variable || Actual().texto.startsWith(QLatin1String("@@")))
                Fallar();
            const Token& tk = Actual();
            ++p_;
            Tomar("AS");
            ParametroRutina p;
            p.nombre = tk.texto;
            const Tipo tipo = LeerTipo();
            p.tipo = tipo.nombre;
            Tomar("VARYING");
            if (TomarSimbolo("=")) {
                p.conDefecto = true;
                p.defecto = ConstanteDeParametro();
            }
            if (Tomar("OUTPUT") || Tomar("OUT")) p.salida = true;
            Tomar("READONLY");
            const QString nombre = tk.texto.toLower();
            if (lote_.variables.contains(nombre))
                throw ErrorTSQL(mensajes::kVariableRepetida, mensajes::VariableRepetida(tk.texto), tk.linea);
            Variable v;
            v.parametro = ParametroDeVariableRutina(def.parametros.size());
            v.tipo = tipo;
            lote_.variables.insert(nombre, v);
            def.parametros.push_back(p);
            tipos.push_back(tipo);
        } while (TomarSimbolo(","));
    }
    if (entreParentesis) ExigirSimbolo(")");
    if (Tomar("WITH")) {
        // RECOMPILE, ENCRYPTION, EXECUTE AS ...: accepted, they change nothing here.
        do {
            if (Tomar("EXECUTE") || Tomar("EXEC")) {
                Exigir("AS");
                if (!Fin()) ++p_;
            } else if (!Fin() && Actual().tipo == TipoToken::Palabra && !Es("AS")) {
                ++p_;
            } else {
                Fallar();
            }
        } while (TomarSimbolo(","));
    }
    if (Tomar("FOR")) Exigir("REPLICATION");
    Exigir("AS");
    return p_;
}

}  // namespace kv::local::traduccion
