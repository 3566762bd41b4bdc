// ISO 8601 times as GPX and KML files hold them. A time that was read and can be written
// must read back as the same second: that is how a saved project keeps its times.
#include "FuzzUtil.h"

#include "support/DateTime.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    support::TDateTime value = 0;
    try {
        value = support::ISO8601ToDateTime(fuzzutil::AsText(data, size));
    } catch (const support::DateTimeError &) {
        return 0;
    }
    if (!std::isfinite(value))
        fuzzutil::Fail("ISO8601ToDateTime gave a value that is not finite");
    // Zone offsets are not limited, so they can take a time out of the calendar the writer
    // knows (DecodeDateTime shows such values as 1899-12-30).
    if (!(std::fabs(value) <= 3.0e6))
        return 0;
    const support::DateTimeParts parts = support::DecodeDateTime(value);
    if (parts.year < 1 || parts.year > 9999)
        return 0;
    const std::string written = support::DateTimeToGPXTime(value);
    support::TDateTime back = 0;
    try {
        back = support::ISO8601ToDateTime(written);
    } catch (const support::DateTimeError &e) {
        fuzzutil::Fail("\"" + written + "\" as written does not read back: " + e.what());
    }
    // The writer drops the milliseconds; DecodeDateTime rounds to the nearest one first.
    if (!(std::fabs(back - value) * 86400.0 < 1.001))
        fuzzutil::Fail("\"" + written + "\" reads back as another time");
    return 0;
}
