#include "localserver/tsql/Lexico.h"

#include "localserver/tsql/Mensajes.h"

namespace kv::local {

namespace {

bool EsInicioPalabra(QChar c) { return c.isLetter() || c == QLatin1Char('_'); }

bool EsParteDePalabra(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') || c == QLatin1Char('@') ||
           c == QLatin1Char('#');
}

bool EsDigito(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

}  // namespace

bool Token::Es(const char* palabra) const {
    return tipo == TipoToken::Palabra && texto.compare(QLatin1String(palabra), Qt::CaseInsensitive) == 0;
}

bool Token::EsSimbolo(const char* simbolo) const {
    return tipo == TipoToken::Simbolo && texto == QLatin1String(simbolo);
}

QString Token::Nombre() const {
    if (tipo == TipoToken::Corchete) {
        QString s = texto.mid(1);
        if (s.endsWith(QLatin1Char(']'))) s.chop(1);
        return s.replace(QLatin1String("]]"), QLatin1String("]"));
    }
    if (tipo == TipoToken::Comillas) {
        QString s = texto.mid(1);
        if (s.endsWith(QLatin1Char('"'))) s.chop(1);
        return s.replace(QLatin1String("\"\""), QLatin1String("\""));
    }
    return texto;
}

QString Token::Valor() const {
    QString s = texto;
    if (s.startsWith(QLatin1Char('N')) || s.startsWith(QLatin1Char('n'))) s.remove(0, 1);
    s.remove(0, 1);
    if (s.endsWith(QLatin1Char('\''))) s.chop(1);
    return s.replace(QLatin1String("''"), QLatin1String("'"));
}

std::vector<Token> Tokenizar(const QString& texto, FalloLexico* fallo) {
    std::vector<Token> tokens;
    const int n = static_cast<int>(texto.size());
    int i = 0;
    int linea = 1;
    bool fallado = false;
    auto anotar = [&](int numero, const QString& mensaje, int lineaFallo) {
        if (fallo && !fallado) {
            fallo->numero = numero;
            fallo->mensaje = mensaje;
            fallo->linea = lineaFallo;
        }
        fallado = true;
    };
    auto contarLineas = [&](int desde, int hasta) {
        for (int k = desde; k < hasta; ++k) {
            if (texto[k] == QLatin1Char('\n')) {
                ++linea;
            } else if (texto[k] == QLatin1Char('\r') && (k + 1 >= n || texto[k + 1] != QLatin1Char('\n'))) {
                ++linea;
            }
        }
    };
    // Reads a quoted run that ends at `cierre`, where a doubled `cierre` stands for one.
    auto citado = [&](int desde, QChar cierre, bool* cerrado) {
        int k = desde;
        while (k < n) {
            if (texto[k] == cierre) {
                if (k + 1 < n && texto[k + 1] == cierre) {
                    k += 2;
                    continue;
                }
                *cerrado = true;
                return k + 1;
            }
            ++k;
        }
        *cerrado = false;
        return n;
    };

    while (i < n) {
        const QChar c = texto[i];
        Token t;
        t.inicio = i;
        t.linea = linea;
        int fin = i + 1;
        if (c.isSpace()) {
            t.tipo = TipoToken::Blanco;
            while (fin < n && texto[fin].isSpace()) ++fin;
        } else if (c == QLatin1Char('-') && i + 1 < n && texto[i + 1] == QLatin1Char('-')) {
            t.tipo = TipoToken::Comentario;
            while (fin < n && texto[fin] != QLatin1Char('\n') && texto[fin] != QLatin1Char('\r')) ++fin;
        } else if (c == QLatin1Char('/') && i + 1 < n && texto[i + 1] == QLatin1Char('*')) {
            t.tipo = TipoToken::Comentario;
            int nivel = 1;
            fin = i + 2;
            while (fin < n && nivel > 0) {
                if (texto[fin] == QLatin1Char('/') && fin + 1 < n && texto[fin + 1] == QLatin1Char('*')) {
                    ++nivel;
                    fin += 2;
                } else if (texto[fin] == QLatin1Char('*') && fin + 1 < n &&
                           texto[fin + 1] == QLatin1Char('/')) {
                    --nivel;
                    fin += 2;
                } else {
                    ++fin;
                }
            }
            if (nivel > 0) anotar(mensajes::kComentarioSinCerrar, mensajes::ComentarioSinCerrar(), linea);
        } else if (c == QLatin1Char('\'') || ((c == QLatin1Char('N') || c == QLatin1Char('n')) && i + 1 < n &&
                                              texto[i + 1] == QLatin1Char('\''))) {
            t.tipo = TipoToken::Cadena;
            bool cerrado = false;
            fin = citado(c == QLatin1Char('\'') ? i + 1 : i + 2, QLatin1Char('\''), &cerrado);
            if (!cerrado) {
                Token parcial;
                parcial.tipo = TipoToken::Cadena;
                parcial.texto = texto.mid(i, fin - i) + QLatin1Char('\'');
                anotar(mensajes::kComillaSinCerrar, mensajes::ComillaSinCerrar(parcial.Valor()), linea);
            }
        } else if (c == QLatin1Char('[')) {
            t.tipo = TipoToken::Corchete;
            bool cerrado = false;
            fin = citado(i + 1, QLatin1Char(']'), &cerrado);
            if (!cerrado)
                anotar(mensajes::kComillaSinCerrar, mensajes::ComillaSinCerrar(texto.mid(i + 1)), linea);
        } else if (c == QLatin1Char('"')) {
            t.tipo = TipoToken::Comillas;
            bool cerrado = false;
            fin = citado(i + 1, QLatin1Char('"'), &cerrado);
            if (!cerrado)
                anotar(mensajes::kComillaSinCerrar, mensajes::ComillaSinCerrar(texto.mid(i + 1)), linea);
        } else if (EsDigito(c) || (c == QLatin1Char('.') && i + 1 < n && EsDigito(texto[i + 1]))) {
            t.tipo = TipoToken::Numero;
            if (c == QLatin1Char('0') && i + 1 < n &&
                (texto[i + 1] == QLatin1Char('x') || texto[i + 1] == QLatin1Char('X'))) {
                fin = i + 2;
                while (fin < n && (EsDigito(texto[fin]) || (texto[fin].toLower() >= QLatin1Char('a') &&
                                                            texto[fin].toLower() <= QLatin1Char('f'))))
                    ++fin;
            } else {
                fin = i;
                while (fin < n && EsDigito(texto[fin])) ++fin;
                if (fin < n && texto[fin] == QLatin1Char('.')) {
                    ++fin;
                    while (fin < n && EsDigito(texto[fin])) ++fin;
                }
                if (fin < n && (texto[fin] == QLatin1Char('e') || texto[fin] == QLatin1Char('E'))) {
                    int k = fin + 1;
                    if (k < n && (texto[k] == QLatin1Char('+') || texto[k] == QLatin1Char('-'))) ++k;
                    if (k < n && EsDigito(texto[k])) {
                        fin = k;
                        while (fin < n && EsDigito(texto[fin])) ++fin;
                    }
                }
            }
        } else if (c == QLatin1Char('@')) {
            t.tipo = TipoToken::Variable;
            while (fin < n && EsParteDePalabra(texto[fin])) ++fin;
        } else if (c == QLatin1Char('#') && i + 1 < n &&
                   (EsInicioPalabra(texto[i + 1]) || EsDigito(texto[i + 1]) || texto[i + 1] == QLatin1Char('#'))) {
            // A temporary table: #t, or ##t for a global one.
            t.tipo = TipoToken::Palabra;
            while (fin < n && texto[fin] == QLatin1Char('#')) ++fin;
            while (fin < n && EsParteDePalabra(texto[fin]) && texto[fin] != QLatin1Char('#')) ++fin;
        } else if (EsInicioPalabra(c)) {
            t.tipo = TipoToken::Palabra;
            while (fin < n && EsParteDePalabra(texto[fin]) && texto[fin] != QLatin1Char('#')) ++fin;
        } else if (c == QLatin1Char('?')) {
            t.tipo = TipoToken::Parametro;
        } else {
            t.tipo = TipoToken::Simbolo;
            static const char* const dobles[] = {
                "<>", "!=", "<=", ">=", "!<", "!>", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "::"};
            for (const char* d : dobles) {
                if (i + 1 < n && c == QLatin1Char(d[0]) && texto[i + 1] == QLatin1Char(d[1])) {
                    fin = i + 2;
                    break;
                }
            }
            // A lone surrogate pair stays one token.
            if (fin == i + 1 && c.isHighSurrogate() && i + 1 < n && texto[i + 1].isLowSurrogate())
                fin = i + 2;
        }
        t.texto = texto.mid(i, fin - i);
        contarLineas(i, fin);
        tokens.push_back(std::move(t));
        i = fin;
    }
    return tokens;
}

}  // namespace kv::local
