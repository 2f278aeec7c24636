-- setDescSis with one inserted band: the statements of the server's transaction
-- (price table lock, duplicate look-up, insert, overlap read).
\set t random(9, 40)
\set q random(1, 20)
BEGIN;
SELECT CDPRECOPROP FROM PRECOPROPOSTA WHERE CDPRECOPROP = lpad(:t::text, 10, '0') FOR UPDATE;
SELECT CDPRECOPROP, QTINISISTEMAS, QTFINSISTEMAS, VRPERCDESCSIST FROM PRECOPROPSIST WHERE CDPRECOPROP = lpad(:t::text, 10, '0') AND QTINISISTEMAS = lpad(:q::text, 5, '0');
INSERT INTO PRECOPROPSIST (CDPRECOPROP, QTINISISTEMAS, QTFINSISTEMAS, VRPERCDESCSIST) SELECT lpad(:t::text, 10, '0'), lpad(:q::text, 5, '0'), lpad(:q::text, 5, '0'), 5 WHERE NOT EXISTS (SELECT 1 FROM PRECOPROPSIST WHERE CDPRECOPROP = lpad(:t::text, 10, '0') AND QTINISISTEMAS = lpad(:q::text, 5, '0'));
SELECT QTINISISTEMAS, QTFINSISTEMAS FROM PRECOPROPSIST WHERE CDPRECOPROP = lpad(:t::text, 10, '0') ORDER BY QTINISISTEMAS;
COMMIT;
