// kvsql as an administrator uses it: an installation script run twice through
// -i, the catalog an administrator looks at, and the console's flags.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "ServidorPrueba.h"

namespace kv::pruebas {
namespace {

class KvsqlGuion : public ServidorPrueba {
  protected:
    static QString Guion() {
        const QFileInfo fuente(QString::fromUtf8(__FILE__));
        const QString carpeta = fuente.isAbsolute() ? fuente.absolutePath()
                                                    : QDir(CarpetaBinarios()).absoluteFilePath(fuente.path());
        return QDir(carpeta).absoluteFilePath(QStringLiteral("datos/instalacion_erp.sql"));
    }
};

}  // namespace

TEST_F(KvsqlGuion, ElGuionDeInstalacionCorreDosVecesYLaSegundaNoCambiaNada) {
    ASSERT_TRUE(QFile::exists(Guion())) << Guion().toStdString();
    const auto primera = Kvsql(Administrador() << QStringLiteral("-i") << Guion());
    EXPECT_EQ(primera.estado, 0);
    EXPECT_EQ(primera.errores, QStringList());
    // The tables are made and said so; every INSERT reports its row.
    EXPECT_TRUE(primera.lineas.contains(QStringLiteral("Tabla Clientes creada")));
    EXPECT_TRUE(primera.lineas.contains(QStringLiteral("Versión del esquema: 1")));
    EXPECT_EQ(primera.lineas.count(QStringLiteral("(1 filas afectadas)")), 34);

    auto resumen = [&] {
        return Kvsql(Administrador() << QStringLiteral("-d") << QStringLiteral("ERPTEST")
                                     << QStringLiteral("-h") << QStringLiteral("-1") << QStringLiteral("-W")
                                     << QStringLiteral("-Q")
                                     << QStringLiteral("SELECT Codigo, Total, Lineas FROM VentasPorCliente "
                                                       "ORDER BY Codigo "
                                                       "SELECT SUM(Importe) FROM Ventas "
                                                       "SELECT COUNT(*) FROM Parametros"));
    };
    const auto antes = resumen();
    EXPECT_EQ(antes.estado, 0);
    // Money sums come back exact, with four decimals.
    EXPECT_EQ(
        antes.lineas,
        (QStringList{QStringLiteral("1 -855022251.3000 10"), QStringLiteral("2 1.0000 10"),
                     QStringLiteral("3 2.0000 10"), QString(), QStringLiteral("(3 filas afectadas)"),
                     QStringLiteral("-855022248.3000"), QString(), QStringLiteral("(1 filas afectadas)"),
                     QStringLiteral("1"), QString(), QStringLiteral("(1 filas afectadas)")}));

    const auto segunda = Kvsql(Administrador() << QStringLiteral("-i") << Guion());
    EXPECT_EQ(segunda.estado, 0);
    EXPECT_EQ(segunda.errores, QStringList());
    EXPECT_EQ(segunda.lineas,
              (QStringList{QStringLiteral("Se cambió el contexto de la base de datos a 'ERPTEST'."),
                           QStringLiteral("Versión del esquema: 1")}));
    EXPECT_EQ(resumen().lineas, antes.lineas);
}

TEST_F(KvsqlGuion, ElCatalogoQueMiraUnAdministrador) {
    auto c = Conectar();
    Lote(*c, QStringLiteral("CREATE DATABASE CAT"));
    Lote(*c, QStringLiteral("USE CAT"));
    Lote(*c, QStringLiteral(
                 "CREATE TABLE Articulos (Codigo int NOT NULL, Precio money NULL, Nombre nvarchar(30))"));
    Lote(*c, QStringLiteral("CREATE VIEW Caros AS SELECT Codigo FROM Articulos WHERE Precio > 100"));
    auto columna = [&](const QString& sql) {
        QStringList s;
        for (const auto& f : Filas(*c, sql)) s << f[0].toString();
        return s;
    };
    EXPECT_EQ(columna(QStringLiteral("SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES ORDER BY TABLE_NAME")),
              (QStringList{QStringLiteral("Articulos"), QStringLiteral("Caros")}));
    EXPECT_EQ(columna(QStringLiteral(
                  "SELECT TABLE_TYPE FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME = 'caros'")),
              QStringList{QStringLiteral("VIEW")});
    EXPECT_EQ(columna(QStringLiteral("SELECT COLUMN_NAME + ' ' + DATA_TYPE FROM INFORMATION_SCHEMA.COLUMNS "
                                     "WHERE TABLE_NAME = 'Articulos' ORDER BY ORDINAL_POSITION")),
              (QStringList{QStringLiteral("Codigo int"), QStringLiteral("Precio money"),
                           QStringLiteral("Nombre nvarchar")}));
    EXPECT_EQ(columna(QStringLiteral("SELECT TABLE_NAME FROM INFORMATION_SCHEMA.VIEWS")),
              QStringList{QStringLiteral("Caros")});
    EXPECT_EQ(columna(QStringLiteral("SELECT name FROM sys.tables")),
              QStringList{QStringLiteral("Articulos")});
    EXPECT_EQ(columna(QStringLiteral("SELECT name FROM sys.views")), QStringList{QStringLiteral("Caros")});
    EXPECT_EQ(columna(QStringLiteral("SELECT type FROM sys.objects o WHERE o.name = 'Articulos'")),
              QStringList{QStringLiteral("U")});
    EXPECT_EQ(columna(QStringLiteral(
                  "SELECT c.name FROM sys.columns c JOIN sys.tables t ON t.object_id = c.object_id "
                  "WHERE c.is_nullable = 0")),
              QStringList{QStringLiteral("Codigo")});
    EXPECT_EQ(columna(QStringLiteral("SELECT name FROM sysobjects WHERE xtype = 'V'")),
              QStringList{QStringLiteral("Caros")});
    EXPECT_EQ(columna(QStringLiteral(
                  "SELECT name FROM syscolumns WHERE id = OBJECT_ID('Articulos') ORDER BY colid")),
              (QStringList{QStringLiteral("Codigo"), QStringLiteral("Precio"), QStringLiteral("Nombre")}));
    EXPECT_TRUE(columna(QStringLiteral("SELECT name FROM sys.databases")).contains(QStringLiteral("CAT")));
    EXPECT_EQ(columna(QStringLiteral("EXEC sp_tables")),
              (QStringList{QStringLiteral("CAT"), QStringLiteral("CAT")}));
    EXPECT_EQ(Filas(*c, QStringLiteral("EXEC sp_columns 'Articulos'")).size(), 3u);
    EXPECT_EQ(columna(QStringLiteral("EXEC sp_help")),
              (QStringList{QStringLiteral("Articulos"), QStringLiteral("Caros")}));
    EXPECT_TRUE(columna(QStringLiteral("EXEC sp_helpdb")).contains(QStringLiteral("CAT")));
    EXPECT_TRUE(columna(QStringLiteral("EXEC sp_helplogins")).contains(QStringLiteral("Korvane")));
    EXPECT_EQ(columna(QStringLiteral("EXEC sp_who")).size(), 1u);
    // The server's tables and SQLite's do not exist for a statement.
    EXPECT_EQ(PrimerError(*c, QStringLiteral("SELECT * FROM sqlite_master")), 208);
    EXPECT_EQ(PrimerError(*c, QStringLiteral("SELECT * FROM kv_sys_columnas")), 208);
    EXPECT_EQ(PrimerError(*c, QStringLiteral("DELETE FROM kv_sys_restricciones")), 208);
}

TEST_F(KvsqlGuion, LasOpcionesDeLaConsola) {
    const auto ayuda = Kvsql({QStringLiteral("-?")});
    EXPECT_EQ(ayuda.estado, 0);
    ASSERT_FALSE(ayuda.lineas.isEmpty());
    EXPECT_TRUE(ayuda.lineas.front().startsWith(QStringLiteral("Uso: kvsql")));

    // No -P and no terminal to ask on: a clear message, nothing tried.
    const auto sinClave =
        Kvsql({QStringLiteral("-S"), QStringLiteral("EMBEBIDO"), QStringLiteral("-U"),
               QStringLiteral("Korvane"), QStringLiteral("-Q"), QStringLiteral("SELECT 1")});
    EXPECT_EQ(sinClave.estado, 1);
    EXPECT_EQ(sinClave.errores,
              QStringList{QStringLiteral("Falta la contraseña (-P) y no hay una terminal donde pedirla.")});

    const auto sinCabecera =
        Kvsql(Administrador() << QStringLiteral("-h") << QStringLiteral("-1") << QStringLiteral("-Q")
                              << QStringLiteral("SELECT 7 AS siete"));
    EXPECT_EQ(sinCabecera.lineas,
              (QStringList{QStringLiteral("7    "), QString(), QStringLiteral("(1 filas afectadas)")}));

    const QString archivo = carpetas_.datos() + QStringLiteral("salida.txt");
    const auto aArchivo = Kvsql(Administrador() << QStringLiteral("-o") << archivo << QStringLiteral("-Q")
                                                << QStringLiteral("SELECT 7 AS siete SELECT 1/0"));
    EXPECT_EQ(aArchivo.estado, 1);
    EXPECT_EQ(aArchivo.lineas, QStringList());
    QFile f(archivo);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()).split(QLatin1Char('\n')),
              (QStringList{QStringLiteral("siete"), QStringLiteral("-----"), QStringLiteral("7    "),
                           QString(), QStringLiteral("(1 filas afectadas)"),
                           QStringLiteral("Msg 8134, Nivel 16, Estado 1, Línea 1"),
                           QStringLiteral("Error de división entre cero."), QString()}));

    // Procedures that change logins say so.
    EXPECT_EQ(
        Kvsql(Administrador() << QStringLiteral("-Q") << QStringLiteral("EXEC sp_addlogin 'nuevo', 'clave1'"))
            .lineas,
        QStringList{QStringLiteral("Se creó el nuevo inicio de sesión.")});
    EXPECT_EQ(Kvsql(Administrador() << QStringLiteral("-Q")
                                    << QStringLiteral("EXEC sp_password 'clave1', 'clave2', 'nuevo'"))
                  .lineas,
              QStringList{QStringLiteral("Se cambió la contraseña.")});
}

}  // namespace kv::pruebas
