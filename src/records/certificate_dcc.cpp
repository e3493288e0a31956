#include "records/certificate_dcc.h"

#include <libxml/xmlwriter.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "link/number_text.h"

namespace clinora::records {

namespace {

const xmlChar* X(const char* text) { return reinterpret_cast<const xmlChar*>(text); }
const xmlChar* X(const std::string& text) { return X(text.c_str()); }

// The text writer with the two prefixes of the certificate. A call that fails
// leaves ok() false; later calls do nothing.
class DccWriter {
public:
    DccWriter() : buffer_(xmlBufferCreate(), &xmlBufferFree) {
        if (buffer_) writer_ = xmlNewTextWriterMemory(buffer_.get(), 0);
        ok_ = writer_ != nullptr;
        check(xmlTextWriterSetIndent(writer_, 1));
        check(xmlTextWriterSetIndentString(writer_, X("  ")));
    }
    ~DccWriter() {
        if (writer_) xmlFreeTextWriter(writer_);
    }
    DccWriter(const DccWriter&) = delete;
    DccWriter& operator=(const DccWriter&) = delete;

    void startDocument() { check(xmlTextWriterStartDocument(writer_, nullptr, "UTF-8", nullptr)); }
    // The result; empty when any call failed.
    std::string finish() {
        check(xmlTextWriterEndDocument(writer_));
        if (ok_ && writer_) {
            xmlFreeTextWriter(writer_);  // flushes into the buffer
            writer_ = nullptr;
        }
        if (!ok_) return {};
        return {reinterpret_cast<const char*>(xmlBufferContent(buffer_.get())),
                static_cast<size_t>(xmlBufferLength(buffer_.get()))};
    }

    // <dcc:name> ... </dcc:name> around `body`.
    void element(const char* name, const std::function<void()>& body, const char* prefix = "dcc") {
        start(name, prefix);
        body();
        end();
    }
    void start(const char* name, const char* prefix = "dcc") {
        check(xmlTextWriterStartElementNS(writer_, X(prefix), X(name), nullptr));
    }
    void end() { check(xmlTextWriterEndElement(writer_)); }
    void attribute(const char* name, const std::string& value) {
        check(xmlTextWriterWriteAttribute(writer_, X(name), X(value)));
    }
    // <prefix:name>text</prefix:name>
    void leaf(const char* name, const std::string& text, const char* prefix = "dcc") {
        start(name, prefix);
        check(xmlTextWriterWriteString(writer_, X(text)));
        end();
    }
    // An element of the text type: <dcc:name><dcc:content lang="en">text</dcc:content></dcc:name>
    void text(const char* name, const std::string& text) {
        element(name, [&] { content(text); });
    }
    void content(const std::string& text) {
        start("content");
        attribute("lang", "en");
        check(xmlTextWriterWriteString(writer_, X(text)));
        end();
    }
    xmlTextWriterPtr raw() { return writer_; }
    void check(int result) { ok_ = ok_ && result >= 0; }

private:
    std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> buffer_;
    xmlTextWriterPtr writer_ = nullptr;
    bool ok_ = false;
};

std::string Joined(const std::vector<CertificateRow>& rows,
                   const std::function<std::string(const CertificateRow&)>& value) {
    std::string out;
    for (const CertificateRow& row : rows) {
        if (!out.empty()) out += ' ';
        out += value(row);
    }
    return out;
}

std::string AxisName(const Certificate& c) { return std::string("axis ") + c.item.axis; }

void Contact(DccWriter& w, const CertificateContact& contact) {
    w.text("name", contact.name);
    w.leaf("eMail", contact.email);
    w.element("location", [&] {
        if (!contact.city.empty()) w.leaf("city", contact.city);
        if (contact.countryCode != kUnknownCountry) w.leaf("countryCode", contact.countryCode);
        w.element("further", [&] { w.content(contact.address); });
    });
}

void Identification(DccWriter& w, const char* issuer, const std::string& value,
                    const std::string& name) {
    w.element("identification", [&] {
        w.leaf("issuer", issuer);
        w.leaf("value", value);
        w.text("name", name);
    });
}

void FileStatement(DccWriter& w, const std::string& what, const CertificateFile& file) {
    w.element("statement", [&] {
        w.leaf("reference", file.name);
        w.text("declaration", "SHA-256 of the " + what + " " + file.name);
        w.element("data", [&] { w.text("text", file.sha256); });
    });
}

void AdministrativeData(DccWriter& w, const Certificate& c) {
    w.element("dccSoftware", [&] {
        w.element("software", [&] {
            w.text("name", c.software);
            w.leaf("release", c.softwareVersion);
            w.leaf("type", "application");
        });
    });
    w.element("coreData", [&] {
        w.leaf("countryCodeISO3166_1", c.laboratory.countryCode);
        w.leaf("usedLangCodeISO639_1", "en");
        w.leaf("mandatoryLangCodeISO639_1", "en");
        w.leaf("uniqueIdentifier", c.number);
        w.element("identifications", [&] {
            Identification(w, "calibrationLaboratory", c.calibrationRecordId, "Calibration record");
            Identification(w, "calibrationLaboratory", c.testRecordId, "Calibration test record");
        });
        w.leaf("beginPerformanceDate", IsoDate(c.calibrationTime));
        w.leaf("endPerformanceDate", IsoDate(c.testTime));
        w.leaf("performanceLocation", "laboratory");
    });
    w.element("items", [&] {
        w.element("item", [&] {
            w.text("name", c.item.description);
            w.text("description", "Bus address " + c.item.busAddress + "; " + AxisName(c) +
                                      " calibrated and tested");
            w.element("installedSoftwares", [&] {
                w.element("software", [&] {
                    w.text("name", "Firmware");
                    w.leaf("release", c.item.firmwareVersion);
                    w.leaf("type", "firmware");
                });
            });
            w.element("manufacturer", [&] { w.text("name", c.item.manufacturer); });
            w.element("identifications", [&] {
                Identification(w, "manufacturer", c.item.serialNumber, "Serial number");
                Identification(w, "manufacturer", c.item.boardRevision, "Board revision");
                Identification(w, "calibrationLaboratory", c.item.busAddress, "Bus address");
            });
        });
    });
    w.element("calibrationLaboratory",
              [&] { w.element("contact", [&] { Contact(w, c.laboratory); }); });
    w.element("respPersons", [&] {
        w.element("respPerson", [&] {
            w.element("person", [&] { w.text("name", c.operatorName); });
            w.text("description", "Operator at station " + c.station);
            w.leaf("role", "Operator");
        });
    });
    w.element("customer", [&] { Contact(w, c.customer); });
    w.element("statements", [&] {
        w.element("statement", [&] {
            w.text("declaration",
                   "Statement of conformity for " + AxisName(c) + ": " + c.statement);
            w.leaf("conformity", c.conforms ? "pass" : "fail");
        });
        w.element("statement", [&] {
            w.text("declaration",
                   "No measurement uncertainty is stated. The deviations are the differences "
                   "between the board's calibrated reading and the sine of the prompted fixture "
                   "angle.");
        });
        FileStatement(w, "calibration data file", c.calibrationFile);
        FileStatement(w, "calibration test file", c.testFile);
    });
}

// One column of the results table as a D-SI list of values in one unit.
void Column(DccWriter& w, const std::string& name, const std::string& values, const char* unit) {
    w.element("quantity", [&] {
        w.text("name", name);
        w.element(
            "realListXMLList",
            [&] {
                w.leaf("valueXMLList", values, "si");
                w.leaf("unitXMLList", unit, "si");
            },
            "si");
    });
}

std::string MethodText(const Certificate& c) {
    const CertificateMethod& m = c.method;
    return "Prompt file " + m.promptFile + " (SHA-256 " + m.promptSha256 + "); tilt range \u00b1" +
           AngleText(m.tiltRange) + "\u00b0; averaging: " + AveragingText(m.averaging) +
           "; board temperature during the test: " +
           (m.hasTemperature ? TemperatureText(m.temperatureC) : std::string("not recorded"));
}

void MeasurementResult(DccWriter& w, const Certificate& c) {
    w.text("name", "Calibration test of " + AxisName(c));
    w.element("usedMethods", [&] {
        w.element("usedMethod", [&] {
            w.text("name", "Calibration test at the prompted fixture positions");
            w.text("description",
                   "After the fit (fifth-degree least squares of the sine of the tilt against "
                   "the averaged reading) the constants were written to the board and verified; "
                   "the board was then taken through the prompted positions again and its "
                   "calibrated reading compared with the sine of each prompted angle. " +
                       MethodText(c));
            w.leaf("reference", c.method.promptFile);
        });
    });
    if (c.method.hasTemperature) {
        w.element("influenceConditions", [&] {
            w.element("influenceCondition", [&] {
                w.text("name", "Board temperature during the test");
                w.element("data", [&] {
                    w.element("quantity", [&] {
                        w.element(
                            "real",
                            [&] {
                                w.leaf("value", FormatFixed(c.method.temperatureC, 1), "si");
                                w.leaf("unit", "\\degreecelsius", "si");
                            },
                            "si");
                    });
                });
            });
        });
    }
    w.element("results", [&] {
        w.element("result", [&] {
            w.text("name", "Deviations at the prompted positions");
            w.element("data", [&] {
                w.element("list", [&] {
                    w.text("name", "Calibration test of " + AxisName(c));
                    std::string positions = "One value per position, in the order prompted:";
                    for (const CertificateRow& r : c.rows)
                        positions += (r.number == 1 ? " " : "; ") + PositionName(r);
                    w.text("description", positions);
                    Column(w, "Prompted angle",
                           Joined(c.rows, [](const auto& r) { return AngleText(r.angle); }),
                           "\\degree");
                    Column(w, "Expected value (sine of the prompted angle)",
                           Joined(c.rows, [](const auto& r) { return SineText(r.expected); }),
                           "\\one");
                    Column(w, "Calibrated reading",
                           Joined(c.rows, [](const auto& r) { return SineText(r.reading); }),
                           "\\one");
                    Column(w, "Deviation (reading minus expected value)",
                           Joined(c.rows, [](const auto& r) { return SineText(r.deviation); }),
                           "\\one");
                    Column(w, "Lower limit of the deviation",
                           Joined(c.rows, [](const auto& r) { return SineText(r.lowLimit); }),
                           "\\one");
                    Column(w, "Upper limit of the deviation",
                           Joined(c.rows, [](const auto& r) { return SineText(r.highLimit); }),
                           "\\one");
                    w.element("measurementMetaData", [&] {
                        w.element("metaData", [&] {
                            w.text("declaration",
                                   "Verdict at each position, in the order of the values: pass "
                                   "when the reading lies strictly between the limits");
                            w.leaf("conformityXMLList", Joined(c.rows, [](const auto& r) {
                                       return std::string(r.pass ? "pass" : "fail");
                                   }));
                        });
                    });
                });
            });
        });
        w.element("result", [&] {
            w.text("name", "Calibration constants of " + AxisName(c) +
                               " as the board holds them (single precision)");
            w.element("data", [&] {
                w.element("list", [&] {
                    w.text("description",
                           "Coefficients of the board's polynomial from its reading in volts "
                           "to the sine of the tilt, and its two cross-axis terms");
                    for (int i = 0; i < 8; ++i) {
                        w.element("quantity", [&] {
                            w.text("name", ConstantName(c.item.axis, i));
                            w.element(
                                "real",
                                [&] {
                                    w.leaf("value",
                                           ConstantText(c.constants[static_cast<size_t>(i)]), "si");
                                    w.leaf("unit", ConstantUnitDsi(i), "si");
                                },
                                "si");
                        });
                    }
                });
            });
        });
    });
    w.element("measurementMetaData", [&] {
        w.element("metaData", [&] {
            w.text("declaration", c.statement);
            w.leaf("conformity", c.conforms ? "pass" : "fail");
        });
    });
}

}  // namespace

std::string WriteDcc(const Certificate& c) {
    DccWriter w;
    w.startDocument();
    w.check(xmlTextWriterStartElementNS(w.raw(), X("dcc"), X("digitalCalibrationCertificate"),
                                        X(kDccNamespace)));
    w.check(xmlTextWriterWriteAttributeNS(w.raw(), X("xmlns"), X("si"), nullptr, X(kSiNamespace)));
    w.check(xmlTextWriterWriteAttributeNS(w.raw(), X("xmlns"), X("xsi"), nullptr,
                                          X("http://www.w3.org/2001/XMLSchema-instance")));
    w.check(xmlTextWriterWriteAttributeNS(
        w.raw(), X("xsi"), X("schemaLocation"), nullptr,
        X(std::string(kDccNamespace) + " https://ptb.de/dcc/v3.1.2/dcc.xsd")));
    w.attribute("schemaVersion", kDccSchemaVersion);
    w.element("administrativeData", [&] { AdministrativeData(w, c); });
    w.element("measurementResults",
              [&] { w.element("measurementResult", [&] { MeasurementResult(w, c); }); });
    w.end();
    return w.finish();
}

bool SaveFileAtomically(const std::filesystem::path& path, const std::string& bytes,
                        std::string* error) {
    const std::filesystem::path temp = path.string() + ".part";
    std::string why;
    auto note = [&](bool ok) {
        if (!ok && why.empty()) why = std::strerror(errno);
        return ok;
    };
    std::FILE* file = std::fopen(temp.c_str(), "wb");
    if (note(file != nullptr)) {
        bool ok = note(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
        ok = note(std::fflush(file) == 0) && ok;
        ok = note(::fsync(fileno(file)) == 0) && ok;
        ok = note(std::fclose(file) == 0) && ok;
        if (ok && note(std::rename(temp.c_str(), path.c_str()) == 0)) return true;
        std::remove(temp.c_str());
    }
    if (error) *error = "Cannot write " + path.string() + ": " + why;
    return false;
}

bool SaveDcc(const Certificate& certificate, const std::filesystem::path& path,
             std::string* error) {
    const std::string xml = WriteDcc(certificate);
    if (xml.empty()) {
        if (error) *error = "Cannot write " + path.string() + ": the XML writer failed";
        return false;
    }
    return SaveFileAtomically(path, xml, error);
}

}  // namespace clinora::records
