// A message for the user that a reader or writer hands back instead of showing it: its
// kind, its text and the button its box would have. Whoever talks to the user shows it.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace support {

// The log of the "Debug" page: readers append whole lines.
using LogLine = std::function<void(const std::string &)>;

enum class BoxKind { Error, Warning, Information };
enum class BoxButton { Ok, Cancel };

struct TMessage {
    BoxKind Kind = BoxKind::Error;
    std::string Text;
    BoxButton Button = BoxButton::Ok;
};
using TMessages = std::vector<TMessage>;

} // namespace support
