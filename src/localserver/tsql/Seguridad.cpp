// Security statements: CREATE, ALTER and DROP LOGIN, CREATE and DROP USER,
// ALTER ROLE and ALTER SERVER ROLE. They are only read here; the session runs
// them on the server's catalog with the rights SQL Server asks for.

#include "localserver/tsql/Traductor.h"

namespace kv::local::traduccion {

namespace {

Argumento Opcion(const QString& nombre, const QVariant& valor) {
    Argumento a;
    a.nombre = nombre;
    a.valor = valor;
    return a;
}

}  // namespace

bool Traductor::Seguridad(Sentencia& s) {
    const bool crear = Es("CREATE"), alterar = Es("ALTER"), quitar = Es("DROP");
    if (!crear && !alterar && !quitar) return false;
    const Token& objeto = Siguiente();
    QString clase;
    if (objeto.Es("LOGIN"))
        clase = QStringLiteral("LOGIN");
    else if (objeto.Es("USER") && !alterar)
        clase = QStringLiteral("USER");
    else if (objeto.Es("ROLE") && alterar)
        clase = QStringLiteral("ROLE");
    else if (objeto.Es("SERVER") && alterar && Siguiente(2).Es("ROLE"))
        clase = QStringLiteral("SERVER ROLE");
    else
        return false;
    const QString verbo = Actual().texto.toUpper();
    p_ += clase == QLatin1String("SERVER ROLE") ? 3 : 2;
    s.clase = Clase::Seguridad;
    s.sql = verbo + QLatin1Char(' ') + clase;
    if (quitar && clase == QLatin1String("USER") && Es("IF") && Siguiente().Es("EXISTS")) {
        p_ += 2;
        s.argumentos.push_back(Opcion(QStringLiteral("IF EXISTS"), true));
    }
    s.objeto = Identificador();

    // The value of an option: a string, a number, or a name (ON, OFF, a database).
    auto valor = [&]() -> QVariant {
        if (Fin()) Fallar();
        const Token& v = Actual();
        ++p_;
        if (v.tipo == TipoToken::Cadena) return v.Valor();
        if (v.tipo == TipoToken::Numero) return v.texto;
        if (EsIdentificador(v) || v.tipo == TipoToken::Palabra) return v.Nombre();
        --p_;
        Fallar();
    };
    auto opcion = [&](const char* nombre) {
        Exigir(nombre);
        ExigirSimbolo("=");
        s.argumentos.push_back(Opcion(QString::fromLatin1(nombre), valor()));
    };

    if (clase == QLatin1String("LOGIN")) {
        if (quitar) return true;
        if (alterar && (Es("ENABLE") || Es("DISABLE"))) {
            s.argumentos.push_back(Opcion(Actual().texto.toUpper(), true));
            ++p_;
            return true;
        }
        // FROM WINDOWS, FROM CERTIFICATE and the like have nothing to stand on here.
        Exigir("WITH");
        bool primera = true;
        do {
            if (Es("PASSWORD")) {
                // A password is a string; a hashed one cannot be taken over.
                ++p_;
                ExigirSimbolo("=");
                if (Fin() || Actual().tipo != TipoToken::Cadena) Fallar();
                s.argumentos.push_back(Opcion(QStringLiteral("PASSWORD"), Actual().Valor()));
                ++p_;
                if (Es("HASHED")) Fallar();
                // ALTER LOGIN ... WITH PASSWORD = 'nueva' OLD_PASSWORD = 'anterior'
                while (Es("OLD_PASSWORD") || Es("MUST_CHANGE") || Es("UNLOCK")) {
                    if (Es("OLD_PASSWORD")) {
                        ++p_;
                        ExigirSimbolo("=");
                        if (Fin() || Actual().tipo != TipoToken::Cadena) Fallar();
                        s.argumentos.push_back(Opcion(QStringLiteral("OLD_PASSWORD"), Actual().Valor()));
                        ++p_;
                    } else {
                        s.argumentos.push_back(Opcion(Actual().texto.toUpper(), true));
                        ++p_;
                    }
                }
            } else if (Es("DEFAULT_DATABASE")) {
                opcion("DEFAULT_DATABASE");
            } else if (Es("DEFAULT_LANGUAGE")) {
                opcion("DEFAULT_LANGUAGE");
            } else if (Es("CHECK_POLICY")) {
                opcion("CHECK_POLICY");
            } else if (Es("CHECK_EXPIRATION")) {
                opcion("CHECK_EXPIRATION");
            } else if (Es("NAME") && alterar) {
                opcion("NAME");
            } else if (Es("SID") && crear) {
                opcion("SID");
            } else {
                Fallar();
            }
            // CREATE LOGIN takes its password first, as SQL Server reads it.
            if (primera && crear && s.argumentos.back().nombre != QLatin1String("PASSWORD")) Fallar();
            primera = false;
        } while (TomarSimbolo(","));
        return true;
    }
    if (clase == QLatin1String("USER")) {
        if (quitar) return true;
        if (Tomar("FOR") || Tomar("FROM")) {
            Exigir("LOGIN");
            s.argumentos.push_back(Opcion(QStringLiteral("LOGIN"), Identificador()));
        } else if (Es("WITHOUT")) {
            Fallar();
        }
        if (Tomar("WITH")) {
            do {
                if (Es("DEFAULT_SCHEMA"))
                    opcion("DEFAULT_SCHEMA");
                else
                    Fallar();
            } while (TomarSimbolo(","));
        }
        return true;
    }
    // ALTER ROLE r ADD MEMBER u, ALTER SERVER ROLE r DROP MEMBER l
    QString accion;
    if (Tomar("ADD"))
        accion = QStringLiteral("ADD");
    else if (Tomar("DROP"))
        accion = QStringLiteral("DROP");
    else
        Fallar();
    Exigir("MEMBER");
    s.argumentos.push_back(Opcion(accion, Identificador()));
    return true;
}

}  // namespace kv::local::traduccion
