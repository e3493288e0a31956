#include "link/file_constants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "link/number_text.h"

namespace clinora {
namespace {

double Printed(double value) { return ParseLeadingDouble(FormatFileConstant(value), 0); }

// A fit whose single-precision value prints one digit apart from the fit
// itself: the number lies just above the midpoint between two printed values
// and the float rounds below it.
double FitAtAPrintBoundary() {
    for (int k = 0; k < 1000; ++k) {
        const double boundary = (1234567 + k + 0.5) * 1e-8;
        const double fit = std::nextafter(boundary, 1.0);
        if (FormatFileConstant(static_cast<float>(fit)) != FormatFileConstant(fit)) return fit;
    }
    return 0;
}

TEST(FileConstants, ABoardMatchesWhatTheFilesDigitsStandFor) {
    const double boundaryFit = FitAtAPrintBoundary();
    ASSERT_NE(boundaryFit, 0.0);
    // Neither the file's own single-precision value nor the board's printed
    // text tells this case: only the numbers the text stands for do.
    ASSERT_NE(static_cast<float>(Printed(boundaryFit)), static_cast<float>(boundaryFit));

    struct Case {
        const char* what;
        float board;
        double file;
        bool matches;
    };
    const double fit = 0.012345678901234;
    const Case cases[] = {
        {"upload of the file", static_cast<float>(Printed(fit)), Printed(fit), true},
        {"send of the fit", static_cast<float>(fit), Printed(fit), true},
        {"send of a fit at a print boundary", static_cast<float>(boundaryFit),
         Printed(boundaryFit), true},
        {"negative", static_cast<float>(-fit), Printed(-fit), true},
        {"zero", 0.0f, 0.0, true},
        {"last digit one up", 0.5f, 5.000001e-01, false},
        {"last digit one down", 0.5f, 4.999999e-01, false},
        {"tiny board, zero file", std::numeric_limits<float>::denorm_min(), 0.0, false},
        {"zero board, tiny file", 0.0f, 1e-10, false},
        {"not a number", std::nanf(""), 0.5, false},
        {"largest float", std::numeric_limits<float>::max(), Printed(3.4028235e38), true},
    };
    for (const Case& c : cases) EXPECT_EQ(MatchesFileConstant(c.board, c.file), c.matches) << c.what;
}

}  // namespace
}  // namespace clinora
