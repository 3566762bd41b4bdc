#include "support/XmlPath.h"

#include "support/NumText.h"

#include <algorithm>

namespace xml {

namespace {

template <class Visit> void ForEachChildElement(Node parent, Visit visit) {
    for (Node c = parent.FirstChild(); c; c = c.NextSibling())
        if (c.Kind() == NodeKind::Element)
            visit(c);
}

template <class Visit> void ForEachDescendantOrSelf(Node start, Visit visit) {
    // Nodes of a subtree are stored in document order right after their root,
    // so a walk over parent links stays iterative.
    std::vector<Node> pending{start};
    while (!pending.empty()) {
        Node n = pending.back();
        pending.pop_back();
        visit(n);
        std::vector<Node> children;
        ForEachChildElement(n, [&](Node c) { children.push_back(c); });
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
}

// "*:name" matches name under any prefix or none (documents that write "<kml:Placemark>").
bool Matches(Node n, std::string_view name) {
    if (name == "*")
        return true;
    if (name.substr(0, 2) == "*:") {
        std::string_view local = n.Name();
        if (std::size_t colon = local.find(':'); colon != std::string_view::npos)
            local.remove_prefix(colon + 1);
        return support::EqualsNoCase(local, name.substr(2));
    }
    return support::EqualsNoCase(n.Name(), name);
}

} // namespace

std::vector<Node> SelectNodes(Node context, std::string_view path) {
    std::vector<Node> current;
    if (!context)
        return current;
    current.push_back(context);
    bool anyDepth = false;
    while (!path.empty() || anyDepth) {
        std::size_t slash = path.find('/');
        std::string_view step = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        if (step.empty()) {
            if (path.empty())
                break;
            anyDepth = true; // "//": the next step matches at any depth
            continue;
        }
        std::vector<Node> next;
        if (step == ".") {
            next = current;
        } else if (step == "..") {
            for (Node n : current)
                if (n.Parent())
                    next.push_back(n.Parent());
        } else if (anyDepth) {
            for (Node n : current)
                ForEachDescendantOrSelf(n, [&](Node d) {
                    ForEachChildElement(d, [&](Node c) {
                        if (Matches(c, step))
                            next.push_back(c);
                    });
                });
        } else {
            for (Node n : current)
                ForEachChildElement(n, [&](Node c) {
                    if (Matches(c, step))
                        next.push_back(c);
                });
        }
        anyDepth = false;
        // Tree indexes follow document order.
        std::sort(next.begin(), next.end(),
                  [](const Node &a, const Node &b) { return a.Index() < b.Index(); });
        next.erase(std::unique(next.begin(), next.end()), next.end());
        current.swap(next);
        if (current.empty())
            break;
    }
    return current;
}

namespace {

bool OnlyChildSteps(std::string_view path) {
    if (path.empty() || path.front() == '/' || path.back() == '/' ||
        path.find("//") != std::string_view::npos)
        return false;
    for (std::size_t start = 0;;) {
        std::size_t slash = path.find('/', start);
        std::string_view step = path.substr(start, slash - start);
        if (step == "." || step == "..")
            return false;
        if (slash == std::string_view::npos)
            return true;
        start = slash + 1;
    }
}

// Child steps visit matches in document order, so the last one visited is the last.
void LastByChildSteps(Node context, std::string_view path, Node &last) {
    std::size_t slash = path.find('/');
    std::string_view step = path.substr(0, slash);
    ForEachChildElement(context, [&](Node c) {
        if (!Matches(c, step))
            return;
        if (slash == std::string_view::npos)
            last = c;
        else
            LastByChildSteps(c, path.substr(slash + 1), last);
    });
}

} // namespace

Node SelectLast(Node context, std::string_view path) {
    if (context && OnlyChildSteps(path)) {
        Node last;
        LastByChildSteps(context, path, last);
        return last;
    }
    std::vector<Node> all = SelectNodes(context, path);
    return all.empty() ? Node() : all.back();
}

std::string LastNodeText(Node context, std::string_view path) {
    Node n = SelectLast(context, path);
    return n ? n.TextContent() : std::string();
}

bool IsNamed(Node n, std::string_view name) {
    return n && Matches(n, name);
}

bool HasChild(Node context, std::string_view name) {
    bool found = false;
    ForEachChildElement(context, [&](Node c) { found = found || Matches(c, name); });
    return found;
}

} // namespace xml
