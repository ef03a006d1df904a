SELECT t.xidsqn,t.status,t.start_time,rn.name rollname,rs.extents,rs.status roll_status,
       u.name owner,o.name objname,t.space,t.recursive,
       t.noundo,
       t.ptx,t.log_io,t.phy_io,t.cr_get,t.cr_change
FROM   v$transaction t,
       v$rollname rn,
       v$rollstat rs,
       v$locked_object lo,
       sys.obj$ o,sys.user$ u
WHERE  t.xidusn = rn.usn(+) AND
       rn.usn = rs.usn AND
       t.xidusn = lo.xidusn AND
       o.obj#  = lo.object_id AND
       o.owner# = u.user# 
       AND t.addr = :addr

