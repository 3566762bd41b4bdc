// Option values of depthwright-batch: errors name the option and the values it takes.
#pragma once

#include "batch/ShapefileOptions.h"
#include "support/NumText.h"

#include <charconv>
#include <cmath>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace batch {

inline int IntOption(const std::string &option, const std::string &text, int min, int max) {
    auto v = support::TryStrToInt(text);
    if (!v || *v < min || *v > max)
        throw std::invalid_argument(option + " takes a whole number from " + std::to_string(min) +
                                    " to " + std::to_string(max) + ", not \"" + text + "\"");
    return *v;
}

// A decimal number with "." (such as 12.5 or -3), whatever the locale.
inline double NumberOption(const std::string &option, const std::string &text, double min,
                           double max) {
    double v = 0;
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, v, std::chars_format::fixed);
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(v) || v < min || v > max)
        throw std::invalid_argument(option + " takes a number from " + support::FloatToStrG15(min) +
                                    " to " + support::FloatToStrG15(max) + ", not \"" + text +
                                    "\"");
    return v;
}

inline void SizeOption(const std::string &text, int &width, int &height) {
    std::size_t x = text.find('x');
    if (x == std::string::npos)
        throw std::invalid_argument("--size takes WIDTHxHEIGHT, such as 840x600, not \"" + text +
                                    "\"");
    width = IntOption("--size", text.substr(0, x), 1, 10000);
    height = IntOption("--size", text.substr(x + 1), 1, 10000);
}

// A picture the batch tool writes: .bmp or .jpg, by its name.
inline const std::string &ImageOption(const std::string &option, const std::string &path) {
    std::size_t dot = path.rfind('.');
    std::string ext =
        dot == std::string::npos ? std::string() : support::LowerAscii(path.substr(dot));
    if (ext != ".bmp" && ext != ".jpg")
        throw std::invalid_argument(option + " takes a .bmp or .jpg file name, not \"" + path +
                                    "\"");
    return path;
}

// A file of one of the given extensions (lower case, with the dot), by its name in any case.
inline const std::string &ExtensionOption(const std::string &option, const std::string &path,
                                          std::initializer_list<const char *> extensions) {
    std::size_t dot = path.rfind('.');
    std::string ext =
        dot == std::string::npos ? std::string() : support::LowerAscii(path.substr(dot));
    std::string allowed;
    for (const char *e : extensions) {
        if (ext == e)
            return path;
        allowed += (allowed.empty() ? "" : " or ") + std::string(e);
    }
    throw std::invalid_argument(option + " takes a " + allowed + " file name, not \"" + path +
                                "\"");
}

// Walks the arguments: options with a value get it through value(), the rest are files.
class ArgReader {
  public:
    explicit ArgReader(const std::vector<std::string> &args) : args_(args) {}
    bool Next() { return ++i_ < args_.size(); }
    const std::string &Arg() const { return args_[i_]; }
    const std::string &Value() {
        if (i_ + 1 >= args_.size())
            throw std::invalid_argument(args_[i_] + " needs a value");
        return args_[++i_];
    }
    // A shapefile option at the current argument, with its value; false when it is none.
    bool TakeShapefile(ShapefileOptions &o) { return TakeShapefileOption(args_, i_, o); }
    bool IsOption() const { return Arg().size() > 1 && Arg()[0] == '-'; }

  private:
    const std::vector<std::string> &args_;
    std::size_t i_ = static_cast<std::size_t>(-1);
};

} // namespace batch
