#include "json_line.h"

#include <stdio.h>

std::string JsonQuote(const std::string& text)
{
    std::string quoted = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\u%04x", c);
            quoted += escape;
        } else {
            quoted += static_cast<char>(c);
        }
    }
    return quoted + "\"";
}

void JsonObject::Key(const char* key)
{
    if (Text.size() > 1)
        Text += ',';
    Text += '"';
    Text += key;
    Text += "\":";
}

void JsonObject::Number(const char* key, uint64_t value)
{
    Key(key);
    Text += std::to_string(value);
}

void JsonObject::String(const char* key, const std::string& value)
{
    Key(key);
    Text += JsonQuote(value);
}

void JsonObject::Raw(const char* key, const std::string& value)
{
    Key(key);
    Text += value;
}
