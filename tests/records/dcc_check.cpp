#include "dcc_check.h"

#include <libxml/catalog.h>
#include <libxml/parser.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlschemas.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <sstream>

namespace clinora::testing {

namespace {

const xmlChar* X(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

std::vector<std::filesystem::path> Candidates() {
    std::vector<std::filesystem::path> out;
    if (const char* dir = std::getenv("CLINORA_DCC_SCHEMA_DIR")) out.emplace_back(dir);
    for (std::filesystem::path p = CLINORA_SOURCE_DIR; !p.empty(); p = p.parent_path()) {
        out.push_back(p / "shared" / "schemas" / "dcc");
        if (p == p.parent_path()) break;
    }
    return out;
}

// A template, so that it fits the callback type of libxml2 2.9 (non-const
// error) and of later releases (const).
template <class Error>
void CollectError(void* context, Error* error) {
    auto* errors = static_cast<std::vector<std::string>*>(context);
    std::string text = error->message ? error->message : "unknown error";
    while (!text.empty() && text.back() == '\n') text.pop_back();
    errors->push_back("line " + std::to_string(error->line) + ": " + text);
}

using Doc = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;

Doc Parse(const std::string& xml) {
    return Doc(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "certificate.xml", nullptr,
                             XML_PARSE_NONET),
               &xmlFreeDoc);
}

}  // namespace

std::filesystem::path DccSchemaFolder() {
    for (const auto& dir : Candidates())
        if (std::filesystem::exists(dir / "dcc.xsd") &&
            std::filesystem::exists(dir / "catalog.xml"))
            return dir;
    return {};
}

std::string DccSchemaSearchNote() {
    std::string note = "DCC schema folder not found; looked in";
    for (const auto& dir : Candidates()) note += " " + dir.string();
    return note + " (set CLINORA_DCC_SCHEMA_DIR to the folder holding dcc.xsd and catalog.xml)";
}

std::vector<std::string> DccSchemaErrors(const std::string& xml,
                                         const std::filesystem::path& folder) {
    static std::once_flag once;
    std::call_once(once, [&] {
        // Imports resolve through the catalog only, never the network.
        xmlLoadCatalog((folder / "catalog.xml").c_str());
        xmlSetExternalEntityLoader(xmlNoNetExternalEntityLoader);
    });
    std::vector<std::string> errors;
    std::unique_ptr<xmlSchemaParserCtxt, decltype(&xmlSchemaFreeParserCtxt)> parser(
        xmlSchemaNewParserCtxt((folder / "dcc.xsd").c_str()), &xmlSchemaFreeParserCtxt);
    if (!parser) return {"cannot read the schema"};
    const xmlStructuredErrorFunc collect = CollectError;
    xmlSchemaSetParserStructuredErrors(parser.get(), collect, &errors);
    std::unique_ptr<xmlSchema, decltype(&xmlSchemaFree)> schema(xmlSchemaParse(parser.get()),
                                                                &xmlSchemaFree);
    if (!schema) {
        errors.insert(errors.begin(), "the schema does not parse");
        return errors;
    }
    Doc doc = Parse(xml);
    if (!doc) return {"the certificate is not well-formed XML"};
    std::unique_ptr<xmlSchemaValidCtxt, decltype(&xmlSchemaFreeValidCtxt)> validator(
        xmlSchemaNewValidCtxt(schema.get()), &xmlSchemaFreeValidCtxt);
    xmlSchemaSetValidStructuredErrors(validator.get(), collect, &errors);
    if (xmlSchemaValidateDoc(validator.get(), doc.get()) != 0 && errors.empty())
        errors.push_back("invalid, without a message");
    return errors;
}

std::vector<std::string> DccTexts(const std::string& xml, const std::string& xpath) {
    Doc doc = Parse(xml);
    if (!doc) return {};
    std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> context(
        xmlXPathNewContext(doc.get()), &xmlXPathFreeContext);
    xmlXPathRegisterNs(context.get(), X("dcc"), X("https://ptb.de/dcc"));
    xmlXPathRegisterNs(context.get(), X("si"), X("https://ptb.de/si"));
    std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> result(
        xmlXPathEvalExpression(X(xpath.c_str()), context.get()), &xmlXPathFreeObject);
    std::vector<std::string> out;
    if (!result || !result->nodesetval) return out;
    for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
        xmlChar* text = xmlNodeGetContent(result->nodesetval->nodeTab[i]);
        out.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
        xmlFree(text);
    }
    return out;
}

std::vector<std::string> DccList(const std::string& xml, const std::string& xpath) {
    const std::vector<std::string> texts = DccTexts(xml, xpath);
    return texts.empty() ? std::vector<std::string>{} : Words(texts[0]);
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

}  // namespace clinora::testing
