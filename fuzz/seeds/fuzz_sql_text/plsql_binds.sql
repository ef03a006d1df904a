begin
  -- :not_a_bind in a comment
  :result := f(:a, ':quoted', "X:Y", :a, :"Mixed");
  /* :neither */ :b := 1;
end;
