// The well-formedness check of xml values: elements nest and close in
// order, names are names, attributes are quoted and not repeated,
// references are the five predefined entities or character references,
// comments, CDATA sections and processing instructions end, and no
// character outside XML 1.0's set occurs. Untyped xml may be a fragment
// (several top elements, text between them). A DTD is refused, as SQL
// Server refuses one without CONVERT style 2. What is kept is the text
// itself without the XML declaration; SQL Server would also normalise
// quotes, empty elements and whitespace-only text, which this server does
// not.

#include "Types.h"

#include <cctype>
#include <string>
#include <vector>

namespace qts {

namespace {

struct XmlFailure {
    int number;
    const char *what;
};

class XmlChecker {
public:
    explicit XmlChecker(const std::string &s) : m_s(s) {}

    // Returns the position after the XML declaration (0 when there is none).
    std::size_t run(bool unicode)
    {
        std::size_t keepFrom = 0;
        if (m_s.compare(0, 5, "<?xml") == 0 && m_s.size() > 5 && isSpace(m_s[5])) {
            declaration(unicode);
            keepFrom = m_i;
        }
        std::vector<std::string> open;
        while (m_i < m_s.size()) {
            if (m_s[m_i] != '<') {
                text(open.empty());
                continue;
            }
            if (starts("</")) {
                m_i += 2;
                const std::string name = readName();
                spaces();
                expect('>', 9436);
                if (open.empty() || open.back() != name)
                    throw failure(9436, "end tag does not match start tag");
                open.pop_back();
            } else if (starts("<!--")) {
                comment();
            } else if (starts("<![CDATA[")) {
                cdata();
            } else if (starts("<!")) {
                throw failure(6359, nullptr);
            } else if (starts("<?")) {
                instruction();
            } else {
                ++m_i;
                const std::string name = readName();
                std::vector<std::string> attributes;
                for (;;) {
                    const bool space = spaces();
                    if (starts("/>")) {
                        m_i += 2;
                        break;
                    }
                    if (at('>')) {
                        ++m_i;
                        open.push_back(name);
                        break;
                    }
                    if (!space)
                        throw failure(9410, "whitespace expected");
                    const std::string attribute = readName();
                    for (const auto &a : attributes)
                        if (a == attribute)
                            throw failure(9465, "well formed check: redefinition of attribute");
                    attributes.push_back(attribute);
                    spaces();
                    expect('=', 9410);
                    spaces();
                    attributeValue();
                }
            }
        }
        if (!open.empty())
            throw failure(9400, "unexpected end of input");
        return keepFrom;
    }

    [[nodiscard]] int line() const { return m_line; }
    [[nodiscard]] int column() const { return m_column; }

private:
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    [[nodiscard]] bool at(char c) const { return m_i < m_s.size() && m_s[m_i] == c; }
    [[nodiscard]] bool starts(const char *p) const { return m_s.compare(m_i, std::char_traits<char>::length(p), p) == 0; }

    XmlFailure failure(int number, const char *what)
    {
        // Line and character of the failing position, as the parser counts them.
        m_line = 1;
        m_column = 0;
        for (std::size_t k = 0; k < m_i && k < m_s.size(); ++k) {
            const auto b = static_cast<unsigned char>(m_s[k]);
            if (b == '\n') {
                ++m_line;
                m_column = 0;
            } else if ((b & 0xC0) != 0x80) {
                ++m_column;
            }
        }
        return {number, what};
    }

    // The next code point, checked against XML 1.0's characters.
    char32_t next()
    {
        const auto b = static_cast<unsigned char>(m_s[m_i]);
        char32_t c = b;
        int extra = 0;
        if (b >= 0xF0) { c = b & 0x07; extra = 3; }
        else if (b >= 0xE0) { c = b & 0x0F; extra = 2; }
        else if (b >= 0xC0) { c = b & 0x1F; extra = 1; }
        const std::size_t start = m_i;
        ++m_i;
        for (int k = 0; k < extra && m_i < m_s.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(m_s[m_i++]) & 0x3F);
        const bool legal = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
                           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
        if (!legal) {
            m_i = start;
            throw failure(9420, "illegal xml character");
        }
        return c;
    }

    bool spaces()
    {
        const std::size_t start = m_i;
        while (m_i < m_s.size() && isSpace(m_s[m_i]))
            ++m_i;
        return m_i > start;
    }

    void expect(char c, int number)
    {
        if (!at(c))
            throw failure(number, number == 9436 ? "end tag does not match start tag" : "expected character not found");
        ++m_i;
    }

    static bool nameStart(char32_t c)
    {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' ||
               (c >= 0xC0 && c != 0xD7 && c != 0xF7 && !(c >= 0x2000 && c <= 0x206F));
    }
    static bool namePart(char32_t c) { return nameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == 0xB7; }

    std::string readName()
    {
        const std::size_t start = m_i;
        if (m_i >= m_s.size())
            throw failure(9400, "unexpected end of input");
        if (!nameStart(next())) {
            m_i = start;
            throw failure(9421, "illegal name character");
        }
        while (m_i < m_s.size()) {
            const std::size_t before = m_i;
            if (!namePart(next())) {
                m_i = before;
                break;
            }
        }
        return m_s.substr(start, m_i - start);
    }

    void reference()
    {
        // At '&': a predefined entity or a character reference.
        ++m_i;
        static const char *const entities[] = {"lt;", "gt;", "amp;", "apos;", "quot;"};
        for (const char *e : entities)
            if (starts(e)) {
                m_i += std::char_traits<char>::length(e);
                return;
            }
        if (at('#')) {
            ++m_i;
            const bool hex = at('x');
            if (hex)
                ++m_i;
            std::uint32_t value = 0;
            std::size_t digits = 0;
            while (m_i < m_s.size() && std::isxdigit(static_cast<unsigned char>(m_s[m_i])) &&
                   (hex || std::isdigit(static_cast<unsigned char>(m_s[m_i])))) {
                const char c = m_s[m_i++];
                value = value * (hex ? 16 : 10) + std::uint32_t(std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (c | 0x20) - 'a' + 10);
                if (value > 0x10FFFF)
                    throw failure(9420, "illegal xml character");
                ++digits;
            }
            if (digits == 0 || !at(';'))
                throw failure(9411, "semicolon expected");
            ++m_i;
            const bool legal = value == 0x9 || value == 0xA || value == 0xD || (value >= 0x20 && value <= 0xD7FF) ||
                               (value >= 0xE000 && value <= 0xFFFD) || value >= 0x10000;
            if (!legal)
                throw failure(9420, "illegal xml character");
            return;
        }
        readName();
        throw failure(9448, "undeclared entity");
    }

    void text(bool topLevel)
    {
        (void)topLevel;  // untyped xml may be a fragment: text at the top is allowed
        while (m_i < m_s.size() && m_s[m_i] != '<') {
            if (m_s[m_i] == '&')
                reference();
            else
                next();
        }
    }

    void attributeValue()
    {
        if (!at('"') && !at('\''))
            throw failure(9413, "A string literal was expected");
        const char quote = m_s[m_i++];
        for (;;) {
            if (m_i >= m_s.size())
                throw failure(9400, "unexpected end of input");
            if (m_s[m_i] == quote) {
                ++m_i;
                return;
            }
            if (m_s[m_i] == '<')
                throw failure(9403, "illegal qualified name character");
            if (m_s[m_i] == '&')
                reference();
            else
                next();
        }
    }

    void skipTo(const char *end, int number)
    {
        const std::size_t close = m_s.find(end, m_i);
        if (close == std::string::npos) {
            m_i = m_s.size();
            throw failure(number, "unexpected end of input");
        }
        while (m_i < close)
            next();
        m_i = close + std::char_traits<char>::length(end);
    }

    void comment()
    {
        m_i += 4;
        const std::size_t close = m_s.find("--", m_i);
        if (close == std::string::npos || m_s.compare(close, 3, "-->") != 0) {
            if (close != std::string::npos)
                m_i = close;
            throw failure(close == std::string::npos ? 9400 : 9445, close == std::string::npos ? "unexpected end of input" : "'--' not allowed in a comment");
        }
        skipTo("-->", 9400);
    }

    void cdata()
    {
        m_i += 9;
        skipTo("]]>", 9400);
    }

    void instruction()
    {
        m_i += 2;
        const std::size_t start = m_i;
        const std::string target = readName();
        if (toLowerAscii(target) == "xml") {
            m_i = start - 2;
            throw failure(9438, "text/xmldecl not at the beginning of input");
        }
        skipTo("?>", 9400);
    }

    void declaration(bool unicode)
    {
        const std::size_t close = m_s.find("?>");
        if (close == std::string::npos) {
            m_i = m_s.size();
            throw failure(9400, "unexpected end of input");
        }
        const std::string decl = toLowerAscii(m_s.substr(0, close));
        const std::size_t enc = decl.find("encoding");
        if (enc != std::string::npos && unicode) {
            // Unicode input cannot be read as another encoding.
            const std::size_t q = decl.find_first_of("\"'", enc);
            const std::string name = q == std::string::npos ? std::string() : decl.substr(q + 1, decl.find(decl[q], q + 1) - q - 1);
            if (name != "utf-16" && name != "ucs-2" && name != "utf-16le") {
                m_i = close;
                throw failure(9402, "unable to switch the encoding");
            }
        }
        m_i = close + 2;
    }

    const std::string &m_s;
    std::size_t m_i = 0;
    int m_line = 1;
    int m_column = 1;
};

} // namespace

std::string checkXml(const std::string &utf8, bool unicode)
{
    XmlChecker checker(utf8);
    try {
        const std::size_t keepFrom = checker.run(unicode);
        std::size_t from = keepFrom;
        if (keepFrom > 0)
            while (from < utf8.size() && (utf8[from] == ' ' || utf8[from] == '\t' || utf8[from] == '\r' || utf8[from] == '\n'))
                ++from;
        return utf8.substr(from);
    } catch (const XmlFailure &f) {
        if (f.number == 6359)
            fail(6359, 16, "Parsing XML with internal subset DTDs not allowed. Use CONVERT with style option 2 to enable limited internal subset DTD support.");
        fail(f.number, 16, "XML parsing: line " + std::to_string(checker.line()) + ", character " +
                               std::to_string(checker.column()) + ", " + f.what);
    }
}

} // namespace qts
