// A small streaming XML reader with a compact tree for subtrees.
//
// GPX projects can hold millions of points; a DOM of the whole file costs
// several times the file's size. The pull parser walks the text once and the
// readers build trees only for the elements they look at (one point at a time),
// so memory stays close to the model's own size. Nesting depth costs heap, not
// stack: nothing here recurses. Entity declarations are never expanded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace xml {

struct ParseError : std::runtime_error {
    ParseError(const std::string &message, std::size_t offset)
        : std::runtime_error(message), offset(offset) {}
    std::size_t offset; // byte offset in the UTF-8 text
};

// The document's text as UTF-8: a view into `bytes` past any byte order mark, or,
// for UTF-16 and declared ISO-8859-1 / Windows-1252, the converted text in `storage`.
std::string_view AsUtf8(std::string_view bytes, std::string &storage);

// Text as element content: "&", "<" and ">" written as references, quotes left alone.
std::string EscapeText(std::string_view text);

enum class NodeKind : std::uint8_t { Element, Text, CData, Comment };

struct Attribute {
    std::string name;
    std::string value;
};

class Tree;

// A reference to a node of a Tree; invalid (index -1) where nothing was found.
class Node {
  public:
    Node() = default;
    Node(const Tree *tree, int index) : tree_(tree), index_(index) {}

    explicit operator bool() const { return tree_ != nullptr && index_ >= 0; }
    int Index() const { return index_; }
    bool operator==(const Node &o) const { return tree_ == o.tree_ && index_ == o.index_; }

    NodeKind Kind() const;
    const std::string &Name() const;  // element name as written, with its prefix
    const std::string &Value() const; // text, CDATA or comment content
    Node Parent() const;
    Node FirstChild() const;
    Node NextSibling() const;
    bool HasAttributes() const;
    const Attribute *FindAttribute(std::string_view name) const; // letter case ignored
    std::string AttributeValue(std::string_view name) const;     // empty when missing
    std::vector<Attribute> Attributes() const;

    std::string TextContent() const; // text of all descendants, trimmed
    // The same text as a view: into the node's one text child when that is all it holds
    // (the usual case, and no copy), else into `scratch`, which receives the text.
    std::string_view TextView(std::string &scratch) const;
    std::string Markup() const; // the node written out as XML, without layout

  private:
    const Tree *tree_ = nullptr;
    int index_ = -1;
};

class Tree {
  public:
    struct Item {
        NodeKind kind = NodeKind::Element;
        std::string name;
        std::string value;
        int parent = -1, firstChild = -1, lastChild = -1, nextSibling = -1;
        int firstAttr = 0, attrCount = 0;
    };

    // Keeps the storage: a tree refilled for every point allocates nothing once warm.
    void Clear() {
        itemCount_ = 0;
        attrCount_ = 0;
    }
    bool Empty() const { return itemCount_ == 0; }
    Node Root() const { return Node(this, itemCount_ == 0 ? -1 : 0); }
    Node At(int index) const { return Node(this, index); }

    int Append(int parent, NodeKind kind); // links the new node as parent's last child
    Attribute &AppendAttribute(int node);  // the node must be the last one appended

    Item &ItemAt(int i) { return items_[static_cast<std::size_t>(i)]; }
    const Item &ItemAt(int i) const { return items_[static_cast<std::size_t>(i)]; }
    const Attribute &AttributeAt(int i) const { return attrs_[static_cast<std::size_t>(i)]; }

  private:
    std::vector<Item> items_;
    std::vector<Attribute> attrs_;
    std::size_t itemCount_ = 0, attrCount_ = 0;
};

inline NodeKind Node::Kind() const {
    return tree_->ItemAt(index_).kind;
}
inline const std::string &Node::Name() const {
    return tree_->ItemAt(index_).name;
}
inline const std::string &Node::Value() const {
    return tree_->ItemAt(index_).value;
}
inline Node Node::Parent() const {
    return Node(tree_, tree_->ItemAt(index_).parent);
}
inline Node Node::FirstChild() const {
    return Node(tree_, tree_->ItemAt(index_).firstChild);
}
inline Node Node::NextSibling() const {
    return Node(tree_, tree_->ItemAt(index_).nextSibling);
}
inline bool Node::HasAttributes() const {
    return tree_->ItemAt(index_).attrCount > 0;
}

class PullParser {
  public:
    enum class Event { StartElement, EndElement, Text, CData, Comment, EndOfDocument };

    explicit PullParser(std::string_view utf8Text) : text_(utf8Text) {}

    // Advances to the next event. Whitespace-only text, processing instructions and the
    // document type declaration are skipped. Throws ParseError when the text is not XML.
    Event Next();

    Event Current() const { return event_; }
    const std::string &Name() const { return name_; }
    const std::vector<Attribute> &Attributes() const { return attributes_; }
    const std::string &Value() const { return value_; }
    std::size_t Depth() const { return open_.size(); }
    std::size_t Offset() const { return pos_; }

    // On a StartElement: appends the element and everything inside it to `tree` under
    // `parent` (-1: as a root) and consumes it through its end tag. Returns its index.
    int ReadSubtree(Tree &tree, int parent = -1);
    // On a StartElement: consumes it through its end tag.
    void SkipSubtree();
    // Reads the rest of the document, only to find out whether it is well formed.
    void ReadToEnd();

  private:
    [[noreturn]] void Fail(const std::string &message) const;
    [[noreturn]] void FailAt(const std::string &message, std::size_t pos) const;
    bool StartsWith(std::string_view s) const { return text_.substr(pos_, s.size()) == s; }
    void SkipUntil(std::string_view terminator, const char *what);
    void SkipDoctype();
    void ParseStartTag();
    void ParseEndTag();
    std::string_view ParseName();
    void SkipBlanks();
    void DecodeInto(std::string_view raw, std::string &out, bool attribute) const;

    std::string_view text_;
    std::size_t pos_ = 0;
    Event event_ = Event::EndOfDocument;
    std::string name_;
    std::string value_;
    std::vector<Attribute> attributes_;
    std::vector<std::string> open_;
    bool pendingEnd_ = false;
    bool seenRoot_ = false;
};

// Parses a whole document into `tree`; the root element is node 0.
void ParseDocument(std::string_view utf8Text, Tree &tree);

} // namespace xml
