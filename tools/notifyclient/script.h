// notifyclient's script language: one statement per line (or ';'-separated on the command
// line), words separated by blanks, key=value options whose value may be "quoted" (a
// backslash escapes a quote or a backslash). Plain C++; the client executes what this parses.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace notifyclient {

struct Statement {
    int line = 0;
    std::string verb;
    std::vector<std::string> args;               // words without '='
    std::map<std::string, std::string> options;  // key=value words
};

// Splits text into statements; blank lines and lines starting with '#' are skipped.
// `separator` ends a statement as a line break does (';' for the command line, 0 for none).
// On a syntax error (an unclosed quote) returns false with a message.
bool ParseScript(const std::string& text,
                 char separator,
                 std::vector<Statement>* out,
                 std::string* error);

}  // namespace notifyclient
