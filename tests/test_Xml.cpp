#include "support/Xml.h"
#include "support/XmlPath.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace xml;

namespace {
Tree Parse(std::string_view text) {
    Tree t;
    ParseDocument(text, t);
    return t;
}
} // namespace

TEST(Xml, TreeKeepsOrderTextAndMarkup) {
    Tree t = Parse("<?xml version=\"1.0\"?><!-- before --><a x='1 &amp; 2'>"
                   "<b>one</b><B>t&lt;wo</B><c/><![CDATA[<raw>]]><!--note--></a>");
    Node a = t.Root();
    EXPECT_EQ(a.Name(), "a");
    EXPECT_EQ(a.AttributeValue("X"), "1 & 2");
    EXPECT_EQ(LastNodeText(a, "b"), "t<wo"); // names compared without letter case
    EXPECT_EQ(a.TextContent(), "onet<wo<raw>");
    EXPECT_EQ(a.Markup(),
              "<a x=\"1 &amp; 2\"><b>one</b><B>t&lt;wo</B><c/><![CDATA[<raw>]]><!--note--></a>");
    EXPECT_TRUE(HasChild(a, "C"));
    EXPECT_FALSE(HasChild(a, "d"));
}

TEST(Xml, PathsSelectChildrenDescendantsAndParents) {
    Tree t = Parse("<kml><Document><name>doc</name><Folder><Placemark><name>p1</name></Placemark>"
                   "</Folder><Placemark><name>p2</name><h:depth>3</h:depth></Placemark>"
                   "</Document></kml>");
    Node root = t.Root();
    std::vector<Node> all = SelectNodes(root, ".//placemark");
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(LastNodeText(all[0], "name"), "p1");
    EXPECT_EQ(LastNodeText(all[0], "../name"), "");
    EXPECT_EQ(LastNodeText(all[1], "../name"), "doc");
    EXPECT_EQ(LastNodeText(root, "Document/Placemark/h:depth"), "3");
    EXPECT_EQ(LastNodeText(root, "Document/Placemark/depth"), ""); // the prefix counts
    EXPECT_EQ(LastNodeText(root, "Document/Folder/Placemark/name"), "p1");
}

TEST(Xml, EntitiesAndLineEnds) {
    Tree t = Parse("<!DOCTYPE a [<!ENTITY big \"lots\"> <!ENTITY x \"&big;&big;\">]>"
                   "<a v=\"l1&#10;l2\tz\">&big; &#65;&#x42; &nbsp;\r\nend</a>");
    EXPECT_EQ(t.Root().TextContent(), "&big; AB &nbsp;\nend"); // declared entities stay text
    EXPECT_EQ(t.Root().AttributeValue("v"), "l1\nl2 z");
}

TEST(Xml, BareAmpersandsTakeLinearTime) {
    // Two megabytes of "&" without ";": looking for the end of a reference beyond its
    // longest possible length would take far longer than the bound.
    const std::string amps(2'000'000, '&');
    const auto start = std::chrono::steady_clock::now();
    Tree t = Parse("<a b='" + amps + "'>" + amps + " and then &#65;</a>");
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(t.Root().TextContent(), amps + " and then A");
    EXPECT_EQ(t.Root().AttributeValue("b"), amps);
    EXPECT_LT(took.count(), 3.0);
}

TEST(Xml, MalformedDocumentsAreParseErrors) {
    for (const char *text : {"", "   ", "<a>", "<a></b>", "<a><b></a></b>", "<a x=1/>",
                             "<a x=\"1/>", "<a/><b/>", "text<a/>", "<a/>tail", "<a><!-- x</a>",
                             "<a><![CDATA[x</a>", "<", "</a>", "<a x='<'/>", "<?xml"}) {
        Tree t;
        EXPECT_THROW(ParseDocument(text, t), ParseError) << text;
    }
}

TEST(Xml, CommentsEndOnlyAfterTheirOpener) {
    // The dashes of "<!--" cannot also be those of "-->": "<!-->" opens a comment.
    Tree t = Parse("<a><!-->--><!--->--><b/></a>");
    Node c = t.Root().FirstChild();
    ASSERT_TRUE(c);
    ASSERT_EQ(c.Kind(), NodeKind::Comment);
    EXPECT_EQ(c.Value(), ">");
    EXPECT_EQ(c.NextSibling().Value(), "->");
    EXPECT_EQ(t.Root().Markup(), "<a><!-->--><!--->--><b/></a>");
}

TEST(Xml, DeepNestingNeedsNoStack) {
    const int depth = 200000;
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<e>";
    text += "x";
    for (int i = 0; i < depth; ++i)
        text += "</e>";
    Tree t = Parse(text);
    EXPECT_EQ(t.Root().TextContent(), "x");
    EXPECT_EQ(t.Root().Markup().size(), text.size());
}

TEST(Xml, PullParserStreamsAndSkips) {
    std::string text = "<r><skip><x/><y>1</y></skip><keep a='b'><z>2</z></keep></r>";
    PullParser p(text);
    ASSERT_EQ(p.Next(), PullParser::Event::StartElement);
    ASSERT_EQ(p.Next(), PullParser::Event::StartElement);
    p.SkipSubtree();
    ASSERT_EQ(p.Next(), PullParser::Event::StartElement);
    Tree t;
    p.ReadSubtree(t);
    EXPECT_EQ(t.Root().Markup(), "<keep a=\"b\"><z>2</z></keep>");
    EXPECT_EQ(p.Next(), PullParser::Event::EndElement);
    EXPECT_EQ(p.Next(), PullParser::Event::EndOfDocument);
}

TEST(Xml, EncodingsBecomeUtf8) {
    std::string storage;
    std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9\x80</a>";
    std::string_view v = AsUtf8(latin1, storage);
    Tree t = Parse(v);
    EXPECT_EQ(t.Root().TextContent(), "\xC3\xA9\xE2\x82\xAC"); // é and the euro sign

    std::string bom = "\xEF\xBB\xBF<a>x</a>";
    EXPECT_EQ(AsUtf8(bom, storage), "<a>x</a>");

    std::string utf16le("\xFF\xFE<\0a\0>\0\xE9\0<\0/\0a\0>\0", 18);
    EXPECT_EQ(Parse(AsUtf8(utf16le, storage)).Root().TextContent(), "\xC3\xA9");
}
