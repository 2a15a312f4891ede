#pragma once
// Lossless tokenizer of T-SQL text: the texts of the tokens, joined, give back
// the input exactly (blanks, comments and line breaks included).

#include <QString>
#include <vector>

namespace kv::local {

enum class TipoToken {
    Blanco,      // blanks, tabs, CR, LF
    Comentario,  // -- to the end of the line, or /* ... */ (nested as SQL Server nests them)
    Palabra,     // keyword or plain identifier
    Corchete,    // [identifier]
    Comillas,    // "identifier"
    Cadena,      // 'text' or N'text'
    Numero,      // 12, 1.5, .5, 1e3, 0x1F
    Variable,    // @name, @@name
    Parametro,   // ?
    Simbolo      // operators and punctuation, one token each
};

struct Token {
    TipoToken tipo = TipoToken::Simbolo;
    QString texto;   // exactly as in the input
    int inicio = 0;  // offset in the input
    int linea = 1;   // line where the token starts (CR LF, LF and a lone CR each end a line)

    bool Significativo() const { return tipo != TipoToken::Blanco && tipo != TipoToken::Comentario; }
    // Case-insensitive test of a word token.
    bool Es(const char* palabra) const;
    bool EsSimbolo(const char* simbolo) const;
    // The name an identifier token stands for: brackets and quotes removed,
    // doubled closing characters undone.
    QString Nombre() const;
    // For a string token, its value: quotes and the N prefix removed, '' undone.
    QString Valor() const;
};

// Problem found while reading the text: an unclosed string, identifier or comment.
struct FalloLexico {
    int numero = 0;  // 105 or 113
    QString mensaje;
    int linea = 1;
};

// Splits `texto` into tokens. Never fails: an unclosed string, identifier or
// comment runs to the end of the text and `fallo` (when given) receives the
// problem; the tokens still join back to the input.
std::vector<Token> Tokenizar(const QString& texto, FalloLexico* fallo = nullptr);

}  // namespace kv::local
