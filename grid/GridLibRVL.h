// The grid's adapter for the Oracle dataset: the program's grids sort and filter an Oracle dataset by
// rewriting its statement.
#pragma once

// Registers the SQL features for TOracleDataSet (once; the program calls it at start-up).
void RegisterOracleDatasetFeatures();
