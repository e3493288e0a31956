#pragma once

#include <string>

#include "records/sql_connection.h"

namespace clinora::records {

// What the schema step leaves: the version the store is at and its chain.
struct SchemaState {
    int version = 0;
    std::string chain;
};

// Creates the schema of an empty database, or brings an older one forward,
// step by step up to `upToVersion`, in one write transaction (several
// programs opening one server at once take turns). A store of a newer
// version than this program knows is refused.
SchemaState PrepareSchema(SqlConnection& db, int upToVersion);

}  // namespace clinora::records
