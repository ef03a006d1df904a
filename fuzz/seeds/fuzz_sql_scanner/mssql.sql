(SELECT [Order Details].[Unit Price], @@ROWCOUNT, @local FROM dbo.[Order Details] -- tail
GO
