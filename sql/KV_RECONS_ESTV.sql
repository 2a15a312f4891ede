-- KV_RECONS_ESTV: reconstruye las tablas de estadística de KV_ESTV para la
-- base de datos de empresa en la que se instala.
--
-- Se ejecuta en cada base de datos de empresa (SQL Server 2012 o posterior, o
-- el servidor EMBEBIDO), por ejemplo:
--     kvsql -S servidor -d EMPRESA -i sql/KV_RECONS_ESTV.sql
--     sqlcmd -S servidor -d EMPRESA -i sql/KV_RECONS_ESTV.sql
-- Crea el procedimiento o lo reemplaza; ejecutarlo dos veces no cambia nada.
--
-- Usos:
--     EXEC KV_RECONS_ESTV '', 'DET_ESTV0003'   reconstruye esa estadística para esta empresa
--     EXEC KV_RECONS_ESTV '', ''               reconstruye todas las estadísticas de CAB_ESTV
--     EXEC KV_RECONS_ESTV '*', ''              quita las filas de esta empresa de todas
--
-- Derechos: el inicio de sesión que lo ejecuta (el de la empresa) necesita en
-- KV_ESTADISTICAS un usuario con los roles db_datareader (lee CAB_ESTV y las
-- tablas DET_ESTV) y db_datawriter (borra e inserta las filas de su empresa):
--     USE KV_ESTADISTICAS
--     EXEC sp_grantdbaccess 'EMPRESA'
--     EXEC sp_addrolemember 'db_datareader', 'EMPRESA'
--     EXEC sp_addrolemember 'db_datawriter', 'EMPRESA'
-- y EXECUTE sobre el procedimiento en su propia base (el dueño de la base ya lo tiene).
--
-- Cada tabla de estadística se escribe en una transacción: se borran las filas
-- de la empresa (Base = DB_NAME()) y se inserta una fila por mes y combinación
-- de los tres campos de agrupación de la definición, con una sola INSERT ...
-- SELECT ... GROUP BY sobre las líneas de venta (MV_STOCK, TipoMovimiento 'VTA').
-- Consumo, ValorCosto y ValorVenta quedan con el signo de los movimientos (las
-- ventas en negativo); los importes se redondean a cuatro decimales; cada clave
-- se corta a 25 caracteres y una clave vacía se guarda como un blanco.
-- Los errores se informan con el número 50000, la tabla y la causa.

SET NOCOUNT ON;
GO

IF OBJECT_ID(N'dbo.KV_RECONS_ESTV', N'P') IS NULL
    EXEC (N'CREATE PROCEDURE dbo.KV_RECONS_ESTV AS RETURN 0');
GO

ALTER PROCEDURE dbo.KV_RECONS_ESTV
    @Accion nvarchar(10) = N'',
    @Tabla nvarchar(128) = N''
AS
BEGIN
    SET NOCOUNT ON;
    DECLARE @base sysname, @accionPedida nvarchar(10), @pedida nvarchar(128);
    SET @base = DB_NAME();
    SET @accionPedida = LTRIM(RTRIM(ISNULL(@Accion, N'')));
    SET @pedida = LTRIM(RTRIM(ISNULL(@Tabla, N'')));

    IF @accionPedida <> N'' AND @accionPedida <> N'*'
    BEGIN
        RAISERROR (N'KV_RECONS_ESTV: la acción ''%s'' no es válida; se admite '''' o ''*''.', 16, 1, @accionPedida);
        RETURN 1;
    END
    -- Solo tablas de estadística: nunca otra tabla del almacén.
    IF @pedida <> N'' AND (@pedida NOT LIKE N'DET[_]ESTV[0-9]%' OR SUBSTRING(@pedida, 9, 128) LIKE N'%[^0-9]%')
    BEGIN
        RAISERROR (N'KV_RECONS_ESTV: ''%s'' no es una tabla de estadística; se admite DET_ESTV seguido de cifras.',
                   16, 1, @pedida);
        RETURN 1;
    END
    IF @base = N'KV_ESTADISTICAS'
    BEGIN
        RAISERROR (N'KV_RECONS_ESTV se ejecuta en la base de datos de una empresa, no en KV_ESTADISTICAS.', 16, 1);
        RETURN 1;
    END

    DECLARE @codigo int, @ultimo int, @tablaEst nvarchar(128), @campos nvarchar(500), @real sysname;
    DECLARE @sql nvarchar(max), @fallidas nvarchar(max), @alguna int;
    DECLARE @resto nvarchar(500), @item nvarchar(500), @coma int, @nivel int, @expresion nvarchar(200);
    DECLARE @clave nvarchar(400), @g1 nvarchar(400), @g2 nvarchar(400), @g3 nvarchar(400), @mes nvarchar(200);
    SET @fallidas = N'';
    SET @alguna = 0;
    SET @ultimo = NULL;
    SET @mes = N'CAST(MONTH(l.Fecha) AS nvarchar(2)) + N''/'' + CAST(YEAR(l.Fecha) AS nvarchar(4))';

    IF @accionPedida = N'*'
    BEGIN
        -- Quitar la empresa: sus filas de cada tabla, en una sola transacción.
        BEGIN TRY
            BEGIN TRANSACTION;
            WHILE 1 = 1
            BEGIN
                SET @tablaEst = NULL;
                SELECT TOP 1 @codigo = Codigo, @tablaEst = LTRIM(RTRIM(Tabla))
                  FROM KV_ESTADISTICAS.dbo.CAB_ESTV
                 WHERE (@ultimo IS NULL OR Codigo > @ultimo) AND LTRIM(RTRIM(ISNULL(Tabla, N''))) <> N''
                   AND (@pedida = N'' OR LTRIM(RTRIM(Tabla)) = @pedida)
                 ORDER BY Codigo;
                IF @tablaEst IS NULL
                BEGIN
                    -- Una tabla pedida que ninguna definición usa se limpia igual.
                    IF @pedida = N'' OR @alguna > 0 BREAK;
                    SET @tablaEst = @pedida;
                    SET @codigo = 2147483647;
                END
                SET @ultimo = @codigo;
                SET @alguna = 1;
                SET @real = NULL;
                SELECT @real = TABLE_NAME FROM KV_ESTADISTICAS.INFORMATION_SCHEMA.TABLES
                 WHERE TABLE_NAME = @tablaEst AND TABLE_TYPE = N'BASE TABLE';
                IF @real IS NULL
                BEGIN
                    IF @pedida <> N''
                        RAISERROR (N'KV_RECONS_ESTV: no se pudo quitar la empresa de la tabla ''%s'': la tabla no existe en KV_ESTADISTICAS.',
                                   16, 1, @tablaEst);
                    CONTINUE;
                END
                SET @sql = N'DELETE FROM KV_ESTADISTICAS.dbo.[' + REPLACE(@real, N']', N']]') + N'] WHERE Base = @base';
                EXEC sp_executesql @sql, N'@base sysname', @base = @base;
                IF @codigo = 2147483647 BREAK;
            END
            COMMIT TRANSACTION;
        END TRY
        BEGIN CATCH
            IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION;
            SET @sql = ERROR_MESSAGE();
            RAISERROR (N'%s', 16, 1, @sql);
            RETURN 1;
        END CATCH
        RETURN 0;
    END

    -- Reconstruir: cada definición en orden de código, cada tabla en su transacción.
    WHILE 1 = 1
    BEGIN
        SET @tablaEst = NULL;
        SELECT TOP 1 @codigo = Codigo, @tablaEst = LTRIM(RTRIM(Tabla)), @campos = Campos
          FROM KV_ESTADISTICAS.dbo.CAB_ESTV
         WHERE (@ultimo IS NULL OR Codigo > @ultimo) AND LTRIM(RTRIM(ISNULL(Tabla, N''))) <> N''
           AND (@pedida = N'' OR LTRIM(RTRIM(Tabla)) = @pedida)
         ORDER BY Codigo;
        IF @tablaEst IS NULL BREAK;
        SET @ultimo = @codigo;
        SET @alguna = 1;

        SET @real = NULL;
        SELECT @real = TABLE_NAME FROM KV_ESTADISTICAS.INFORMATION_SCHEMA.TABLES
         WHERE TABLE_NAME = @tablaEst AND TABLE_TYPE = N'BASE TABLE';
        IF @real IS NULL
        BEGIN
            IF @pedida <> N''
            BEGIN
                RAISERROR (N'KV_RECONS_ESTV: no se pudo reconstruir la tabla ''%s'': la tabla no existe en KV_ESTADISTICAS.',
                           16, 1, @tablaEst);
                RETURN 1;
            END
            SET @fallidas = @fallidas + CASE WHEN @fallidas = N'' THEN N'' ELSE N', ' END + @tablaEst
                            + N' (la tabla no existe en KV_ESTADISTICAS)';
            CONTINUE;
        END

        -- Los tres campos de agrupación de la definición, del catálogo; otro nombre, un
        -- relleno o un nivel que falta dan una clave en blanco.
        SET @resto = ISNULL(@campos, N'');
        SET @nivel = 1;
        WHILE @nivel <= 3
        BEGIN
            SET @coma = CHARINDEX(N',', @resto);
            IF @coma > 0
            BEGIN
                SET @item = LEFT(@resto, @coma - 1);
                SET @resto = SUBSTRING(@resto, @coma + 1, 500);
            END
            ELSE
            BEGIN
                SET @item = @resto;
                SET @resto = NULL;
            END
            SET @item = LTRIM(RTRIM(ISNULL(@item, N'')));
            SET @expresion = CASE
                WHEN @item IN (N'UNegocio', N'IdArticulo', N'IdVendedor', N'Cuenta') THEN N'l.' + @item
                WHEN @item IN (N'CodigoBarra', N'CodigoBarraDUN', N'IdRubro', N'IdTipo', N'IdFamilia', N'IdCategoria',
                               N'CodigoArtProveedor', N'CuentaProveedor') THEN N'a.' + @item
                WHEN @item = N'Fecha' THEN @mes
                ELSE NULL END;
            SET @clave = CASE WHEN @expresion IS NULL THEN N'N'' '''
                ELSE N'CASE WHEN LEN(LEFT(ISNULL(' + @expresion + N', N''''), 25)) = 0 THEN N'' '' ELSE LEFT('
                     + @expresion + N', 25) END' END;
            IF @nivel = 1 SET @g1 = @clave;
            IF @nivel = 2 SET @g2 = @clave;
            IF @nivel = 3 SET @g3 = @clave;
            SET @nivel = @nivel + 1;
        END

        SET @sql = N'DELETE FROM KV_ESTADISTICAS.dbo.[' + REPLACE(@real, N']', N']]') + N'] WHERE Base = @base;
INSERT INTO KV_ESTADISTICAS.dbo.[' + REPLACE(@real, N']', N']]') + N'] (Base, Fecha, Grupo1, Grupo2, Grupo3, Consumo, ValorCosto, ValorVenta)
SELECT @base, x.Mes, x.G1, x.G2, x.G3, SUM(x.Cantidad), ROUND(SUM(x.Cantidad * x.CostoUnitario), 4),
       ROUND(SUM(x.Cantidad * x.PrecioUnitario), 4)
  FROM (SELECT ' + @mes + N' AS Mes, ' + @g1 + N' AS G1, ' + @g2 + N' AS G2, ' + @g3 + N' AS G3,
               l.Cantidad AS Cantidad, CASE WHEN l.Cantidad IS NULL THEN NULL ELSE l.CostoUnitario END AS CostoUnitario,
               CASE WHEN l.Cantidad IS NULL THEN NULL ELSE l.PrecioUnitario END AS PrecioUnitario
          FROM dbo.MV_STOCK l LEFT JOIN dbo.MA_ARTICULOS a ON a.IdArticulo = l.IdArticulo
         WHERE l.TipoMovimiento = N''VTA'' AND l.Fecha IS NOT NULL) x
 GROUP BY x.Mes, x.G1, x.G2, x.G3';
        BEGIN TRY
            BEGIN TRANSACTION;
            EXEC sp_executesql @sql, N'@base sysname', @base = @base;
            COMMIT TRANSACTION;
        END TRY
        BEGIN CATCH
            IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION;
            IF @pedida <> N''
            BEGIN
                SET @sql = ERROR_MESSAGE();
                RAISERROR (N'KV_RECONS_ESTV: no se pudo reconstruir la tabla ''%s'': %s', 16, 1, @real, @sql);
                RETURN 1;
            END
            -- Una tabla que falla no impide reconstruir las demás.
            SET @fallidas = @fallidas + CASE WHEN @fallidas = N'' THEN N'' ELSE N', ' END + @real + N' ('
                            + ERROR_MESSAGE() + N')';
        END CATCH
    END

    IF @pedida <> N'' AND @alguna = 0
    BEGIN
        RAISERROR (N'KV_RECONS_ESTV: ninguna estadística de CAB_ESTV usa la tabla ''%s''.', 16, 1, @pedida);
        RETURN 1;
    END
    IF @fallidas <> N''
    BEGIN
        RAISERROR (N'KV_RECONS_ESTV: no se pudieron reconstruir las tablas %s.', 16, 1, @fallidas);
        RETURN 1;
    END
    RETURN 0;
END
GO
