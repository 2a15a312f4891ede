// UPDATE and DELETE with a FROM of their own, as SQL Server takes them: the target
// named in the FROM, by its name or by an alias, changes only the rows the FROM finds.
#include <QString>

#include "SesionEnBase.h"

using namespace kv::pruebas;

namespace {

class DmlConFrom : public SesionEnBase {
  protected:
    void SetUp() override {
        SesionEnBase::SetUp();
        AbrirEn(QStringLiteral("DMLFROM"));
        Lote(*c_, QStringLiteral("CREATE TABLE P (k int, v money NULL) INSERT INTO P VALUES (1, 0), (2, 0), (3, 0) "
                                 "CREATE TABLE Q (k int, t nvarchar(5), m money) "
                                 "INSERT INTO Q VALUES (1, 'a', 922337203685477.5807), (2, 'b', 2.5)"));
    }
    int Afectadas(const QString& sql) {
        for (const auto& r : Lote(*c_, sql))
            if (!r.tieneFilas) return static_cast<int>(r.filasAfectadas);
        return -1;
    }
};

}  // namespace

TEST_F(DmlConFrom, UpdateConElDestinoEnSuFrom) {
    // By the table's name, joined.
    EXPECT_EQ(Afectadas(QStringLiteral("UPDATE P SET v = Q.m FROM P JOIN Q ON P.k = Q.k WHERE Q.t = 'a'")), 1);
    EXPECT_EQ(Todo(QStringLiteral("SELECT k, v FROM P ORDER BY k")),
              (QStringList{QStringLiteral("1|922337203685477.5807"), QStringLiteral("2|0"), QStringLiteral("3|0")}));
    // By an alias, with a compound assignment over the target's own column where the
    // other table has a column of the same name.
    Lote(*c_, QStringLiteral("ALTER TABLE Q ADD v money NULL"));
    Lote(*c_, QStringLiteral("UPDATE Q SET v = 100"));
    EXPECT_EQ(Afectadas(QStringLiteral("UPDATE a SET v += 1 FROM P a INNER JOIN Q b ON a.k = b.k WHERE b.m < 10")), 1);
    EXPECT_EQ(Todo(QStringLiteral("SELECT k, v FROM P ORDER BY k")),
              (QStringList{QStringLiteral("1|922337203685477.5807"), QStringLiteral("2|1"), QStringLiteral("3|0")}));
    // A FROM that does not name the target: the target's rows the WHERE pairs.
    EXPECT_EQ(Afectadas(QStringLiteral("UPDATE P SET v = 7 FROM Q WHERE P.k = Q.k AND Q.t = 'b'")), 1);
    EXPECT_EQ(Todo(QStringLiteral("SELECT v FROM P WHERE k = 2")), QStringList{QStringLiteral("7")});
    // Rows the FROM does not find keep their values, also through a LEFT JOIN.
    EXPECT_EQ(Afectadas(QStringLiteral("UPDATE a SET v = ISNULL(b.m, -1) FROM P a LEFT JOIN Q b ON a.k = b.k "
                                       "WHERE a.k = 3")),
              1);
    EXPECT_EQ(Todo(QStringLiteral("SELECT k, v FROM P ORDER BY k")),
              (QStringList{QStringLiteral("1|922337203685477.5807"), QStringLiteral("2|7"), QStringLiteral("3|-1")}));
}

TEST_F(DmlConFrom, DeleteConElDestinoEnSuFrom) {
    EXPECT_EQ(Afectadas(QStringLiteral("DELETE a FROM P a JOIN Q b ON a.k = b.k WHERE b.t = 'a'")), 1);
    EXPECT_EQ(Todo(QStringLiteral("SELECT k FROM P ORDER BY k")),
              (QStringList{QStringLiteral("2"), QStringLiteral("3")}));
    // DELETE FROM P FROM Q: the target joins the FROM as itself.
    EXPECT_EQ(Afectadas(QStringLiteral("DELETE FROM P FROM Q WHERE P.k = Q.k")), 1);
    EXPECT_EQ(Todo(QStringLiteral("SELECT k FROM P")), QStringList{QStringLiteral("3")});
    EXPECT_EQ(Afectadas(QStringLiteral("DELETE P FROM P JOIN Q ON P.k = Q.k")), 0);
    EXPECT_EQ(Todo(QStringLiteral("SELECT k FROM P")), QStringList{QStringLiteral("3")});
}
