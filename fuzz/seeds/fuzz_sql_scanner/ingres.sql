FSELECT * FROM iitables WHERE table_owner = '$ingres'\g
