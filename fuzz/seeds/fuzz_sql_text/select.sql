select :a, :b from t where x = ':c' -- :d
and y = :e /* :f */