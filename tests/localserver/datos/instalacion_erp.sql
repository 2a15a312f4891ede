-- Installation script of a small ERP, written as such scripts are for SQL Server:
-- guards, variables, views and ISO type names. It may run any number of times.
IF DB_ID('ERPTEST') IS NULL
    CREATE DATABASE ERPTEST
GO
USE ERPTEST
GO
SET NOCOUNT ON
GO
IF NOT EXISTS (SELECT * FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME = 'Clientes')
BEGIN
    CREATE TABLE Clientes (
        Codigo integer NOT NULL PRIMARY KEY,
        Nombre character varying(60) NOT NULL,
        Pais national character(2) NULL,
        Limite dec(12, 2) NULL
    )
    PRINT 'Tabla Clientes creada'
END
GO
IF OBJECT_ID('dbo.Ventas', 'U') IS NULL
    CREATE TABLE Ventas (
        Linea integer NOT NULL PRIMARY KEY,
        Cliente integer NOT NULL,
        Fecha datetime NOT NULL,
        Importe money NOT NULL,
        Peso double precision NULL
    )
GO
IF NOT EXISTS (SELECT * FROM sysobjects WHERE name = 'Parametros' AND xtype = 'U')
    CREATE TABLE Parametros (Clave char varying(20) NOT NULL PRIMARY KEY, Valor nchar varying(100) NULL)
GO
DECLARE @version int
SELECT @version = CAST(Valor AS int) FROM Parametros WHERE Clave = 'VERSION'
IF @version IS NULL
BEGIN
    INSERT INTO Parametros (Clave, Valor) VALUES ('VERSION', '1')
    SET @version = 1
END
PRINT 'Versión del esquema: ' + CAST(@version AS varchar(10))
GO
IF NOT EXISTS (SELECT * FROM Clientes)
BEGIN
    INSERT INTO Clientes VALUES (1, 'Comercial Norte', 'ES', 15000.00)
    INSERT INTO Clientes VALUES (2, 'Distribuciones Sur', 'ES', 8000.50)
    INSERT INTO Clientes VALUES (3, 'Importadora Este', 'PT', NULL)
END
GO
DECLARE @i int, @importe money
SET @i = (SELECT COUNT(*) FROM Ventas)
WHILE @i < 30
BEGIN
    SET @i = @i + 1
    SET @importe = CASE @i % 3 WHEN 0 THEN -85502225.13 WHEN 1 THEN 0.1 ELSE 0.2 END
    INSERT INTO Ventas (Linea, Cliente, Fecha, Importe, Peso) VALUES (@i, @i % 3 + 1, '2026-01-15', @importe, 1.5)
END
GO
IF OBJECT_ID('VentasPorCliente') IS NOT NULL
    DROP VIEW VentasPorCliente
GO
CREATE VIEW VentasPorCliente AS
SELECT c.Codigo, c.Nombre, SUM(v.Importe) AS Total, COUNT(*) AS Lineas
FROM Clientes c JOIN Ventas v ON v.Cliente = c.Codigo
GROUP BY c.Codigo, c.Nombre
GO
