#include "support/Xml.h"

#include "support/NumText.h"
#include "support/TextCodec.h"

#include <charconv>

namespace xml {

namespace {

bool IsXmlBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string DeclaredEncoding(std::string_view bytes) {
    if (bytes.substr(0, 5) != "<?xml")
        return {};
    std::size_t end = bytes.find("?>");
    if (end == std::string::npos || end > 1024)
        return {};
    std::string decl = support::LowerAscii(bytes.substr(0, end));
    std::size_t at = decl.find("encoding");
    if (at == std::string::npos)
        return {};
    std::size_t q = decl.find_first_of("\"'", at);
    if (q == std::string::npos)
        return {};
    std::size_t q2 = decl.find(decl[q], q + 1);
    if (q2 == std::string::npos)
        return {};
    return decl.substr(q + 1, q2 - q - 1);
}

void EscapeInto(std::string &out, std::string_view s, bool attribute) {
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += attribute ? ">" : "&gt;";
            break;
        case '"':
            out += attribute ? "&quot;" : "\"";
            break;
        default:
            out += c;
        }
    }
}

} // namespace

std::string EscapeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    EscapeInto(out, text, false);
    return out;
}

std::string_view AsUtf8(std::string_view bytes, std::string &storage) {
    auto b = [&](std::size_t i) {
        return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100;
    };
    if (b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF)
        return bytes.substr(3);
    // A last odd byte is dropped rather than made U+FFFD, which would be text after the root.
    auto utf16 = [&](std::size_t start, bool bigEndian) -> std::string_view {
        return storage =
                   support::Utf16ToUtf8(bytes.substr(start), bigEndian, support::CutOffUnit::Drop);
    };
    if (b(0) == 0xFF && b(1) == 0xFE)
        return utf16(2, false);
    if (b(0) == 0xFE && b(1) == 0xFF)
        return utf16(2, true);
    if (b(0) == '<' && b(1) == 0 && b(2) != 0x100)
        return utf16(0, false);
    if (b(0) == 0 && b(1) == '<')
        return utf16(0, true);
    std::string enc = DeclaredEncoding(bytes);
    if (enc == "iso-8859-1" || enc == "iso8859-1" || enc == "latin1" || enc == "latin-1" ||
        enc == "iso_8859-1" || enc == "windows-1252" || enc == "cp1252")
        return storage = support::Cp1252ToUtf8(bytes);
    return bytes;
}

// ---- Tree and Node ----

int Tree::Append(int parent, NodeKind kind) {
    int index = static_cast<int>(itemCount_);
    if (itemCount_ == items_.size())
        items_.emplace_back();
    Item &item = items_[itemCount_++];
    item.kind = kind;
    item.name.clear();
    item.value.clear();
    item.parent = parent;
    item.firstChild = item.lastChild = item.nextSibling = -1;
    item.firstAttr = static_cast<int>(attrCount_);
    item.attrCount = 0;
    if (parent >= 0) {
        Item &p = ItemAt(parent);
        if (p.lastChild >= 0)
            ItemAt(p.lastChild).nextSibling = index;
        else
            p.firstChild = index;
        p.lastChild = index;
    }
    return index;
}

Attribute &Tree::AppendAttribute(int node) {
    if (attrCount_ == attrs_.size())
        attrs_.emplace_back();
    ++ItemAt(node).attrCount;
    return attrs_[attrCount_++];
}

namespace {
const Tree::Item &ItemOf(const Tree *t, int i) {
    return t->ItemAt(i);
}
} // namespace

const Attribute *Node::FindAttribute(std::string_view name) const {
    const Tree::Item &it = ItemOf(tree_, index_);
    for (int i = 0; i < it.attrCount; ++i) {
        const Attribute &a = tree_->AttributeAt(it.firstAttr + i);
        if (support::EqualsNoCase(a.name, name))
            return &a;
    }
    return nullptr;
}

std::string Node::AttributeValue(std::string_view name) const {
    const Attribute *a = FindAttribute(name);
    return a ? a->value : std::string();
}

std::vector<Attribute> Node::Attributes() const {
    const Tree::Item &it = ItemOf(tree_, index_);
    std::vector<Attribute> out;
    for (int i = 0; i < it.attrCount; ++i)
        out.push_back(tree_->AttributeAt(it.firstAttr + i));
    return out;
}

std::string Node::TextContent() const {
    std::string out;
    int cur = index_;
    // Pre-order walk without recursion.
    while (cur >= 0) {
        const Tree::Item &it = ItemOf(tree_, cur);
        if (it.kind == NodeKind::Text || it.kind == NodeKind::CData)
            out += it.value;
        if (it.firstChild >= 0) {
            cur = it.firstChild;
            continue;
        }
        while (cur != index_ && ItemOf(tree_, cur).nextSibling < 0)
            cur = ItemOf(tree_, cur).parent;
        cur = cur == index_ ? -1 : ItemOf(tree_, cur).nextSibling;
    }
    return support::Trim(out);
}

std::string_view Node::TextView(std::string &scratch) const {
    const Tree::Item &it = ItemOf(tree_, index_);
    if (it.firstChild >= 0 && it.firstChild == it.lastChild) {
        const Tree::Item &only = ItemOf(tree_, it.firstChild);
        if ((only.kind == NodeKind::Text || only.kind == NodeKind::CData) && only.firstChild < 0)
            return support::TrimView(only.value);
    }
    scratch = TextContent();
    return scratch;
}

std::string Node::Markup() const {
    std::string out;
    int cur = index_;
    while (cur >= 0) {
        const Tree::Item &it = ItemOf(tree_, cur);
        switch (it.kind) {
        case NodeKind::Text:
            EscapeInto(out, it.value, false);
            break;
        case NodeKind::CData:
            out += "<![CDATA[" + it.value + "]]>";
            break;
        case NodeKind::Comment:
            out += "<!--" + it.value + "-->";
            break;
        case NodeKind::Element:
            out += '<';
            out += it.name;
            for (int i = 0; i < it.attrCount; ++i) {
                const Attribute &a = tree_->AttributeAt(it.firstAttr + i);
                out += ' ';
                out += a.name;
                out += "=\"";
                EscapeInto(out, a.value, true);
                out += '"';
            }
            out += it.firstChild >= 0 ? ">" : "/>";
            break;
        }
        if (it.firstChild >= 0) {
            cur = it.firstChild;
            continue;
        }
        // Close finished elements on the way back up.
        while (cur != index_ && ItemOf(tree_, cur).nextSibling < 0) {
            cur = ItemOf(tree_, cur).parent;
            out += "</" + ItemOf(tree_, cur).name + ">";
        }
        cur = cur == index_ ? -1 : ItemOf(tree_, cur).nextSibling;
    }
    return out;
}

// ---- PullParser ----

void PullParser::FailAt(const std::string &message, std::size_t pos) const {
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < pos && i < text_.size(); ++i) {
        if (text_[i] == '\n')
            ++line, column = 1;
        else
            ++column;
    }
    throw ParseError(
        message + ", line " + std::to_string(line) + ", column " + std::to_string(column), pos);
}

void PullParser::Fail(const std::string &message) const {
    FailAt(message, pos_);
}

void PullParser::SkipBlanks() {
    while (pos_ < text_.size() && IsXmlBlank(text_[pos_]))
        ++pos_;
}

std::string_view PullParser::ParseName() {
    std::size_t start = pos_;
    while (pos_ < text_.size()) {
        char c = text_[pos_];
        if (IsXmlBlank(c) || c == '/' || c == '>' || c == '=' || c == '<' || c == '"' || c == '\'')
            break;
        ++pos_;
    }
    return text_.substr(start, pos_ - start);
}

void PullParser::SkipUntil(std::string_view terminator, const char *what) {
    std::size_t end = text_.find(terminator, pos_);
    if (end == std::string_view::npos)
        Fail(std::string("Unexpected end of file inside a ") + what);
    pos_ = end + terminator.size();
}

void PullParser::SkipDoctype() {
    int brackets = 0;
    char quote = 0;
    for (std::size_t i = pos_ + 2; i < text_.size(); ++i) {
        char c = text_[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            ++brackets;
        } else if (c == ']') {
            --brackets;
        } else if (c == '>' && brackets <= 0) {
            pos_ = i + 1;
            return;
        }
    }
    Fail("Unexpected end of file inside the document type declaration");
}

namespace {
// Whether the raw text needs decoding at all; most text in big files is plain numbers.
// A plain loop: find_first_of searches its set once for every character.
bool NeedsDecoding(std::string_view raw, bool attribute) {
    for (char c : raw)
        if (c == '&' || c == '\r' || (attribute && (c == '\n' || c == '\t')))
            return true;
    return false;
}
} // namespace

void PullParser::DecodeInto(std::string_view raw, std::string &out, bool attribute) const {
    if (!NeedsDecoding(raw, attribute)) {
        out.append(raw);
        return;
    }
    out.reserve(out.size() + raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '\r') {
            if (i + 1 < raw.size() && raw[i + 1] == '\n')
                ++i;
            out += attribute ? ' ' : '\n';
            continue;
        }
        if (attribute && (c == '\n' || c == '\t')) {
            out += ' ';
            continue;
        }
        if (c != '&') {
            out += c;
            continue;
        }
        // Only the next 12 characters can close a reference: a search to the end would make
        // a text of many bare "&" quadratic.
        std::size_t semi = raw.substr(0, i + 13).find(';', i + 1);
        if (semi == std::string_view::npos) {
            out += c; // a bare "&" is kept as it stands
            continue;
        }
        std::string_view ent = raw.substr(i + 1, semi - i - 1);
        if (ent == "lt")
            out += '<';
        else if (ent == "gt")
            out += '>';
        else if (ent == "amp")
            out += '&';
        else if (ent == "quot")
            out += '"';
        else if (ent == "apos")
            out += '\'';
        else if (ent.size() > 1 && ent[0] == '#') {
            bool hex = ent[1] == 'x' || ent[1] == 'X';
            std::string_view digits = ent.substr(hex ? 2 : 1);
            std::uint32_t cp = 0;
            auto r =
                std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
            if (digits.empty() || r.ec != std::errc() || r.ptr != digits.data() + digits.size())
                cp = support::kReplacementChar;
            support::AppendUtf8(out, cp == 0 ? support::kReplacementChar : cp);
        } else {
            // Entities declared in a document type are never expanded.
            out.append(raw.substr(i, semi - i + 1));
        }
        i = semi;
    }
}

void PullParser::ParseStartTag() {
    std::size_t tagStart = pos_;
    if (seenRoot_ && open_.empty())
        Fail("Only one top level element is allowed");
    ++pos_;
    std::string_view name = ParseName();
    if (name.empty())
        Fail("Element name expected");
    attributes_.clear();
    for (;;) {
        SkipBlanks();
        if (pos_ >= text_.size())
            FailAt("Unexpected end of file inside the tag <" + std::string(name) + ">", tagStart);
        char c = text_[pos_];
        if (c == '>') {
            ++pos_;
            break;
        }
        if (c == '/') {
            if (pos_ + 1 >= text_.size() || text_[pos_ + 1] != '>')
                Fail("'>' expected");
            pos_ += 2;
            pendingEnd_ = true;
            break;
        }
        std::string_view attrName = ParseName();
        if (attrName.empty())
            Fail("Attribute name expected");
        SkipBlanks();
        if (pos_ >= text_.size() || text_[pos_] != '=')
            Fail("'=' expected after attribute " + std::string(attrName));
        ++pos_;
        SkipBlanks();
        if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\''))
            Fail("Quoted value expected for attribute " + std::string(attrName));
        char quote = text_[pos_++];
        std::size_t end = text_.find(quote, pos_);
        if (end == std::string_view::npos)
            Fail("Unterminated value of attribute " + std::string(attrName));
        std::string_view raw = text_.substr(pos_, end - pos_);
        if (raw.find('<') != std::string_view::npos)
            Fail("'<' in the value of attribute " + std::string(attrName));
        Attribute a;
        a.name.assign(attrName);
        DecodeInto(raw, a.value, true);
        attributes_.push_back(std::move(a));
        pos_ = end + 1;
    }
    name_.assign(name);
    open_.push_back(name_);
    seenRoot_ = true;
}

void PullParser::ParseEndTag() {
    pos_ += 2;
    std::string_view name = ParseName();
    SkipBlanks();
    if (pos_ >= text_.size() || text_[pos_] != '>')
        Fail("'>' expected in the end tag </" + std::string(name) + ">");
    if (open_.empty())
        Fail("End tag </" + std::string(name) + "> without a start tag");
    if (open_.back() != name)
        Fail("End tag </" + std::string(name) + "> does not match the start tag <" + open_.back() +
             ">");
    ++pos_;
    name_.assign(name);
    open_.pop_back();
    attributes_.clear();
}

PullParser::Event PullParser::Next() {
    if (pendingEnd_) {
        pendingEnd_ = false;
        name_ = open_.back();
        open_.pop_back();
        attributes_.clear();
        return event_ = Event::EndElement;
    }
    for (;;) {
        if (pos_ >= text_.size()) {
            if (!open_.empty())
                Fail("Unexpected end of file: element <" + open_.back() + "> is not closed");
            if (!seenRoot_)
                Fail("No root element");
            return event_ = Event::EndOfDocument;
        }
        if (text_[pos_] == '<') {
            // Start and end tags are nearly all the markup: tell them apart by the next
            // character before trying the rarer openers one by one.
            const char next = pos_ + 1 < text_.size() ? text_[pos_ + 1] : '\0';
            if (next == '/') {
                ParseEndTag();
                return event_ = Event::EndElement;
            }
            if (next != '?' && next != '!') {
                ParseStartTag();
                return event_ = Event::StartElement;
            }
            if (StartsWith("<?")) {
                SkipUntil("?>", "processing instruction");
                continue;
            }
            if (StartsWith("<!--")) {
                std::size_t start = pos_ + 4;
                // Searched from past the opener: the "--" of "<!-->" does not end the comment.
                std::size_t end = text_.find("-->", start);
                if (end == std::string_view::npos)
                    Fail("Unexpected end of file inside a comment");
                pos_ = end + 3;
                if (open_.empty())
                    continue;
                value_.assign(text_.substr(start, pos_ - 3 - start));
                return event_ = Event::Comment;
            }
            if (StartsWith("<![CDATA[")) {
                if (open_.empty())
                    Fail("CDATA section outside the root element");
                std::size_t start = pos_ + 9;
                SkipUntil("]]>", "CDATA section");
                value_.assign(text_.substr(start, pos_ - 3 - start));
                return event_ = Event::CData;
            }
            if (StartsWith("<!DOCTYPE")) {
                if (seenRoot_)
                    Fail("Misplaced document type declaration");
                SkipDoctype();
                continue;
            }
            Fail("Unknown markup declaration");
        }
        std::size_t start = pos_;
        std::size_t end = text_.find('<', pos_);
        if (end == std::string_view::npos)
            end = text_.size();
        std::string_view raw = text_.substr(start, end - start);
        pos_ = end;
        if (support::TrimView(raw).empty())
            continue;
        if (open_.empty())
            FailAt("Text outside the root element", start);
        value_.clear();
        DecodeInto(raw, value_, false);
        return event_ = Event::Text;
    }
}

int PullParser::ReadSubtree(Tree &tree, int parent) {
    auto addElement = [&](int under) {
        int index = tree.Append(under, NodeKind::Element);
        tree.ItemAt(index).name = name_;
        for (const Attribute &a : attributes_) {
            Attribute &copy = tree.AppendAttribute(index);
            copy.name = a.name;
            copy.value = a.value;
        }
        return index;
    };
    const int root = addElement(parent);
    int current = root;
    for (;;) {
        switch (Next()) {
        case Event::StartElement:
            current = addElement(current);
            break;
        case Event::EndElement:
            if (current == root)
                return root;
            current = tree.ItemAt(current).parent;
            break;
        case Event::Text:
        case Event::CData:
        case Event::Comment: {
            NodeKind kind = event_ == Event::Text    ? NodeKind::Text
                            : event_ == Event::CData ? NodeKind::CData
                                                     : NodeKind::Comment;
            int index = tree.Append(current, kind);
            tree.ItemAt(index).value = value_;
            break;
        }
        case Event::EndOfDocument:
            return root; // not reached: Next() throws first
        }
    }
}

void PullParser::SkipSubtree() {
    const std::size_t depth = open_.size();
    while (!(Next() == Event::EndElement && open_.size() < depth)) {
    }
}

void PullParser::ReadToEnd() {
    while (Next() != Event::EndOfDocument) {
    }
}

void ParseDocument(std::string_view utf8Text, Tree &tree) {
    tree.Clear();
    PullParser parser(utf8Text);
    while (parser.Next() != PullParser::Event::StartElement) {
    }
    parser.ReadSubtree(tree, -1);
    parser.ReadToEnd();
}

} // namespace xml
