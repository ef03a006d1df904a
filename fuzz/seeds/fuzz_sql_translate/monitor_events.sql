SELECT event,total_waits,total_timeouts,time_waited,average_wait,max_wait
FROM v$session_event
WHERE sid = :sid
