#pragma once
// Finds where the statements of a batch begin and end. T-SQL needs no
// separator between statements: a new one begins at a statement keyword that
// is not part of the statement before it (the SELECT of INSERT ... SELECT, the
// SET of UPDATE, the SELECT after UNION or after CREATE VIEW ... AS).

#include <vector>

#include "localserver/tsql/Lexico.h"

namespace kv::local {

struct TramoSentencia {
    int desde = 0;  // first token (index into the significant tokens)
    int hasta = 0;  // one past the last token
};

// `significativos` holds the batch's tokens without blanks and comments.
// Semicolons end a statement and belong to no range; empty ranges are left out.
std::vector<TramoSentencia> DividirSentencias(const std::vector<Token>& significativos);

// Whether the word starts a statement when it stands at the head of one.
bool EsInicioDeSentencia(const Token& token);

}  // namespace kv::local
