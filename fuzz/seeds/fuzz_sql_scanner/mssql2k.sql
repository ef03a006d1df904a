dSELECT TOP 5 * FROM ::fn_helpcollations() WITH (NOLOCK)
