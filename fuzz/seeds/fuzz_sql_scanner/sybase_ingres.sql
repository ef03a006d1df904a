Fselect * from sysobjects where type = 'U'
