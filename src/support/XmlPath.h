// Relative location paths over xml::Tree: child steps ("a/b"), "." and "..", and
// "//" for any depth below (".//Placemark"). Names are compared without regard to
// letter case; a prefixed name ("h:depth") matches only that very prefix, and "*:name"
// matches name under any prefix or none.
#pragma once

#include "support/Xml.h"

#include <string>
#include <string_view>
#include <vector>

namespace xml {

std::vector<Node> SelectNodes(Node context, std::string_view path); // in document order
Node SelectLast(Node context, std::string_view path);               // invalid when none
std::string LastNodeText(Node context, std::string_view path);      // empty when none
bool HasChild(Node context, std::string_view name);
bool IsNamed(Node n, std::string_view name); // the name rules of a path step, for one node

} // namespace xml
