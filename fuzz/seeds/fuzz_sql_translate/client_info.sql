begin
  sys.dbms_application_info.set_client_info(client_info => :client_info);
end;