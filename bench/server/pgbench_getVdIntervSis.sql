-- getVdIntervSis("I", ...)
\set t random(1, 8)
\set q random(1, 20)
SELECT QTINISISTEMAS, QTFINSISTEMAS FROM PRECOPROPSIST WHERE CDPRECOPROP = lpad(:t::text, 10, '0') AND QTINISISTEMAS <= lpad(:q::text, 5, '0') AND QTFINSISTEMAS >= lpad(:q::text, 5, '0') ORDER BY QTINISISTEMAS LIMIT 1;
