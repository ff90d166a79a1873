CREATE TABLE Modern (id int NOT NULL PRIMARY KEY, d date NULL, t time(7) NULL, t0 time(0) NULL, d2 datetime2(7) NULL,
 o datetimeoffset(7) NULL, vm varchar(max) NULL, nm nvarchar(max) NULL, bm varbinary(max) NULL, x xml NULL,
 h hierarchyid NULL, g geography NULL)
INSERT INTO Modern (id) VALUES (1)
INSERT INTO Modern VALUES (2, '0001-01-01', '00:00:00', '00:00:00', '0001-01-01T00:00:00', '0001-01-01 00:00:00 -14:00',
 '', N'', 0x, N'<a/>', 0x, 0xE6100000010C0000000000004E400000000000003E40)
INSERT INTO Modern VALUES (3, '9999-12-31', '23:59:59.9999999', '23:59:59', '9999-12-31T23:59:59.9999999',
 '9999-12-31 23:59:59.9999999 +14:00', REPLICATE(CAST('x' AS varchar(max)), 3000000),
 REPLICATE(CAST(N'я😀' AS nvarchar(max)), 1000000), CAST(REPLICATE(CAST('b' AS varchar(max)), 2500000) AS varbinary(max)),
 N'<r a="атрибут">Ёлка 中文 &amp; 😀</r>', 0x5AC0, NULL)
INSERT INTO Modern VALUES (4, '2004-03-01', '10:11:12.0000001', '10:11:12', '2004-03-01T10:11:12.1234567',
 '2004-03-01 10:11:12.1234567 +03:00', 'Привет', N'Ёлка', 0x00FF, N'<b/>', NULL, NULL)
INSERT INTO Modern VALUES (5, '2004-03-01', '00:00:00.0000001', '00:00:01', '2004-03-01T23:59:59.9999999',
 '2004-03-01 01:00:00 -03:30', NULL, NULL, NULL, NULL, NULL, NULL)
