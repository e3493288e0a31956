#include "records/canonical_json.h"

#include <charconv>
#include <cmath>

namespace clinora::records {

namespace {

constexpr const char* kNaN = "NaN";
constexpr const char* kInfinity = "Infinity";
constexpr const char* kMinusInfinity = "-Infinity";
// Deeper nesting than any record has; stops a hostile text from exhausting the stack.
constexpr int kMaxDepth = 64;

const Json& Null() {
    static const Json null;
    return null;
}

[[noreturn]] void Wrong(std::string_view what, const char* expected) {
    throw JsonError(std::string(what) + ": " + expected + " expected");
}

}  // namespace

size_t Utf8SequenceLength(std::string_view s, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80) return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        if (c == 0xE0) low = 0xA0;
        if (c == 0xED) high = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        if (c == 0xF0) low = 0x90;
        if (c == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > s.size()) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    return length;
}

namespace {

size_t Utf8Length(std::string_view s, size_t i) { return Utf8SequenceLength(s, i); }

void WriteHex4(unsigned value, std::string& out) {
    static const char digits[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += digits[(value >> shift) & 0xF];
}

void WriteString(std::string_view s, std::string& out) {
    out += '"';
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20) {
            WriteHex4(c, out);
            ++i;
        } else if (const size_t n = Utf8Length(s, i); n > 0) {
            out.append(s.substr(i, n));
            i += n;
        } else {
            WriteHex4(0xDC00 | c, out);  // a byte that is not UTF-8
            ++i;
        }
    }
    out += '"';
}

void AppendUtf8(unsigned code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

class Parser {
public:
    explicit Parser(std::string_view text) : s_(text) {}

    Json document() {
        Json value = parseValue(0);
        skipBlanks();
        if (i_ != s_.size()) fail("text after the end of the value");
        return value;
    }

private:
    [[noreturn]] void fail(const std::string& what) const {
        throw JsonError("not a valid record text at byte " + std::to_string(i_) + ": " + what);
    }
    void skipBlanks() {
        while (i_ < s_.size() &&
               (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'))
            ++i_;
    }
    bool take(std::string_view word) {
        if (s_.substr(i_, word.size()) != word) return false;
        i_ += word.size();
        return true;
    }

    Json parseValue(int depth) {
        if (depth > kMaxDepth) fail("nested too deeply");
        skipBlanks();
        if (i_ >= s_.size()) fail("unexpected end");
        const char c = s_[i_];
        if (c == '{') return parseObject(depth);
        if (c == '[') return parseArray(depth);
        if (c == '"') return Json(parseString());
        if (take("true")) return Json(true);
        if (take("false")) return Json(false);
        if (take("null")) return Json();
        return parseNumber();
    }

    Json parseObject(int depth) {
        ++i_;
        Json::Object object;
        skipBlanks();
        if (take("}")) return Json(std::move(object));
        for (;;) {
            skipBlanks();
            if (i_ >= s_.size() || s_[i_] != '"') fail("a key expected");
            std::string key = parseString();
            skipBlanks();
            if (!take(":")) fail("':' expected");
            Json value = parseValue(depth + 1);
            if (!object.emplace(std::move(key), std::move(value)).second) fail("a key given twice");
            skipBlanks();
            if (take("}")) return Json(std::move(object));
            if (!take(",")) fail("',' or '}' expected");
        }
    }

    Json parseArray(int depth) {
        ++i_;
        Json::Array array;
        skipBlanks();
        if (take("]")) return Json(std::move(array));
        for (;;) {
            array.push_back(parseValue(depth + 1));
            skipBlanks();
            if (take("]")) return Json(std::move(array));
            if (!take(",")) fail("',' or ']' expected");
        }
    }

    unsigned hex4() {
        if (i_ + 4 > s_.size()) fail("short \\u escape");
        unsigned value = 0;
        const auto [end, ec] = std::from_chars(s_.data() + i_, s_.data() + i_ + 4, value, 16);
        if (ec != std::errc() || end != s_.data() + i_ + 4) fail("bad \\u escape");
        i_ += 4;
        return value;
    }

    std::string parseString() {
        ++i_;
        std::string out;
        for (;;) {
            if (i_ >= s_.size()) fail("unterminated string");
            const unsigned char c = static_cast<unsigned char>(s_[i_]);
            if (c == '"') {
                ++i_;
                return out;
            }
            if (c < 0x20) fail("control character in a string");
            if (c != '\\') {
                const size_t n = Utf8Length(s_, i_);
                if (n == 0) fail("a byte that is not UTF-8");
                out.append(s_.substr(i_, n));
                i_ += n;
                continue;
            }
            ++i_;
            if (i_ >= s_.size()) fail("unterminated escape");
            const char e = s_[i_++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u':
                    unicodeEscape(out);
                    break;
                default:
                    fail("unknown escape");
            }
        }
    }

    void unicodeEscape(std::string& out) {
        const unsigned code = hex4();
        if (code >= 0xDC80 && code <= 0xDCFF) {
            out += static_cast<char>(code & 0xFF);  // a raw byte kept by WriteString
        } else if (code >= 0xD800 && code <= 0xDBFF) {
            if (!take("\\u")) fail("lone surrogate");
            const unsigned low = hex4();
            if (low < 0xDC00 || low > 0xDFFF) fail("lone surrogate");
            AppendUtf8(0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00), out);
        } else if (code >= 0xDC00 && code <= 0xDFFF) {
            fail("lone surrogate");
        } else {
            AppendUtf8(code, out);
        }
    }

    Json parseNumber() {
        const size_t start = i_;
        const auto digits = [&] {
            const size_t from = i_;
            while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
            return i_ > from;
        };
        take("-");
        if (!take("0") && !digits()) fail("a value expected");
        bool integral = true;
        if (take(".")) {
            integral = false;
            if (!digits()) fail("digits expected after '.'");
        }
        if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
            integral = false;
            ++i_;
            if (!take("+")) take("-");
            if (!digits()) fail("digits expected in the exponent");
        }
        const char* first = s_.data() + start;
        const char* last = s_.data() + i_;
        if (integral) {
            int64_t value = 0;
            const auto [end, ec] = std::from_chars(first, last, value);
            // "-0" is the double minus zero, which a whole number cannot hold.
            if (ec == std::errc() && end == last && !(value == 0 && *first == '-'))
                return Json(value);
        }
        double value = 0;
        const auto [end, ec] = std::from_chars(first, last, value);
        if (ec != std::errc() || end != last) fail("number out of range");
        return Json(value);
    }

    std::string_view s_;
    size_t i_ = 0;
};

}  // namespace

Json::Json(double value) {
    if (std::isnan(value)) {
        value_ = std::string(kNaN);
    } else if (std::isinf(value)) {
        value_ = std::string(value > 0 ? kInfinity : kMinusInfinity);
    } else {
        value_ = value;
    }
}

bool Json::boolean(std::string_view what) const {
    if (const auto* b = std::get_if<bool>(&value_)) return *b;
    Wrong(what, "true or false");
}

int64_t Json::integer(std::string_view what) const {
    if (const auto* i = std::get_if<int64_t>(&value_)) return *i;
    Wrong(what, "a whole number");
}

double Json::number(std::string_view what) const {
    if (const auto* d = std::get_if<double>(&value_)) return *d;
    if (const auto* i = std::get_if<int64_t>(&value_)) return static_cast<double>(*i);
    if (const auto* s = std::get_if<std::string>(&value_)) {
        if (*s == kNaN) return std::nan("");
        if (*s == kInfinity) return INFINITY;
        if (*s == kMinusInfinity) return -INFINITY;
    }
    Wrong(what, "a number");
}

std::optional<double> Json::maybeNumber(std::string_view what) const {
    if (isNull()) return std::nullopt;
    return number(what);
}

const std::string& Json::text(std::string_view what) const {
    if (const auto* s = std::get_if<std::string>(&value_)) return *s;
    Wrong(what, "a text");
}

const Json::Array& Json::array(std::string_view what) const {
    if (const auto* a = std::get_if<Array>(&value_)) return *a;
    Wrong(what, "a list");
}

const Json::Object& Json::object(std::string_view what) const {
    if (const auto* o = std::get_if<Object>(&value_)) return *o;
    Wrong(what, "an object");
}

const Json& Json::at(std::string_view key) const {
    const Object& o = object(key);
    const auto it = o.find(std::string(key));
    if (it == o.end()) throw JsonError(std::string(key) + ": missing");
    return it->second;
}

const Json& Json::get(std::string_view key) const {
    const auto* o = std::get_if<Object>(&value_);
    if (!o) return Null();
    const auto it = o->find(std::string(key));
    return it == o->end() ? Null() : it->second;
}

Json::Object& Json::members() {
    if (isNull()) value_ = Object{};
    if (auto* o = std::get_if<Object>(&value_)) return *o;
    throw JsonError("not an object");
}

void WriteCanonical(const Json& value, std::string& out) {
    struct Writer {
        std::string& out;
        void operator()(std::monostate) const { out += "null"; }
        void operator()(bool b) const { out += b ? "true" : "false"; }
        void operator()(int64_t i) const { out += std::to_string(i); }
        void operator()(double d) const {
            char buffer[32];
            const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, d);
            out.append(buffer, ec == std::errc() ? end : buffer);
        }
        void operator()(const std::string& s) const { WriteString(s, out); }
        void operator()(const Json::Array& a) const {
            out += '[';
            for (size_t i = 0; i < a.size(); ++i) {
                if (i > 0) out += ',';
                WriteCanonical(a[i], out);
            }
            out += ']';
        }
        void operator()(const Json::Object& o) const {
            out += '{';
            bool first = true;
            for (const auto& [key, member] : o) {  // std::map: keys in byte order
                if (!first) out += ',';
                first = false;
                WriteString(key, out);
                out += ':';
                WriteCanonical(member, out);
            }
            out += '}';
        }
    };
    std::visit(Writer{out}, value.value_);
}

std::string Canonical(const Json& value) {
    std::string out;
    WriteCanonical(value, out);
    return out;
}

Json ParseJson(std::string_view text) { return Parser(text).document(); }

std::string QuotedJson(std::string_view text) {
    std::string out;
    WriteString(text, out);
    return out;
}

}  // namespace clinora::records
