// The XML layer under the GPX and KML readers: encodings, the parser, the paths the readers
// select with, and the markup that GPX extensions are kept as. Markup written from a tree
// must parse again, and after one round it must be a fixed point (the parser normalises
// line ends and blanks in attributes, so the first round may change those).
#include "FuzzUtil.h"

#include "support/TextCodec.h"
#include "support/Xml.h"
#include "support/XmlPath.h"

namespace {

std::string Reparsed(const std::string &markup, const char *round) {
    xml::Tree tree;
    try {
        xml::ParseDocument(markup, tree);
    } catch (const xml::ParseError &e) {
        fuzzutil::Fail(std::string("markup of round ") + round + " does not parse: " + e.what() +
                       "\n" + markup.substr(0, 2000));
    }
    return tree.Root().Markup();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string storage;
    const std::string_view text = xml::AsUtf8(fuzzutil::AsText(data, size), storage);
    if (!storage.empty() && support::CleanUtf8(storage) != storage)
        fuzzutil::Fail("AsUtf8 converted into text that is not UTF-8");

    xml::Tree tree;
    try {
        xml::ParseDocument(text, tree);
    } catch (const xml::ParseError &e) {
        if (e.offset > text.size())
            fuzzutil::Fail("ParseError offset past the end of the text");
        return 0;
    }
    const xml::Node root = tree.Root();
    (void)root.TextContent();
    for (const char *path : {".//*", "*/*", ".//trkpt/extensions", "../x", "./a/..//b", "a//b"})
        for (xml::Node n : xml::SelectNodes(root, path)) {
            (void)n.Attributes();
            (void)n.AttributeValue("lat");
        }
    (void)xml::LastNodeText(root, "metadata/name");
    (void)xml::HasChild(root, "Placemark");

    const std::string once = Reparsed(root.Markup(), "1");
    const std::string twice = Reparsed(once, "2");
    if (Reparsed(twice, "3") != twice)
        fuzzutil::Fail("markup is not stable after a round");
    return 0;
}
