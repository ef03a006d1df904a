// The data dictionary of the instance: loading the catalog from its own tables, the type mapping of
// declared columns, and building a new instance's schema, users and sample data.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "oracle_sim/engine/Catalog.h"

struct sqlite3;

namespace oracle_sim {

// Loads the catalog from the instance's own tables.
std::shared_ptr<const Catalog> LoadCatalog(sqlite3* db, int64_t version);
// The catalog version stored in the file (DDL increments it).
int64_t ReadCatalogVersion(sqlite3* db);

// Type mapping of a declared column.
SqlType ColumnType(const std::string& typeName, int size, int precision, int scale, bool hasPrecision);
std::string TypeDisplay(const CatColumn& c);

// Creates the instance's schema, users and sample data in an empty database.
void BootstrapInstance(sqlite3* db);
// The tables every instance has had since the engine's first version (those of later versions are
// added when an older file is opened): a file without one of them holds no whole instance.
const std::vector<std::string>& FirstInstanceTables();
// Adds the catalog of named types to a file made without it.
void UpgradeObjectTypes(sqlite3* db);
// Adds the directories of BFILE values (table and views) to a file made without them.
void InstallDirectories(sqlite3* db);

// Registers a view computed by SQLite (owner SYS, public synonym): columns are (name, type, size).
void RegisterSystemView(sqlite3* db, const std::string& name,
                        const std::vector<std::tuple<std::string, std::string, int>>& cols,
                        const std::string& body, bool dbaOnly);

// Executes SQL on the connection; throws OraError with the SQLite message mapped when it fails.
void Exec(sqlite3* db, const std::string& sql);

}  // namespace oracle_sim
