#include "localserver/tsql/Division.h"

namespace kv::local {

namespace {

const char* const kInicios[] = {"SELECT",   "INSERT",  "UPDATE",  "DELETE", "CREATE",   "ALTER",    "DROP",
                                "USE",      "EXEC",    "EXECUTE", "BEGIN",  "COMMIT",   "ROLLBACK", "SET",
                                "TRUNCATE", "DECLARE", "PRINT",   "IF",     "WHILE",    "RETURN",   "GRANT",
                                "REVOKE",   "SAVE",    "WITH",    "BREAK",  "CONTINUE", "RAISERROR", "WAITFOR",
                                "THROW"};

bool EsUna(const Token& t, std::initializer_list<const char*> palabras) {
    for (const char* p : palabras)
        if (t.Es(p)) return true;
    return false;
}

}  // namespace

bool EsInicioDeSentencia(const Token& token) {
    if (token.tipo != TipoToken::Palabra) return false;
    for (const char* p : kInicios)
        if (token.Es(p)) return true;
    return false;
}

std::vector<TramoSentencia> DividirSentencias(const std::vector<Token>& t) {
    std::vector<TramoSentencia> tramos;
    const int n = static_cast<int>(t.size());
    int inicio = 0;
    int nivel = 0;
    // What the open statement has seen so far, at its own parenthesis level.
    bool insertConFuente = false;
    bool updateConSet = false;
    auto cerrar = [&](int hasta) {
        if (hasta > inicio) tramos.push_back({inicio, hasta});
    };
    int casos = 0;  // CASE expressions open: their ELSE and END belong to them
    for (int i = 0; i < n; ++i) {
        const Token& tk = t[i];
        if (tk.Es("CASE")) {
            ++casos;
            continue;
        }
        if ((tk.Es("END") || tk.Es("ELSE")) && tk.tipo == TipoToken::Palabra) {
            if (casos > 0) {
                if (tk.Es("END")) --casos;
                continue;
            }
            if (nivel == 0) {
                // The END of a BEGIN block and the ELSE of an IF stand alone.
                cerrar(i);
                // END TRY and END CATCH are one piece each.
                const bool bloque = tk.Es("END") && i + 1 < n && (t[i + 1].Es("TRY") || t[i + 1].Es("CATCH"));
                tramos.push_back({i, i + (bloque ? 2 : 1)});
                if (bloque) ++i;
                inicio = i + 1;
                insertConFuente = updateConSet = false;
                continue;
            }
        }
        if (tk.EsSimbolo("(")) {
            ++nivel;
            continue;
        }
        if (tk.EsSimbolo(")")) {
            if (nivel > 0) --nivel;
            continue;
        }
        if (nivel == 0 && tk.EsSimbolo(";")) {
            cerrar(i);
            inicio = i + 1;
            insertConFuente = updateConSet = false;
            continue;
        }
        if (nivel != 0 || i == inicio) continue;
        const Token& cabeza = t[inicio];
        const Token& previo = t[i - 1];
        if (cabeza.Es("INSERT") && EsUna(tk, {"VALUES", "DEFAULT"})) insertConFuente = true;
        if (!EsInicioDeSentencia(tk)) continue;
        bool continua = false;
        if (tk.Es("SELECT")) {
            continua = EsUna(previo, {"UNION", "ALL", "EXCEPT", "INTERSECT"}) ||
                       (cabeza.Es("INSERT") && !insertConFuente) ||
                       ((cabeza.Es("CREATE") || cabeza.Es("ALTER")) && previo.Es("AS")) ||
                       (cabeza.Es("WITH") && previo.EsSimbolo(")"));
            if (cabeza.Es("INSERT") && continua) insertConFuente = true;
        } else if (tk.Es("EXEC") || tk.Es("EXECUTE")) {
            continua = cabeza.Es("INSERT") && !insertConFuente;
            if (continua) insertConFuente = true;
        } else if (tk.Es("SET")) {
            if (cabeza.Es("UPDATE") && !updateConSet) {
                continua = true;
                updateConSet = true;
            } else if (EsUna(previo, {"DELETE", "UPDATE"}) && (cabeza.Es("CREATE") || cabeza.Es("ALTER"))) {
                continua = true;  // ON DELETE SET NULL
            }
        } else if (tk.Es("DELETE") || tk.Es("UPDATE")) {
            continua = previo.Es("ON");
        } else if (tk.Es("ALTER") || tk.Es("DROP")) {
            // ALTER TABLE ... DROP COLUMN / CONSTRAINT, ALTER ROLE ... DROP MEMBER.
            continua = cabeza.Es("ALTER") && i + 1 < n && EsUna(t[i + 1], {"COLUMN", "CONSTRAINT", "MEMBER"});
        } else if (tk.Es("WITH")) {
            // Table hints, WITH NOCHECK, WITH FILLFACTOR, WITH TIES: a common table
            // expression only starts a statement as "WITH name AS (" or "WITH name (".
            continua =
                !(i + 2 < n && t[i + 1].tipo != TipoToken::Simbolo &&
                  (t[i + 2].Es("AS") || t[i + 2].EsSimbolo("(")) && !EsUna(t[i + 1], {"NOCHECK", "CHECK"}));
        } else if (tk.Es("IF")) {
            continua =
                EsUna(previo, {"TABLE", "VIEW", "INDEX", "DATABASE", "PROCEDURE", "USER"});  // DROP ... IF EXISTS
        }
        // GRANT EXECUTE, SELECT ON ...; REVOKE GRANT OPTION FOR ...; ... WITH GRANT OPTION.
        if (EsUna(cabeza, {"GRANT", "REVOKE"}) &&
            (EsUna(previo, {"GRANT", "REVOKE", "FOR", "WITH"}) || previo.EsSimbolo(",")))
            continua = true;
        if (continua) continue;
        cerrar(i);
        inicio = i;
        insertConFuente = updateConSet = false;
    }
    cerrar(n);
    return tramos;
}

}  // namespace kv::local
