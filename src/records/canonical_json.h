#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace clinora::records {

// A JSON value, as the records store their content. Written in one canonical
// form: object keys sorted, no blanks, numbers in their shortest exact form,
// so that a record always gives the same bytes and the same hash.
class Json {
public:
    using Array = std::vector<Json>;
    using Object = std::map<std::string, Json>;

    Json() = default;  // null
    Json(std::nullptr_t) {}
    Json(bool value) : value_(value) {}
    Json(int value) : value_(static_cast<int64_t>(value)) {}
    Json(int64_t value) : value_(value) {}
    // Non-finite numbers have no JSON form: they are kept as the strings
    // "NaN", "Infinity" and "-Infinity", which number() reads back.
    Json(double value);
    Json(const char* value) : value_(std::string(value)) {}
    Json(std::string value) : value_(std::move(value)) {}
    Json(std::string_view value) : value_(std::string(value)) {}
    Json(Array value) : value_(std::move(value)) {}
    Json(Object value) : value_(std::move(value)) {}
    // An optional number: null when empty.
    static Json Maybe(const std::optional<double>& value) { return value ? Json(*value) : Json(); }

    bool isNull() const { return std::holds_alternative<std::monostate>(value_); }
    bool isObject() const { return std::holds_alternative<Object>(value_); }
    bool isArray() const { return std::holds_alternative<Array>(value_); }

    // Typed access; each throws JsonError naming `what` when the value is of
    // another type.
    bool boolean(std::string_view what) const;
    int64_t integer(std::string_view what) const;
    double number(std::string_view what) const;
    std::optional<double> maybeNumber(std::string_view what) const;
    const std::string& text(std::string_view what) const;
    const Array& array(std::string_view what) const;
    const Object& object(std::string_view what) const;
    // The member `key` of an object; JsonError when missing.
    const Json& at(std::string_view key) const;
    // The member `key`, or null when the object has none.
    const Json& get(std::string_view key) const;

    Object& members();  // turns a null into an empty object
    Json& operator[](const std::string& key) { return members()[key]; }

    bool operator==(const Json&) const = default;

private:
    std::variant<std::monostate, bool, int64_t, double, std::string, Array, Object> value_;

    friend void WriteCanonical(const Json& value, std::string& out);
};

struct JsonError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The canonical text of a value. Strings are kept byte for byte: valid UTF-8
// passes as it is, control characters are escaped, and a byte that is not
// part of valid UTF-8 is written as the escape \udcXX, which ParseJson turns
// back into that byte. The text is therefore valid UTF-8 without NUL bytes.
std::string Canonical(const Json& value);
void WriteCanonical(const Json& value, std::string& out);

// Reads a JSON text (any blanks, any key order); throws JsonError.
Json ParseJson(std::string_view text);

// Length of the valid UTF-8 sequence that starts at `text[at]`; 0 when the
// byte there starts none.
size_t Utf8SequenceLength(std::string_view text, size_t at);

// The JSON string form of `text` with its quotes.
std::string QuotedJson(std::string_view text);

}  // namespace clinora::records
