// Reading the module's IDL files far enough to compare them with the member tables.
#include "idl_parser.h"

#include <cctype>
#include <stdexcept>

namespace seg4::idl {

namespace {

std::string trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

std::string withoutComments(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "//") == 0) {
            i = text.find('\n', i);
            if (i == std::string::npos) break;
        }
        out += text[i];
    }
    return out;
}

/// Index just past the bracket that closes the one at `open` (any of [ ( {).
std::size_t closing(const std::string& s, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < s.size(); ++i) {
        if (s[i] == '[' || s[i] == '(' || s[i] == '{') ++depth;
        if (s[i] == ']' || s[i] == ')' || s[i] == '}') {
            if (--depth == 0) return i + 1;
        }
    }
    throw std::runtime_error("unbalanced brackets");
}

/// Splits at top-level commas.
std::vector<std::string> splitTopLevel(const std::string& s, char separator) {
    std::vector<std::string> parts;
    int depth = 0;
    std::string current;
    for (char c : s) {
        if (c == '[' || c == '(' || c == '{') ++depth;
        if (c == ']' || c == ')' || c == '}') --depth;
        if (c == separator && depth == 0) {
            parts.push_back(trim(current));
            current.clear();
        } else {
            current += c;
        }
    }
    if (!trim(current).empty()) parts.push_back(trim(current));
    return parts;
}

std::vector<std::string> attributeList(const std::string& bracketed) {
    std::vector<std::string> list;
    for (const std::string& a : splitTopLevel(bracketed.substr(1, bracketed.size() - 2), ','))
        list.push_back(a);
    return list;
}

std::vector<std::string> words(const std::string& s) {
    std::vector<std::string> out;
    std::string w;
    for (char c : s) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '*') {
            w += c;
        } else if (!w.empty()) {
            out.push_back(w);
            w.clear();
        }
    }
    if (!w.empty()) out.push_back(w);
    return out;
}

void collect(const std::string& text, std::vector<Block>& out) {
    static const char* const keywords[] = {"library", "interface", "dispinterface", "coclass"};
    std::size_t pos = 0;
    std::vector<std::string> pendingAttributes;
    while (pos < text.size()) {
        const std::size_t next = text.find_first_of("[{;", pos);
        if (next == std::string::npos) break;
        const std::string before = trim(text.substr(pos, next - pos));
        if (text[next] == '[' && before.empty()) {
            const std::size_t end = closing(text, next);
            pendingAttributes = attributeList(text.substr(next, end - next));
            pos = end;
            continue;
        }
        if (text[next] == '{') {
            const std::vector<std::string> head = words(before);
            const std::size_t end = closing(text, next);
            Block b;
            for (const char* k : keywords) {
                for (std::size_t i = 0; i + 1 < head.size(); ++i) {
                    if (head[i] == k) {
                        b.keyword = k;
                        b.name = head[i + 1];
                        if (i + 2 < head.size()) b.base = head[i + 2];
                    }
                }
            }
            b.attributes = pendingAttributes;
            b.body = text.substr(next + 1, end - next - 2);
            if (!b.keyword.empty()) {
                out.push_back(b);
                if (b.keyword == "library") collect(b.body, out);
            }
            pendingAttributes.clear();
            pos = end;
            continue;
        }
        pendingAttributes.clear(); // an import, a forward declaration, a statement
        pos = next + 1;
    }
}

ValueKind kindOf(const std::string& type, bool inOut) {
    struct Known {
        const char* type;
        ValueKind byValue;
        ValueKind byReference;
    };
    static const Known known[] = {{"long", ValueKind::Long, ValueKind::LongRef},
                                  {"short", ValueKind::Short, ValueKind::ShortRef},
                                  {"BSTR", ValueKind::String, ValueKind::StringRef},
                                  {"VARIANT", ValueKind::Variant, ValueKind::VariantRef}};
    const bool pointer = !type.empty() && type.back() == '*';
    const std::string base = pointer ? trim(type.substr(0, type.size() - 1)) : type;
    for (const Known& k : known) {
        if (base != k.type) continue;
        if (pointer != inOut) break; // a pointer must be [in, out], and [in, out] needs a pointer
        return pointer ? k.byReference : k.byValue;
    }
    throw std::runtime_error("parameter type " + type + (inOut ? " [in, out]" : " [in]") +
                             " has no member kind");
}

} // namespace

std::vector<Block> blocks(const std::string& text) {
    std::vector<Block> out;
    collect(withoutComments(text), out);
    return out;
}

std::vector<Method> methods(const std::string& body) {
    std::vector<Method> out;
    std::string declarations = body;
    for (const char* label : {"properties:", "methods:"}) // the section labels of a dispinterface
        for (std::size_t at = declarations.find(label); at != std::string::npos;
             at = declarations.find(label))
            declarations.erase(at, std::string(label).size());
    for (const std::string& declaration : splitTopLevel(declarations, ';')) {
        if (declaration.empty()) continue;
        Method m;
        std::string rest = declaration;
        if (rest.front() == '[') {
            const std::size_t end = closing(rest, 0);
            m.attributes = attributeList(rest.substr(0, end));
            rest = trim(rest.substr(end));
        }
        const std::size_t open = rest.find('(');
        if (open == std::string::npos) throw std::runtime_error("not a method: " + declaration);
        const std::vector<std::string> head = words(rest.substr(0, open));
        if (head.size() != 2 || head[0] != "HRESULT")
            throw std::runtime_error("not an HRESULT method: " + declaration);
        m.name = head[1];
        const std::size_t close = closing(rest, open);
        for (const std::string& p : splitTopLevel(rest.substr(open + 1, close - open - 2), ',')) {
            Parameter param;
            std::string text = p;
            if (text.front() == '[') {
                const std::size_t end = closing(text, 0);
                param.attributes = attributeList(text.substr(0, end));
                text = trim(text.substr(end));
            }
            const std::size_t split = text.find_last_of(" *");
            param.name = trim(text.substr(split + 1));
            param.type = trim(text.substr(0, split + 1));
            std::string compact;
            for (char c : param.type)
                if (!std::isspace(static_cast<unsigned char>(c))) compact += c;
            param.type = compact;
            m.parameters.push_back(param);
        }
        out.push_back(m);
    }
    return out;
}

std::optional<std::string> attributeValue(const std::vector<std::string>& attributes,
                                          const std::string& name) {
    for (const std::string& a : attributes) {
        if (a.rfind(name + "(", 0) == 0 && a.back() == ')')
            return trim(a.substr(name.size() + 1, a.size() - name.size() - 2));
    }
    return std::nullopt;
}

bool hasAttribute(const std::vector<std::string>& attributes, const std::string& name) {
    for (const std::string& a : attributes)
        if (a == name) return true;
    return false;
}

Row rowOf(const Method& m) {
    Row r;
    r.name = m.name;
    r.kind = hasAttribute(m.attributes, "propget")   ? MemberKind::Get
             : hasAttribute(m.attributes, "propput") ? MemberKind::Put
                                                     : MemberKind::Method;
    r.result = ValueKind::Void;
    for (std::size_t i = 0; i < m.parameters.size(); ++i) {
        const Parameter& p = m.parameters[i];
        const bool in = hasAttribute(p.attributes, "in");
        const bool out = hasAttribute(p.attributes, "out");
        if (hasAttribute(p.attributes, "retval")) {
            if (!out || in || i + 1 != m.parameters.size())
                throw std::runtime_error(m.name + ": the result must be the last parameter, [out, retval]");
            r.result = kindOf(p.type.substr(0, p.type.size() - 1), false);
            continue;
        }
        if (!in) throw std::runtime_error(m.name + ": parameter " + p.name + " is not [in]");
        r.args.push_back(kindOf(p.type, out));
    }
    return r;
}

std::vector<std::string> compare(const std::vector<Row>& idl, std::span<const MemberInfo> table) {
    std::vector<std::string> differences;
    static const char* const kinds[] = {"get", "put", "method"};
    auto describe = [](const std::vector<ValueKind>& args, ValueKind result) {
        std::string s = "(";
        for (ValueKind k : args) s += std::string(valueKindName(k)) + " ";
        return s + ") -> " + std::string(valueKindName(result));
    };
    if (idl.size() != table.size())
        differences.push_back("the IDL has " + std::to_string(idl.size()) + " members, the table " +
                              std::to_string(table.size()));
    for (std::size_t i = 0; i < std::min(idl.size(), table.size()); ++i) {
        const Row& r = idl[i];
        const MemberInfo& m = table[i];
        const std::vector<ValueKind> args(m.args.begin(), m.args.end());
        const std::string where = "member " + std::to_string(m.number) + " (" + std::string(m.name) + "): ";
        if (r.name != m.name) differences.push_back(where + "the IDL names it " + r.name);
        if (r.kind != m.kind)
            differences.push_back(where + "the IDL makes it a " + kinds[static_cast<int>(r.kind)] +
                                  ", not a " + kinds[static_cast<int>(m.kind)]);
        if (r.args != args || r.result != m.result)
            differences.push_back(where + "the IDL has " + describe(r.args, r.result) + ", the core " +
                                  describe(args, m.result));
    }
    return differences;
}

} // namespace seg4::idl
