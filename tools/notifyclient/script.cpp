// Parser of notifyclient scripts.
#include "tools/notifyclient/script.h"

namespace notifyclient {
namespace {

bool SplitWords(const std::string& s, std::vector<std::string>* words, std::string* error) {
    std::string cur;
    bool in_word = false, quoted = false;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (quoted) {
            if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '"' || s[i + 1] == '\\')) {
                cur.push_back(s[++i]);
            } else if (c == '"') {
                quoted = false;
            } else {
                cur.push_back(c);
            }
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r') {
            if (in_word)
                words->push_back(cur);
            cur.clear();
            in_word = false;
            continue;
        }
        in_word = true;
        if (c == '"')
            quoted = true;
        else
            cur.push_back(c);
    }
    if (quoted) {
        *error = "unclosed quote";
        return false;
    }
    if (in_word)
        words->push_back(cur);
    return true;
}

// Splits at line breaks and at `separator` outside quotes.
std::vector<std::pair<int, std::string>> SplitStatements(const std::string& text, char separator) {
    std::vector<std::pair<int, std::string>> out;
    std::string cur;
    int line = 1, start_line = 1;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '\\' && i + 1 < text.size()) {
            cur.push_back(c);
            cur.push_back(text[++i]);
            continue;
        }
        if (c == '"')
            quoted = !quoted;
        if (c == '\n' || (!quoted && separator && c == separator)) {
            out.emplace_back(start_line, cur);
            cur.clear();
            if (c == '\n') {
                ++line;
                quoted = false;
            }
            start_line = line;
            continue;
        }
        cur.push_back(c);
    }
    out.emplace_back(start_line, cur);
    return out;
}

}  // namespace

bool ParseScript(const std::string& text,
                 char separator,
                 std::vector<Statement>* out,
                 std::string* error) {
    for (const auto& [line, body] : SplitStatements(text, separator)) {
        const size_t first = body.find_first_not_of(" \t\r");
        if (first == std::string::npos || body[first] == '#')
            continue;
        std::vector<std::string> words;
        std::string why;
        if (!SplitWords(body, &words, &why)) {
            *error = "line " + std::to_string(line) + ": " + why;
            return false;
        }
        if (words.empty())
            continue;
        Statement st;
        st.line = line;
        st.verb = words[0];
        for (size_t i = 1; i < words.size(); ++i) {
            const size_t eq = words[i].find('=');
            if (eq == std::string::npos || eq == 0)
                st.args.push_back(words[i]);
            else
                st.options[words[i].substr(0, eq)] = words[i].substr(eq + 1);
        }
        out->push_back(st);
    }
    return true;
}

}  // namespace notifyclient
