#include "ServidorPrueba.h"

#include <QProcess>

namespace kv::pruebas {

namespace {
QString Unir(std::initializer_list<const char*> lineas) {
    QStringList l;
    for (const char* x : lineas) l << QString::fromUtf8(x);
    return l.join(QStringLiteral("\r\n"));
}
}  // namespace

QStringList LotesCreacionAlmacen() {
    QStringList l;
    l << QStringLiteral("Create Database KV_ESTADISTICAS") << QStringLiteral("USE KV_ESTADISTICAS")
      << QStringLiteral("EXEC sp_addlogin N'KV_ESTADISTICAS', 'QZ_TABLEROVENTA', 'KV_ESTADISTICAS'")
      << QStringLiteral(
             "EXEC sp_grantdbaccess @loginame = 'KV_ESTADISTICAS' , @name_in_db ='KV_ESTADISTICAS'")
      << QStringLiteral("EXEC sp_addrolemember N'db_accessadmin', N'KV_ESTADISTICAS'")
      << QStringLiteral("EXEC sp_addrolemember N'db_backupoperator', N'KV_ESTADISTICAS'")
      << QStringLiteral("EXEC sp_addrolemember N'db_datareader', N'KV_ESTADISTICAS'")
      << QStringLiteral("EXEC sp_addrolemember N'db_datawriter', N'KV_ESTADISTICAS'")
      << QStringLiteral("EXEC sp_addrolemember N'db_ddladmin', N'KV_ESTADISTICAS'")
      << QStringLiteral("EXEC sp_addrolemember N'db_owner', N'KV_ESTADISTICAS'")
      << QStringLiteral("EXEC sp_addrolemember N'db_securityadmin', N'KV_ESTADISTICAS'");
    l << Unir({"CREATE TABLE [dbo].[CAB_ESTV] (", " [Codigo] [int] IDENTITY (1, 1) NOT NULL , ",
               " [Nombre] [nvarchar] (50) NULL , ", " [Tabla] [nvarchar] (50) NULL ,",
               " [Campos] [nvarchar] (500) NULL,", " [Orden] [nvarchar] (50) NULL,",
               " [Totalizadores] [nvarchar] (50) NULL,", " [TOP] [Int] NULL,",
               " [TopOtros] [nvarchar] (50) NULL", " ) ON [PRIMARY]", " ",
               " ALTER TABLE [dbo].[CAB_ESTV] WITH NOCHECK ADD",
               " CONSTRAINT [PK_CAB_ESTV] PRIMARY KEY  NONCLUSTERED", " (", " [CODIGO]", " )  ON [PRIMARY]"});
    l << Unir({"CREATE TABLE [dbo].[TA_CONFIGURACION] (",
               " [ID] [int] IDENTITY (1, 1) NOT NULL , ",
               " [GRUPO] [nvarchar] (50) NOT NULL ,",
               " [CLAVE] [nvarchar] (50) NOT NULL ,",
               " [VALOR] [nvarchar] (150) NULL ,",
               " [DESCRIPCION] [nvarchar] (50) NULL ,",
               " [FechaHora_Grabacion] [datetime] NULL ,",
               " [FechaHora_Modificacion] [datetime] NULL ,",
               " [Transmision] [int] NULL ,",
               " [Recepcion] [int] NULL ,",
               " [ValorAux] [ntext] NULL ,",
               " [PoliticaNegocio] [bit] NULL ,",
               " [Bloquea] [bit] NULL",
               " ) ON [PRIMARY] TEXTIMAGE_ON [PRIMARY]",
               "  ",
               " ALTER TABLE [dbo].[TA_CONFIGURACION] WITH NOCHECK ADD",
               " CONSTRAINT [DF_TA_CONFIGURACION_Transmision] DEFAULT (0) FOR [Transmision],",
               " CONSTRAINT [DF_TA_CONFIGURACION_Recepcion] DEFAULT (0) FOR [Recepcion],",
               " CONSTRAINT [DF_ta_configuracion_PoliticaNegocio] DEFAULT (0) FOR [PoliticaNegocio],",
               " CONSTRAINT [DF_ta_configuracion_Bloquea] DEFAULT (0) FOR [Bloquea],",
               " CONSTRAINT [PK_TA_CONFIGURACION] PRIMARY KEY  NONCLUSTERED",
               " (",
               " [GRUPO],",
               " [Clave]",
               " ) WITH  FILLFACTOR = 90  ON [PRIMARY]"});
    l << Unir({"CREATE TABLE [dbo].[MA_EMPRESAS] (", " [Base] [nvarchar] (50) NOT NULL ,",
               " [Compartida] [bit] NULL", " ) ON [PRIMARY]", " ",
               " ALTER TABLE [dbo].[MA_EMPRESAS] WITH NOCHECK ADD",
               " CONSTRAINT [DF_MA_EMPRESAS_Compartida] DEFAULT (0) FOR [Compartida],",
               " CONSTRAINT [PK_MA_EMPRESAS] PRIMARY KEY  NONCLUSTERED", " (", " [Base]",
               " )  ON [PRIMARY]"});
    return l;
}

ServidorPrueba::Salida ServidorPrueba::Kvsql(const QStringList& argumentos) {
    QProcess p;
    p.start(CarpetaBinarios() + QStringLiteral("kvsql"), argumentos);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(120000));
    Salida s;
    s.estado = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    s.lineas = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'));
    s.errores = QString::fromUtf8(p.readAllStandardError()).split(QLatin1Char('\n'));
    if (!s.lineas.isEmpty() && s.lineas.back().isEmpty()) s.lineas.removeLast();
    if (!s.errores.isEmpty() && s.errores.back().isEmpty()) s.errores.removeLast();
    // The warning to an administrator who signs in with the default password is
    // kept apart, so that the tests of what a batch writes see only that.
    for (qsizetype i = s.errores.size() - 1; i >= 0; --i)
        if (s.errores[i].startsWith(QStringLiteral("Aviso: el administrador "))) s.avisos.prepend(s.errores.takeAt(i));
    return s;
}

QStringList ServidorPrueba::Administrador(const QString& base) {
    QStringList a = {QStringLiteral("-S"),      QStringLiteral("EMBEBIDO"), QStringLiteral("-U"),
                     QStringLiteral("Korvane"), QStringLiteral("-P"),       QStringLiteral("pelumbo")};
    if (!base.isEmpty()) a << QStringLiteral("-d") << base;
    return a;
}

}  // namespace kv::pruebas
