SELECT /*+ORDERED*/
       l.type lock_type,
       TO_CHAR(sysdate-l.ctime/86400,'DD.MM.YY HH24:MI:SS')  ctime,
       DECODE(l.lmode,1,'No Lock',
                2,'Row Share',
                3,'Row Exclusive',
                4,'Share',
                5,'Share Row Exclusive',
                6,'Exclusive','NONE') lmode,
        DECODE(l.request,1,'No Lock',
                2,'Row Share',
                3,'Row Exclusive',
                4,'Share',
                5,'Share Row Exclusive',
                6,'Exclusive','NONE') request,
       u.name||'.'||o.name object_name,
       DECODE(block, 0, 'Нет',
                     1, 'Блокирует',
                     TO_CHAR(block)) blocking,
       l.id1,l.id2
FROM v$lock l,
       sys.obj$ o,sys.user$ u
WHERE l.sid = :sid AND o.obj#(+) = l.id1 AND o.owner# = u.user#
