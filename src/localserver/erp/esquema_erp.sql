-- Schema of the ERP company database as the viewer reads it: the tables and
-- views of configuration, users, menus, access record and error record, the
-- article and movement tables the statistics are rebuilt from, and the views
-- behind every lookup. Structure only; the demo data is added elsewhere.
-- Batches are separated by GO lines.

CREATE TABLE TA_CONFIGURACION (
    Clave nvarchar(50) NOT NULL PRIMARY KEY,
    Valor nvarchar(255) NULL,
    ValorAux nvarchar(255) NULL,
    Grupo nvarchar(50) NULL,
    PoliticaNegocio bit NULL DEFAULT 0
)
GO

CREATE TABLE TA_USUARIOS (
    Nombre nvarchar(50) NOT NULL PRIMARY KEY,
    UNegocio nvarchar(4) NULL,
    verproforma bit NULL DEFAULT 0,
    Administrador int NULL DEFAULT 0
)
GO

CREATE TABLE TA_MENU (
    Clave nvarchar(20) NOT NULL PRIMARY KEY,
    Proceso nvarchar(100) NULL,
    Nombre nvarchar(100) NULL
)
GO

CREATE TABLE TA_TAREAS (
    USUARIO nvarchar(50) NOT NULL,
    TAREA nvarchar(20) NOT NULL,
    PRIMARY KEY (USUARIO, TAREA)
)
GO

CREATE TABLE Control_Acceso (
    id int IDENTITY(1,1) NOT NULL PRIMARY KEY,
    Maquina nvarchar(50) NULL,
    Usuario nvarchar(50) NULL,
    Formulario nvarchar(100) NULL,
    Tarea nvarchar(100) NULL,
    Ingreso nvarchar(20) NULL,
    NombreUsuario nvarchar(50) NULL
)
GO

CREATE TABLE AUX_ERR (
    id int IDENTITY(1,1) NOT NULL PRIMARY KEY,
    Proceso nvarchar(50) NULL,
    Fecha datetime NULL,
    Error int NULL,
    Descripcion nvarchar(250) NULL,
    SQL ntext NULL,
    pc nvarchar(50) NULL,
    Usuario nvarchar(50) NULL
)
GO

-- Business units, stores and cash registers.
CREATE TABLE TA_UNIDADNEGOCIO (
    Codigo nvarchar(4) NOT NULL PRIMARY KEY,
    Descripcion nvarchar(100) NULL
)
GO

CREATE TABLE TA_DEPOSITO (
    IdDeposito nvarchar(10) NOT NULL PRIMARY KEY,
    Descripcion nvarchar(100) NULL,
    UnidadNegocio nvarchar(4) NULL
)
GO

CREATE TABLE TA_CAJAS (
    IdCaja nvarchar(10) NOT NULL PRIMARY KEY,
    Descripcion nvarchar(100) NULL,
    UnidadNegocio nvarchar(4) NULL
)
GO

-- Article classifications. Families are coded by prefix: 01, 0101, 010101.
CREATE TABLE TA_RUBROS (
    IdRubro nvarchar(10) NOT NULL PRIMARY KEY,
    Descripcion nvarchar(100) NULL
)
GO

CREATE TABLE TA_TIPOARTICULO (
    IdTipo nvarchar(10) NOT NULL PRIMARY KEY,
    Descripcion nvarchar(100) NULL
)
GO

CREATE TABLE TA_FAMILIAS (
    IdFamilia nvarchar(20) NOT NULL PRIMARY KEY,
    Descripcion nvarchar(100) NULL
)
GO

CREATE TABLE TA_CATEGORIAARTICULO (
    IdCategoria nvarchar(10) NOT NULL PRIMARY KEY,
    Descripcion nvarchar(100) NULL
)
GO

CREATE TABLE TA_VENDEDORES (
    IdVendedor nvarchar(25) NOT NULL PRIMARY KEY,
    Nombre nvarchar(100) NULL,
    Dada_De_Baja bit NULL DEFAULT 0
)
GO

CREATE TABLE TA_TECNICOS (
    IdTecnico nvarchar(25) NOT NULL PRIMARY KEY,
    Nombre nvarchar(100) NULL
)
GO

CREATE TABLE TA_CCOSTO (
    Codigo nvarchar(20) NOT NULL PRIMARY KEY,
    Descripcion nvarchar(100) NULL
)
GO

CREATE TABLE MA_POSICIONES (
    IdPosicion nvarchar(20) NOT NULL PRIMARY KEY,
    Descripcion nvarchar(100) NULL
)
GO

-- Accounts: customers (TipoCuenta 'C'), suppliers ('P') and the rest of the chart.
CREATE TABLE MA_CUENTAS (
    Codigo nvarchar(25) NOT NULL PRIMARY KEY,
    Descripcion nvarchar(100) NULL,
    Razon_Social nvarchar(100) NULL,
    TipoCuenta nvarchar(1) NULL,
    Contacto nvarchar(100) NULL,
    Domicilio nvarchar(100) NULL,
    Localidad nvarchar(50) NULL,
    Telefono nvarchar(50) NULL,
    Confidencial bit NULL DEFAULT 0,
    Dada_De_Baja bit NULL DEFAULT 0
)
GO

CREATE TABLE MA_CONTACTOS (
    Id int IDENTITY(1,1) NOT NULL PRIMARY KEY,
    Nombre_y_Apellido nvarchar(100) NULL,
    Domicilio nvarchar(100) NULL,
    Localidad nvarchar(50) NULL,
    Telefono nvarchar(50) NULL,
    Cuenta nvarchar(25) NULL
)
GO

CREATE TABLE MA_MANTENIMIENTOS (
    Codigo nvarchar(20) NOT NULL PRIMARY KEY,
    Descripcion nvarchar(100) NULL
)
GO

CREATE TABLE MV_ASIENTOS (
    Id int IDENTITY(1,1) NOT NULL PRIMARY KEY,
    Fecha datetime NULL,
    Cuenta nvarchar(25) NULL,
    Concepto nvarchar(100) NULL,
    Debe money NULL DEFAULT 0,
    Haber money NULL DEFAULT 0,
    UNegocio nvarchar(4) NULL
)
GO

CREATE TABLE AC_CUENTASDIARIO (
    Cuenta nvarchar(25) NOT NULL PRIMARY KEY,
    Descripcion nvarchar(100) NULL
)
GO

CREATE TABLE AC_CUENTASDIARIO_CCOSTO (
    Cuenta nvarchar(25) NOT NULL,
    CCosto nvarchar(20) NOT NULL,
    Porcentaje float NULL DEFAULT 0,
    PRIMARY KEY (Cuenta, CCosto)
)
GO

-- Articles and stock movements: the source of every statistic.
CREATE TABLE MA_ARTICULOS (
    IdArticulo nvarchar(25) NOT NULL PRIMARY KEY,
    Descripcion nvarchar(100) NULL,
    CodigoBarra nvarchar(25) NULL,
    CodigoBarraDUN nvarchar(25) NULL,
    IdRubro nvarchar(10) NULL,
    IdTipo nvarchar(10) NULL,
    IdFamilia nvarchar(20) NULL,
    IdCategoria nvarchar(10) NULL,
    CodigoArtProveedor nvarchar(25) NULL,
    CuentaProveedor nvarchar(25) NULL,
    Suspendido bit NULL DEFAULT 0,
    PuntoPedido float NULL DEFAULT 0,
    Stock float NULL DEFAULT 0,
    Precio1 money NULL DEFAULT 0,
    Precio2 money NULL DEFAULT 0,
    Precio3 money NULL DEFAULT 0,
    Precio4 money NULL DEFAULT 0,
    Precio5 money NULL DEFAULT 0,
    Precio6 money NULL DEFAULT 0,
    Precio7 money NULL DEFAULT 0,
    Precio8 money NULL DEFAULT 0
)
GO

-- TipoMovimiento: 'VTA' sale, 'DEV' customer return, 'CMP' purchase, 'AJU' adjustment.
-- Cantidad carries the stock sign: sales are negative.
CREATE TABLE MV_STOCK (
    Id int IDENTITY(1,1) NOT NULL PRIMARY KEY,
    Fecha datetime NOT NULL,
    TipoMovimiento nvarchar(3) NOT NULL,
    UNegocio nvarchar(4) NULL,
    IdArticulo nvarchar(25) NOT NULL,
    IdVendedor nvarchar(25) NULL,
    Cuenta nvarchar(25) NULL,
    Cantidad float NOT NULL DEFAULT 0,
    CostoUnitario money NULL DEFAULT 0,
    PrecioUnitario money NULL DEFAULT 0
)
GO

CREATE INDEX IX_MV_STOCK_FECHA ON MV_STOCK (Fecha)
GO

CREATE INDEX IX_MV_STOCK_ARTICULO ON MV_STOCK (IdArticulo)
GO

-- Missing-stock reports written from the article lookup.
CREATE TABLE V_MV_FALTANTES (
    Id int IDENTITY(1,1) NOT NULL PRIMARY KEY,
    FechaHora datetime NULL,
    IdArticulo nvarchar(25) NULL,
    Descripcion nvarchar(100) NULL,
    Usuario nvarchar(50) NULL
)
GO

-- Views read by the lookups and the grouping catalog.
CREATE VIEW V_MA_ARTICULOS AS
SELECT IdArticulo, Descripcion, CodigoBarra, CodigoBarraDUN, IdRubro, IdTipo, IdFamilia, IdCategoria,
       CodigoArtProveedor, CuentaProveedor, Suspendido, PuntoPedido, Stock,
       Precio1, Precio2, Precio3, Precio4, Precio5, Precio6, Precio7, Precio8
FROM MA_ARTICULOS
GO

CREATE VIEW VT_MA_ARTICULOS AS
SELECT IdArticulo, Descripcion, CodigoBarra, CodigoBarraDUN, CodigoArtProveedor, CuentaProveedor,
       IdRubro, IdTipo, IdFamilia, IdCategoria, Stock, PuntoPedido, Suspendido,
       Precio1, Precio2, Precio3, Precio4, Precio5, Precio6, Precio7, Precio8
FROM MA_ARTICULOS
GO

CREATE VIEW V_TA_VENDEDORES AS
SELECT IdVendedor, Nombre, Dada_De_Baja FROM TA_VENDEDORES
GO

CREATE VIEW V_TA_RUBROS AS
SELECT IdRubro, Descripcion FROM TA_RUBROS
GO

CREATE VIEW V_TA_TIPOARTICULO AS
SELECT IdTipo, Descripcion FROM TA_TIPOARTICULO
GO

CREATE VIEW V_TA_FAMILIAS AS
SELECT IdFamilia, Descripcion FROM TA_FAMILIAS
GO

CREATE VIEW V_TA_CATEGORIAARTICULO AS
SELECT IdCategoria, Descripcion FROM TA_CATEGORIAARTICULO
GO

CREATE VIEW V_TA_UNIDADNEGOCIO AS
SELECT Codigo, Descripcion FROM TA_UNIDADNEGOCIO
GO

CREATE VIEW V_TA_DEPOSITO AS
SELECT IdDeposito, Descripcion, UnidadNegocio FROM TA_DEPOSITO
GO

CREATE VIEW V_TA_CAJAS AS
SELECT IdCaja, Descripcion, UnidadNegocio FROM TA_CAJAS
GO

CREATE VIEW V_TA_TECNICOS AS
SELECT IdTecnico, Nombre FROM TA_TECNICOS
GO

CREATE VIEW V_MA_MANTENIMIENTOS AS
SELECT Codigo, Descripcion FROM MA_MANTENIMIENTOS
GO

CREATE VIEW V_TA_TAREAS AS
SELECT Clave AS IdTarea, Nombre AS Descripcion, Proceso FROM TA_MENU
GO

CREATE VIEW VT_CLIENTES AS
SELECT Codigo, Razon_Social, Contacto, Domicilio, Localidad, Telefono, Dada_De_Baja
FROM MA_CUENTAS WHERE TipoCuenta = 'C'
GO

CREATE VIEW VT_PROVEEDORES AS
SELECT Codigo, Razon_Social, Contacto, Domicilio, Localidad, Telefono, Dada_De_Baja
FROM MA_CUENTAS WHERE TipoCuenta = 'P'
GO

-- Restricted synonyms for users without administrator rights: the same
-- objects without the rows marked confidential.
CREATE VIEW SS_MA_CUENTAS AS
SELECT Codigo, Descripcion, Razon_Social, TipoCuenta, Contacto, Domicilio, Localidad, Telefono,
       Confidencial, Dada_De_Baja
FROM MA_CUENTAS WHERE Confidencial = 0 OR Confidencial IS NULL
GO

CREATE VIEW SS_V_TA_DEPOSITO AS
SELECT IdDeposito, Descripcion, UnidadNegocio FROM TA_DEPOSITO
GO

CREATE VIEW SS_MV_ASIENTOS AS
SELECT a.Id, a.Fecha, a.Cuenta, a.Concepto, a.Debe, a.Haber, a.UNegocio
FROM MV_ASIENTOS a INNER JOIN MA_CUENTAS c ON c.Codigo = a.Cuenta
WHERE c.Confidencial = 0 OR c.Confidencial IS NULL
GO

CREATE VIEW SS_V_TA_FAMILIAS AS
SELECT IdFamilia, Descripcion FROM TA_FAMILIAS
GO

CREATE VIEW SS_V_TA_CAJAS AS
SELECT IdCaja, Descripcion, UnidadNegocio FROM TA_CAJAS
GO

CREATE VIEW SS_AC_CUENTASDIARIO AS
SELECT d.Cuenta, d.Descripcion
FROM AC_CUENTASDIARIO d LEFT JOIN MA_CUENTAS c ON c.Codigo = d.Cuenta
WHERE c.Confidencial = 0 OR c.Confidencial IS NULL
GO

CREATE VIEW SS_AC_CUENTAS_DIARIO_CCOSTO AS
SELECT d.Cuenta, d.CCosto, d.Porcentaje
FROM AC_CUENTASDIARIO_CCOSTO d LEFT JOIN MA_CUENTAS c ON c.Codigo = d.Cuenta
WHERE c.Confidencial = 0 OR c.Confidencial IS NULL
GO
