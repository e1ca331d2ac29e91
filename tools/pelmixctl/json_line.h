// One JSON object on one line: keys in the order they are added.
#ifndef PELMIXCTL_JSON_LINE_H
#define PELMIXCTL_JSON_LINE_H

#include <stdint.h>

#include <string>

// text as a JSON string: quotes, backslashes and every byte outside
// printable ASCII escaped.
std::string JsonQuote(const std::string& text);

struct JsonObject {
    std::string Text = "{";
    void Key(const char* key);
    void Number(const char* key, uint64_t value);
    void String(const char* key, const std::string& value);
    void Raw(const char* key, const std::string& value);
};

#endif
