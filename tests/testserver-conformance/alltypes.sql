CREATE TABLE AllTypes (id int NOT NULL PRIMARY KEY, c_bigint bigint NULL, c_int int NULL, c_smallint smallint NULL,
 c_tinyint tinyint NULL, c_bit bit NULL, c_decimal decimal(38,10) NULL, c_numeric numeric(9,2) NULL, c_money money NULL,
 c_smallmoney smallmoney NULL, c_float float NULL, c_real real NULL, c_datetime datetime NULL, c_smalldatetime smalldatetime NULL,
 c_char char(10) NULL, c_varchar varchar(50) NULL, c_text text NULL, c_nchar nchar(10) NULL, c_nvarchar nvarchar(50) NULL,
 c_ntext ntext NULL, c_binary binary(4) NULL, c_varbinary varbinary(50) NULL, c_image image NULL,
 c_guid uniqueidentifier NULL, c_variant sql_variant NULL, c_ts timestamp)
INSERT INTO AllTypes (id) VALUES (1)
INSERT INTO AllTypes (id, c_bigint, c_int, c_smallint, c_tinyint, c_bit, c_decimal, c_numeric, c_money, c_smallmoney, c_float, c_real,
 c_datetime, c_smalldatetime, c_char, c_varchar, c_text, c_nchar, c_nvarchar, c_ntext, c_binary, c_varbinary, c_image, c_guid, c_variant)
 VALUES (2, -9223372036854775808, -2147483648, -32768, 0, 0, -9999999999999999999999999999.9999999999, -9999999.99,
 -922337203685477.5808, -214748.3648, -1.7976931348623157E+308, -3.4028234E+38, '1753-01-01 00:00:00.000', '1900-01-01 00:00',
 '', '', '', N'', N'', N'', 0x00, 0x00, 0x00, '00000000-0000-0000-0000-000000000000', N'Ж')
INSERT INTO AllTypes (id, c_bigint, c_int, c_smallint, c_tinyint, c_bit, c_decimal, c_numeric, c_money, c_smallmoney, c_float, c_real,
 c_datetime, c_smalldatetime, c_char, c_varchar, c_text, c_nchar, c_nvarchar, c_ntext, c_binary, c_varbinary, c_image, c_guid, c_variant)
 VALUES (3, 9223372036854775807, 2147483647, 32767, 255, 1, 9999999999999999999999999999.9999999999, 9999999.99,
 922337203685477.5807, 214748.3647, 1.7976931348623157E+308, 3.4028234E+38, '9999-12-31 23:59:59.997', '2079-06-06 23:59',
 'O''Brien', 'Привет ''мир''', 'текст "в кавычках"', N'日本語', N'Привет 日本 ''q''', N'Ёлка 中文',
 0x00010203, 0x000100FF00, 0x00FF00, '6F9619FF-8B86-D011-B42D-00C04FC964FF', N'Привет')
INSERT INTO AllTypes (id, c_bigint, c_int, c_smallint, c_tinyint, c_bit, c_decimal, c_numeric, c_money, c_smallmoney, c_float, c_real,
 c_datetime, c_smalldatetime, c_char, c_varchar, c_text, c_nchar, c_nvarchar, c_ntext, c_binary, c_varbinary, c_image, c_guid, c_variant)
 VALUES (4, 0, -1, 1, 1, 1, -1.5, 0.5, -12.34, 0.0001, 0.1, 0.5, '2004-03-01 10:00:00.123', '2004-03-01 10:00',
 'abc', '日本', 'Ы', N'Ж', N'x', N'y', 0x0102, 0x, 0x, '01234567-89ab-cdef-0123-456789abcdef', N'x')
