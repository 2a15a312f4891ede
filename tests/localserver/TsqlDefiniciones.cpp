// Definitions that name another database (base.dbo.t) and indexes named within
// their table, as SQL Server takes them.
#include <QString>

#include "SesionEnBase.h"

using namespace kv::pruebas;

namespace {

class Definiciones : public SesionEnBase {
  protected:
    void SetUp() override {
        SesionEnBase::SetUp();
        AbrirEn(QStringLiteral("DEFS"));
        Lote(*c_, QStringLiteral("CREATE DATABASE OTRA"));
    }
    QString Mensaje(const QString& sql) {
        const auto e = ErrorDe(*c_, sql);
        return e ? QString::number(e->errorNativo) + QLatin1Char(' ') + e->descripcion : QStringLiteral("sin error");
    }
};

}  // namespace

// CREATE, ALTER and DROP of OTRA.dbo.t change OTRA's table and never one of the
// current database with that name.
TEST_F(Definiciones, TablasDeOtraBaseSeDefinenAlli) {
    Lote(*c_, QStringLiteral("CREATE TABLE T (k int)"));
    Lote(*c_, QStringLiteral("INSERT INTO T VALUES (1)"));
    Lote(*c_, QStringLiteral("CREATE TABLE OTRA.dbo.T (k int, t nvarchar(5))"));
    Lote(*c_, QStringLiteral("ALTER TABLE OTRA.dbo.T ADD n int NULL"));
    Lote(*c_, QStringLiteral("ALTER TABLE otra..T ADD CONSTRAINT DF_T_n DEFAULT (7) FOR n"));
    Lote(*c_, QStringLiteral("INSERT INTO OTRA.dbo.T (k, t) VALUES (2, 'b')"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT k, t, n FROM OTRA.dbo.T")), QStringList{QStringLiteral("2|b|7")});
    EXPECT_EQ(Todo(QStringLiteral("SELECT COLUMN_NAME FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'T'")),
              QStringList{QStringLiteral("k")});
    Lote(*c_, QStringLiteral("ALTER TABLE OTRA.dbo.T DROP COLUMN t"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT COLUMN_NAME FROM OTRA.INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'T'")),
              (QStringList{QStringLiteral("k"), QStringLiteral("n")}));
    // The batch stays in its own database.
    EXPECT_EQ(Todo(QStringLiteral("DROP TABLE OTRA.dbo.T SELECT DB_NAME(), k FROM T")),
              QStringList{QStringLiteral("DEFS|1")});
    EXPECT_EQ(Todo(QStringLiteral("SELECT name FROM OTRA.sys.tables")), QStringList{});
    EXPECT_EQ(Mensaje(QStringLiteral("DROP TABLE OTRA.dbo.T")),
              QStringLiteral("3701 No se puede quitar la tabla 'T' porque no existe o no tiene permiso."));
    // The current database written in full is the current one.
    Lote(*c_, QStringLiteral("CREATE TABLE DEFS.dbo.Propia (k int)"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT name FROM sys.tables WHERE name = 'Propia'")),
              QStringList{QStringLiteral("Propia")});
    EXPECT_EQ(Mensaje(QStringLiteral("CREATE TABLE NOHAY.dbo.X (k int)")),
              QStringLiteral("2702 La base de datos 'NOHAY' no existe."));
    // A view names no database (166).
    EXPECT_EQ(Mensaje(QStringLiteral("CREATE VIEW OTRA.dbo.V AS SELECT 1 AS a")),
              QStringLiteral("166 'CREATE VIEW' no permite especificar el nombre de la base de datos como prefijo "
                             "del nombre del objeto."));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("DROP VIEW OTRA.dbo.V")), 166);
}

// The login's own access and rights in the database named.
TEST_F(Definiciones, OtraBaseConLosDerechosDelLoginAlli) {
    Lote(*c_, QStringLiteral("EXEC sp_addlogin 'disenia', 'Clave1', 'DEFS'"));
    Lote(*c_, QStringLiteral("EXEC sp_grantdbaccess 'disenia'"));
    Lote(*c_, QStringLiteral("EXEC sp_addrolemember 'db_owner', 'disenia'"));
    auto disenia = Conectar(QStringLiteral("DEFS"), QStringLiteral("disenia"), QStringLiteral("Clave1"));
    EXPECT_EQ(PrimerError(*disenia, QStringLiteral("CREATE TABLE OTRA.dbo.Suya (k int)")), 916);
    Lote(*c_, QStringLiteral("USE OTRA EXEC sp_grantdbaccess 'disenia'"));
    EXPECT_EQ(PrimerError(*disenia, QStringLiteral("CREATE TABLE OTRA.dbo.Suya (k int)")), 262);
    Lote(*c_, QStringLiteral("USE OTRA EXEC sp_addrolemember 'db_ddladmin', 'disenia'"));
    EXPECT_EQ(PrimerError(*disenia, QStringLiteral("CREATE TABLE OTRA.dbo.Suya (k int)")), 0);
    Lote(*c_, QStringLiteral("USE OTRA"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT name FROM sys.tables")), QStringList{QStringLiteral("Suya")});
}

// SQL Server names an index within its table: two tables may each have an "ix", and
// DROP INDEX names the table's own.
TEST_F(Definiciones, IndicesConNombreDentroDeSuTabla) {
    Lote(*c_, QStringLiteral("CREATE TABLE A (x int) CREATE TABLE B (x int)"));
    Lote(*c_, QStringLiteral("CREATE INDEX ix ON A (x)"));
    Lote(*c_, QStringLiteral("CREATE INDEX ix ON B (x)"));
    // An index may be named as a table.
    Lote(*c_, QStringLiteral("CREATE INDEX A ON A (x DESC)"));
    EXPECT_EQ(Mensaje(QStringLiteral("CREATE INDEX ix ON B (x)")),
              QStringLiteral("1913 La operación no se pudo realizar porque ya existe un índice con el nombre 'ix' "
                             "en la tabla 'B'."));
    // B.ix is B's: A keeps its own.
    Lote(*c_, QStringLiteral("DROP INDEX B.ix"));
    EXPECT_EQ(Mensaje(QStringLiteral("DROP INDEX ix ON B")),
              QStringLiteral("3701 No se puede quitar el índice 'B.ix' porque no existe o no tiene permiso."));
    EXPECT_EQ(Mensaje(QStringLiteral("CREATE INDEX ix ON A (x)")),
              QStringLiteral("1913 La operación no se pudo realizar porque ya existe un índice con el nombre 'ix' "
                             "en la tabla 'A'."));
    Lote(*c_, QStringLiteral("DROP INDEX IF EXISTS ix ON B"));
    Lote(*c_, QStringLiteral("DROP INDEX ix ON A, A.A"));
    Lote(*c_, QStringLiteral("CREATE INDEX ix ON B (x) DROP INDEX dbo.B.ix"));
    EXPECT_EQ(Mensaje(QStringLiteral("DROP INDEX ix")),
              QStringLiteral("159 Debe especificar el nombre de la tabla y el nombre del índice para la instrucción "
                             "DROP INDEX."));
    // A unique index named as another table's reports its own name.
    Lote(*c_, QStringLiteral("CREATE INDEX ux ON A (x) CREATE UNIQUE INDEX ux ON B (x) INSERT INTO B VALUES (1)"));
    EXPECT_EQ(Mensaje(QStringLiteral("INSERT INTO B VALUES (1)")),
              QStringLiteral("2601 No se puede insertar una fila de clave duplicada en el objeto 'dbo.B' con índice "
                             "único 'ux'."));
    // In another database, and on the session's own tables, which a called
    // procedure may make again under the caller's names.
    Lote(*c_, QStringLiteral("CREATE TABLE OTRA.dbo.A (x int) CREATE INDEX ix ON OTRA.dbo.A (x)"));
    Lote(*c_, QStringLiteral("DROP INDEX OTRA.dbo.A.ix"));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("DROP INDEX ix ON OTRA.dbo.A")), 3701);
    Lote(*c_, QStringLiteral("CREATE TABLE #t (x int) CREATE INDEX ix ON #t (x)"));
    Lote(*c_, QStringLiteral("CREATE PROCEDURE Propia AS BEGIN CREATE TABLE #t (x int) CREATE INDEX ix ON #t (x) "
                             "INSERT INTO #t VALUES (5) SELECT x FROM #t DROP INDEX #t.ix END"));
    EXPECT_EQ(Todo(QStringLiteral("EXEC Propia")), QStringList{QStringLiteral("5")});
    EXPECT_EQ(Mensaje(QStringLiteral("CREATE INDEX ix ON #t (x)")),
              QStringLiteral("1913 La operación no se pudo realizar porque ya existe un índice con el nombre 'ix' "
                             "en la tabla '#t'."));
}

// DROP COLUMN takes the column out of the table and out of what the server tells of
// it, keeps the other columns' values and checks, and refuses while something
// depends on it.
TEST_F(Definiciones, QuitarColumna) {
    Lote(*c_, QStringLiteral("CREATE TABLE Q (k int NOT NULL, t nvarchar(3) NULL, n int NULL, "
                             "CONSTRAINT PK_Q PRIMARY KEY (k))"));
    Lote(*c_, QStringLiteral("ALTER TABLE Q ADD CONSTRAINT DF_Q_n DEFAULT (4) FOR n"));
    Lote(*c_, QStringLiteral("CREATE TABLE U (u nvarchar(2) NULL, v int NULL) CREATE INDEX ix_v ON U (v)"));
    Lote(*c_, QStringLiteral("INSERT INTO Q (k, t) VALUES (1, 'abc')"));
    Lote(*c_, QStringLiteral("ALTER TABLE Q DROP COLUMN t"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT * FROM Q")), QStringList{QStringLiteral("1|4")});
    EXPECT_EQ(Todo(QStringLiteral("SELECT COLUMN_NAME FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'Q'")),
              (QStringList{QStringLiteral("k"), QStringLiteral("n")}));
    EXPECT_EQ(Mensaje(QStringLiteral("ALTER TABLE Q DROP COLUMN n")),
              QStringLiteral("5074 El objeto 'DF_Q_n' depende de la columna 'n'."));
    EXPECT_EQ(Mensaje(QStringLiteral("ALTER TABLE Q DROP COLUMN k")),
              QStringLiteral("5074 El objeto 'PK_Q' depende de la columna 'k'."));
    EXPECT_EQ(Mensaje(QStringLiteral("ALTER TABLE Q DROP COLUMN nada")),
              QStringLiteral("4924 Error de ALTER TABLE DROP COLUMN porque la columna 'nada' no existe en la tabla "
                             "'Q'."));
    EXPECT_EQ(Mensaje(QStringLiteral("ALTER TABLE U DROP COLUMN v")),
              QStringLiteral("5074 El objeto 'ix_v' depende de la columna 'v'."));
    // Without the index it goes; the length check of the column left stays.
    Lote(*c_, QStringLiteral("DROP INDEX U.ix_v ALTER TABLE U DROP COLUMN v"));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("INSERT INTO U VALUES ('abc')")), 8152);
    EXPECT_EQ(Mensaje(QStringLiteral("ALTER TABLE U DROP COLUMN u")),
              QStringLiteral("4923 Error de ALTER TABLE DROP COLUMN porque 'u' es la única columna de datos de la "
                             "tabla 'U'. Una tabla debe tener al menos una columna de datos."));
}

// sys.indexes lists every table's primary key or heap and its own indexes by the
// names they were written with, also of another database; install scripts ask it
// before they make an index.
TEST_F(Definiciones, SysIndexesConLosNombresEscritos) {
    Lote(*c_, QStringLiteral("CREATE TABLE A (k int NOT NULL, x int, CONSTRAINT PK_A PRIMARY KEY (k)) "
                             "CREATE TABLE B (x int) CREATE INDEX ix ON A (x) CREATE UNIQUE INDEX ix ON B (x) "
                             "CREATE INDEX iy ON A (x DESC)"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT t.name, i.index_id, i.name, i.type_desc, i.is_unique, i.is_primary_key "
                                  "FROM sys.indexes i JOIN sys.tables t ON t.object_id = i.object_id "
                                  "ORDER BY t.name, i.index_id")),
              (QStringList{QStringLiteral("A|1|PK_A|CLUSTERED|1|1"), QStringLiteral("A|2|ix|NONCLUSTERED|0|0"),
                           QStringLiteral("A|3|iy|NONCLUSTERED|0|0"), QStringLiteral("B|0|NULL|HEAP|0|0"),
                           QStringLiteral("B|2|ix|NONCLUSTERED|1|0")}));
    EXPECT_EQ(Todo(QStringLiteral("IF NOT EXISTS (SELECT * FROM sys.indexes WHERE name = 'ix' AND object_id = "
                                  "OBJECT_ID('B')) CREATE INDEX ix ON B (x) ELSE SELECT 'ya esta'")),
              QStringList{QStringLiteral("ya esta")});
    Lote(*c_, QStringLiteral("CREATE TABLE OTRA.dbo.C (x int) CREATE INDEX ic ON OTRA.dbo.C (x)"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT name FROM OTRA.sys.indexes WHERE index_id > 1")),
              QStringList{QStringLiteral("ic")});
    EXPECT_EQ(Todo(QStringLiteral("SELECT name FROM sys.schemas WHERE schema_id = 1")),
              QStringList{QStringLiteral("dbo")});
}

// OBJECT_NAME, COL_LENGTH, OBJECTPROPERTY and COLUMNPROPERTY answer from the catalog.
TEST_F(Definiciones, FuncionesDelCatalogo) {
    Lote(*c_, QStringLiteral("CREATE TABLE F (k int IDENTITY(1,1) NOT NULL, t nvarchar(12) NULL, "
                             "d decimal(9,2) NULL) CREATE VIEW VF AS SELECT k FROM F"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT OBJECT_NAME(OBJECT_ID('F')), OBJECT_NAME(OBJECT_ID('VF')), "
                                  "OBJECT_NAME(-5)")),
              QStringList{QStringLiteral("F|VF|NULL")});
    EXPECT_EQ(Todo(QStringLiteral("SELECT COL_LENGTH('F', 't'), COL_LENGTH('F', 'K'), COL_LENGTH('F', 'nada'), "
                                  "COL_LENGTH('NOHAY', 't')")),
              QStringList{QStringLiteral("24|4|NULL|NULL")});
    EXPECT_EQ(Todo(QStringLiteral("SELECT OBJECTPROPERTY(OBJECT_ID('F'), 'IsUserTable'), "
                                  "OBJECTPROPERTY(OBJECT_ID('VF'), N'IsUserTable'), "
                                  "OBJECTPROPERTY(OBJECT_ID('VF'), 'IsView'), OBJECTPROPERTY(OBJECT_ID('F'), 'Otra')")),
              QStringList{QStringLiteral("1|0|1|NULL")});
    EXPECT_EQ(Todo(QStringLiteral("SELECT COLUMNPROPERTY(OBJECT_ID('F'), 'k', 'AllowsNull'), "
                                  "COLUMNPROPERTY(OBJECT_ID('F'), 't', 'AllowsNull'), "
                                  "COLUMNPROPERTY(OBJECT_ID('F'), 'k', 'IsIdentity'), "
                                  "COLUMNPROPERTY(OBJECT_ID('F'), 'd', 'Precision'), "
                                  "COLUMNPROPERTY(OBJECT_ID('F'), 'd', 'Scale')")),
              QStringList{QStringLiteral("0|1|1|9|2")});
    // The usual guard of an install script.
    Lote(*c_, QStringLiteral("IF COL_LENGTH('F', 'nueva') IS NULL ALTER TABLE F ADD nueva int NULL"));
    Lote(*c_, QStringLiteral("IF COL_LENGTH('F', 'nueva') IS NULL ALTER TABLE F ADD nueva int NULL"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT COL_LENGTH('F', 'nueva')")), QStringList{QStringLiteral("4")});
}

// The catalog shows the keys and defaults of the tables, and the types, as the
// checks of install scripts read them.
TEST_F(Definiciones, RestriccionesYTiposEnElCatalogo) {
    Lote(*c_, QStringLiteral("CREATE TABLE T (a int NOT NULL, b nvarchar(10) NOT NULL, n money CONSTRAINT DF_T_n "
                             "DEFAULT (0), CONSTRAINT PK_T PRIMARY KEY (a, b))"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT CONSTRAINT_NAME, TABLE_NAME, CONSTRAINT_TYPE FROM "
                                  "INFORMATION_SCHEMA.TABLE_CONSTRAINTS")),
              QStringList{QStringLiteral("PK_T|T|PRIMARY KEY")});
    EXPECT_EQ(Todo(QStringLiteral("SELECT CONSTRAINT_NAME, COLUMN_NAME, ORDINAL_POSITION FROM "
                                  "INFORMATION_SCHEMA.KEY_COLUMN_USAGE WHERE TABLE_NAME = 't'")),
              (QStringList{QStringLiteral("PK_T|a|1"), QStringLiteral("PK_T|b|2")}));
    EXPECT_EQ(Todo(QStringLiteral("SELECT name, type, type_desc FROM sys.objects ORDER BY name")),
              (QStringList{QStringLiteral("DF_T_n|D|DEFAULT_CONSTRAINT"), QStringLiteral("PK_T|PK|PRIMARY_KEY_CONSTRAINT"),
                           QStringLiteral("T|U|USER_TABLE")}));
    EXPECT_EQ(Todo(QStringLiteral("SELECT d.name, d.parent_column_id, d.definition FROM sys.default_constraints d "
                                  "WHERE d.parent_object_id = OBJECT_ID('T')")),
              QStringList{QStringLiteral("DF_T_n|3|(0)")});
    EXPECT_EQ(Todo(QStringLiteral("SELECT name FROM sys.key_constraints WHERE parent_object_id = OBJECT_ID('T')")),
              QStringList{QStringLiteral("PK_T")});
    EXPECT_EQ(Todo(QStringLiteral("SELECT name, xtype FROM sysobjects WHERE xtype IN ('PK', 'D') ORDER BY name")),
              (QStringList{QStringLiteral("DF_T_n|D"), QStringLiteral("PK_T|PK")}));
    // Columns joined to their types, as SQL Server numbers them.
    EXPECT_EQ(Todo(QStringLiteral("SELECT c.name, t.name, t.system_type_id, c.max_length FROM sys.columns c JOIN "
                                  "sys.types t ON t.user_type_id = c.user_type_id WHERE c.object_id = OBJECT_ID('T') "
                                  "ORDER BY c.column_id")),
              (QStringList{QStringLiteral("a|int|56|4"), QStringLiteral("b|nvarchar|231|20"),
                           QStringLiteral("n|money|60|8")}));
    EXPECT_EQ(Todo(QStringLiteral("SELECT name FROM systypes WHERE xusertype = 256")), QStringList{"sysname"});
    // OBJECT_ID finds keys, defaults and procedures too, with or without their type.
    EXPECT_EQ(Todo(QStringLiteral("SELECT OBJECT_NAME(OBJECT_ID('PK_T')), OBJECT_NAME(OBJECT_ID('DF_T_n', 'D')), "
                                  "OBJECT_ID('PK_T', 'U'), OBJECT_ID('T', 'P')")),
              QStringList{QStringLiteral("PK_T|DF_T_n|NULL|NULL")});
    for (int vez = 0; vez < 2; ++vez) {  // a second run drops what the first made
        Lote(*c_, QStringLiteral("IF OBJECT_ID('dbo.P_VERSION') IS NOT NULL DROP PROCEDURE dbo.P_VERSION"));
        Lote(*c_, QStringLiteral("CREATE PROCEDURE P_VERSION AS SELECT 7 AS v"));
    }
    EXPECT_EQ(Todo(QStringLiteral("EXEC P_VERSION")), QStringList{QStringLiteral("7")});
    EXPECT_EQ(Todo(QStringLiteral("SELECT type FROM sys.objects WHERE object_id = OBJECT_ID('P_VERSION')")),
              QStringList{QStringLiteral("P")});
}

// sp_rename of a column, a table, an index and a procedure: the rows, the
// identity, the length checks, the key and the indexes follow the new name.
TEST_F(Definiciones, SpRenameDeColumnaTablaIndiceYProcedimiento) {
    Lote(*c_, QStringLiteral("CREATE TABLE R1 (id int IDENTITY(1,1) NOT NULL, cod varchar(5) NOT NULL, n money "
                             "CONSTRAINT DF_R1_n DEFAULT (1), CONSTRAINT PK_R1 PRIMARY KEY (id, cod))"));
    Lote(*c_, QStringLiteral("CREATE INDEX ix ON R1 (cod)"));
    Lote(*c_, QStringLiteral("INSERT INTO R1 (cod) VALUES ('ab')"));
    const auto avisos = Lote(*c_, QStringLiteral("EXEC sp_rename 'R1.cod', 'codigo', 'COLUMN'"));
    ASSERT_FALSE(avisos.empty());
    EXPECT_EQ(avisos.back().mensajes,
              QStringList{QStringLiteral("Precaución: al cambiar cualquier parte del nombre de un objeto, pueden dejar "
                                         "de ser válidos los scripts y los procedimientos almacenados.")});
    Lote(*c_, QStringLiteral("INSERT INTO R1 (codigo) VALUES ('cd')"));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("INSERT INTO R1 (codigo) VALUES ('largo!')")), 8152);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT cod FROM R1")), 207);
    EXPECT_EQ(Todo(QStringLiteral("SELECT COLUMN_NAME FROM INFORMATION_SCHEMA.KEY_COLUMN_USAGE WHERE TABLE_NAME = "
                                  "'R1' ORDER BY ORDINAL_POSITION")),
              (QStringList{QStringLiteral("id"), QStringLiteral("codigo")}));

    Lote(*c_, QStringLiteral("EXEC sp_rename @objname = 'dbo.R1', @newname = 'R2'"));
    Lote(*c_, QStringLiteral("INSERT INTO R2 (codigo) VALUES ('ef')"));  // the identity goes on
    EXPECT_EQ(Todo(QStringLiteral("SELECT id, codigo, n FROM R2 ORDER BY id")),
              (QStringList{QStringLiteral("1|ab|1"), QStringLiteral("2|cd|1"), QStringLiteral("3|ef|1")}));
    EXPECT_EQ(Todo(QStringLiteral("SELECT OBJECT_ID('R1'), OBJECT_NAME(OBJECT_ID('PK_R1'))")),
              QStringList{QStringLiteral("NULL|PK_R1")});
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("INSERT INTO R2 (id, codigo) VALUES (9, 'x')")), 544);

    Lote(*c_, QStringLiteral("EXEC sp_rename 'R2.ix', 'ix_codigo', 'INDEX'"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT name FROM sys.indexes WHERE object_id = OBJECT_ID('R2') ORDER BY index_id")),
              (QStringList{QStringLiteral("PK_R1"), QStringLiteral("ix_codigo")}));
    Lote(*c_, QStringLiteral("DROP INDEX R2.ix_codigo"));

    Lote(*c_, QStringLiteral("CREATE PROCEDURE P_VIEJO AS SELECT 1 AS v"));
    Lote(*c_, QStringLiteral("EXEC sp_rename 'P_VIEJO', 'P_NUEVO'"));
    EXPECT_EQ(Todo(QStringLiteral("EXEC P_NUEVO")), QStringList{QStringLiteral("1")});
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("EXEC P_VIEJO")), 2812);

    // Errors as SQL Server gives them; nothing changes.
    EXPECT_EQ(Mensaje(QStringLiteral("EXEC sp_rename 'R2.nada', 'x', 'COLUMN'")),
              QStringLiteral("15248 El parámetro @objname es ambiguo o el @objtype (COLUMN) reclamado es incorrecto."));
    EXPECT_EQ(Mensaje(QStringLiteral("EXEC sp_rename 'R2.n', 'ID', 'COLUMN'")),
              QStringLiteral("15335 Error: el nuevo nombre 'ID' ya se está usando como nombre de COLUMN y provocaría "
                             "un duplicado no permitido."));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("EXEC sp_rename 'R2', 'P_NUEVO'")), 15335);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("EXEC sp_rename 'NOHAY', 'X'")), 15248);
    EXPECT_EQ(Mensaje(QStringLiteral("EXEC sp_rename 'R2', 'X', 'TABLA'")),
              QStringLiteral("15249 Error: no se reconoce el @objtype explícito 'TABLA'."));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("EXEC sp_rename 'R2'")), 201);
    EXPECT_EQ(Todo(QStringLiteral("SELECT name FROM sys.tables")), QStringList{QStringLiteral("R2")});
}
