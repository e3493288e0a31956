#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace clinora::testing {

// The folder with the DCC schema and its catalog: $CLINORA_DCC_SCHEMA_DIR
// when set, else shared/schemas/dcc beside the source tree or beside one of
// its parent folders (/work/shared/schemas/dcc for /work/<tree>). Empty when
// none holds dcc.xsd.
std::filesystem::path DccSchemaFolder();
// Where DccSchemaFolder looked, for the message of a skipped test.
std::string DccSchemaSearchNote();

// The schema's complaints about `xml` (none when it is valid), validated
// offline through the folder's catalog.
std::vector<std::string> DccSchemaErrors(const std::string& xml,
                                         const std::filesystem::path& folder);

// The text of every node `xpath` selects in `xml`, with the prefixes dcc and
// si bound to the certificate's namespaces.
std::vector<std::string> DccTexts(const std::string& xml, const std::string& xpath);
// The items of the first XML list (blank-separated values) `xpath` selects.
std::vector<std::string> DccList(const std::string& xml, const std::string& xpath);

// The blank-separated words of `text`.
std::vector<std::string> Words(const std::string& text);

}  // namespace clinora::testing
