// guidegen: makes the user guide (HTML and plain text) from its source, the
// program's texts (app/res/texts.txt, from which its string table is made)
// and the sample setup.cfg, so that every message is quoted exactly as the
// program shows it.
//
//   guidegen check SOURCE TEXTS       every string-table text is quoted by the
//                                     source (@message), and only those
//   guidegen build SOURCE TEXTS SAMPLE VERSION OUT_DIR [IMAGES_DIR] [--include NAME=FILE]...
//                                     OUT_DIR/guide.html and OUT_DIR/guide.txt;
//                                     with IMAGES_DIR, every picture must be there
//
// Source lines: "# ", "## ", "### " headings; "- " list items; lines
// indented by four blanks are shown as they are; "@shot NAME Caption" a
// screenshot (images/NAME.png); "@message ID [| VALUE]..." a string-table
// text, its %s and %d filled with the values in order; "@sample" the sample
// setup.cfg; "@include NAME" the FILE given as --include NAME=FILE (a tool's
// own help, made at build time), shown as it is; "@table NAME" a table of
// what the programs know (guide_facts.h); "{version}" the version; `text` in
// code style. Blank lines end paragraphs.
// The HTML opens with a table of contents that links every "## " and "### "
// heading.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "guide_facts.h"

namespace {

enum { MaxId = 1100 };
std::string Table[MaxId];
bool InTable[MaxId];
std::string Version;
std::vector<std::string> IncludeNames, IncludeFiles;

bool ReadLines(const char* path, std::vector<std::string>* lines)
{
    FILE* f = fopen(path, "r");
    if (!f)
        return false;
    std::string line;
    int c;
    while ((c = fgetc(f)) != EOF) {
        if (c == '\n') {
            lines->push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += char(c);
        }
    }
    if (!line.empty())
        lines->push_back(line);
    fclose(f);
    return true;
}

// The first quoted text of line from start, its {Piece} names replaced and
// its C escapes (\n, \\) read; false without one.
bool QuotedText(const std::string& line, size_t start, const std::vector<std::string>& pieceNames,
                const std::vector<std::string>& pieceTexts, std::string* text)
{
    size_t open = line.find('"', start);
    size_t close = open == std::string::npos ? open : line.find('"', open + 1);
    if (close == std::string::npos)
        return false;
    std::string raw = line.substr(open + 1, close - open - 1);
    for (size_t p = 0; p < pieceNames.size(); ++p) {
        std::string name = "{" + pieceNames[p] + "}";
        for (size_t at = raw.find(name); at != std::string::npos; at = raw.find(name, at + pieceTexts[p].size()))
            raw.replace(at, name.size(), pieceTexts[p]);
    }
    text->clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 1 < raw.size()) {
            ++i;
            *text += raw[i] == 'n' ? '\n' : raw[i];
        } else {
            *text += raw[i];
        }
    }
    return true;
}

// The program's texts (app/res/texts.txt): lines "Name Id Key "Text" ..."
// whose first quoted text is the string table's, and "@Piece "text"" lines
// that define the {Piece} a later text uses.
bool ReadStringTable(const char* path)
{
    std::vector<std::string> lines;
    if (!ReadLines(path, &lines))
        return false;
    std::vector<std::string> pieceNames, pieceTexts;
    for (const std::string& l : lines) {
        if (l.empty() || l[0] == '#')
            continue;
        std::string text;
        if (l[0] == '@') {
            size_t end = l.find_first_of(" \t");
            if (end != std::string::npos && QuotedText(l, end, pieceNames, pieceTexts, &text)) {
                pieceNames.push_back(l.substr(1, end - 1));
                pieceTexts.push_back(text);
            }
            continue;
        }
        char name[64];
        int id;
        if (sscanf(l.c_str(), "%63s %d", name, &id) != 2 || id <= 0 || id >= MaxId ||
            !QuotedText(l, 0, pieceNames, pieceTexts, &text))
            continue;
        Table[id] = text;
        InTable[id] = true;
    }
    return true;
}

std::string Trim(const std::string& s)
{
    size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

// "@message ID | a | b": the id, and the text with its placeholders filled.
int MessageText(const std::string& line, std::string* text)
{
    int id = atoi(line.c_str() + 9);
    if (id <= 0 || id >= MaxId || !InTable[id])
        return 0;
    std::vector<std::string> values;
    size_t bar = line.find('|');
    while (bar != std::string::npos) {
        size_t next = line.find('|', bar + 1);
        values.push_back(Trim(line.substr(bar + 1, next == std::string::npos ? std::string::npos : next - bar - 1)));
        bar = next;
    }
    const std::string& t = Table[id];
    size_t used = 0;
    text->clear();
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '%' && i + 1 < t.size() && (t[i + 1] == 's' || t[i + 1] == 'd') && used < values.size()) {
            *text += values[used++];
            ++i;
        } else {
            *text += t[i];
        }
    }
    return id;
}

int Check(const char* source)
{
    std::vector<std::string> lines;
    if (!ReadLines(source, &lines)) {
        fprintf(stderr, "guidegen: cannot read %s\n", source);
        return 2;
    }
    bool quoted[MaxId] = {};
    int failures = 0;
    for (size_t n = 0; n < lines.size(); ++n) {
        if (lines[n].compare(0, 9, "@message ") != 0)
            continue;
        std::string text;
        int id = MessageText(lines[n], &text);
        if (!id) {
            printf("%s:%zu: no string-table text %s\n", source, n + 1, lines[n].c_str() + 9);
            ++failures;
        }
        quoted[id] = true;
    }
    for (int id = 0; id < MaxId; ++id)
        if (InTable[id] && !quoted[id]) {
            std::string first = Table[id].substr(0, Table[id].find('\n'));
            printf("the guide does not explain message %d: \"%s\"\n", id, first.c_str());
            ++failures;
        }
    return failures ? 1 : 0;
}

// ---- Output ----

std::string Html(const std::string& s, bool inlineMarks = true)
{
    std::string out;
    bool code = false;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (inlineMarks && s.compare(i, 9, "{version}") == 0) {
            out += Version;
            i += 8;
        } else if (inlineMarks && c == '`') {
            out += code ? "</code>" : "<code>";
            code = !code;
        } else if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"') {
            out += "&quot;";
        } else if (c == '\n') {
            out += "<br>";
        } else {
            out += c;
        }
    }
    return out;
}

std::string Plain(const std::string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s.compare(i, 9, "{version}") == 0) {
            out += Version;
            i += 8;
        } else if (s[i] != '`') {
            out += s[i];
        }
    }
    return out;
}

void Wrap(FILE* f, const std::string& text, const char* first, const char* rest)
{
    std::string line = first;
    size_t indent = strlen(first), start = line.size();
    size_t i = 0;
    while (i < text.size()) {
        size_t end = text.find(' ', i);
        std::string word = text.substr(i, end == std::string::npos ? std::string::npos : end - i);
        i = end == std::string::npos ? text.size() : end + 1;
        if (word.empty())
            continue;
        if (line.size() > start && line.size() + 1 + word.size() > 76) {
            fprintf(f, "%s\n", line.c_str());
            line = rest;
            indent = strlen(rest);
            start = indent;
        }
        if (line.size() > start)
            line += ' ';
        line += word;
    }
    fprintf(f, "%s\n", line.c_str());
}

struct Writer {
    FILE* html;
    FILE* text;
    std::string paragraph;
    bool inList = false, inPre = false;

    void EndParagraph()
    {
        if (!paragraph.empty()) {
            fprintf(html, "<p>%s</p>\n", Html(paragraph).c_str());
            Wrap(text, Plain(paragraph), "", "");
            fprintf(text, "\n");
            paragraph.clear();
        }
        if (inList) {
            fprintf(html, "</ul>\n");
            fprintf(text, "\n");
            inList = false;
        }
        if (inPre) {
            fprintf(html, "</pre>\n");
            fprintf(text, "\n");
            inPre = false;
        }
    }
};

// The lines of the file given for an @include name; false without one.
bool ReadInclude(const std::string& name, std::vector<std::string>* lines)
{
    for (size_t i = 0; i < IncludeNames.size(); ++i) {
        if (IncludeNames[i] == name)
            return ReadLines(IncludeFiles[i].c_str(), lines) && !lines->empty();
    }
    return false;
}

// The anchor of a heading: its words in lower case joined by hyphens.
std::string Anchor(const std::string& head)
{
    std::string id;
    for (char c : Plain(head)) {
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            id += c;
        else if (c >= 'A' && c <= 'Z')
            id += char(c - 'A' + 'a');
        else if (!id.empty() && id.back() != '-')
            id += '-';
    }
    while (!id.empty() && id.back() == '-')
        id.pop_back();
    return id.empty() ? "section" : id;
}

struct Heading {
    size_t Level;
    std::string Text, Id;
};

// Every "## " and "### " heading, with an anchor no other heading has.
std::vector<Heading> Headings(const std::vector<std::string>& lines)
{
    std::vector<Heading> found;
    for (const std::string& l : lines) {
        size_t level = l.find(' ');
        if (l.empty() || l[0] != '#' || level < 2 || level > 3 || l.find_first_not_of('#') != level)
            continue;
        Heading h = {level, l.substr(level + 1), Anchor(l.substr(level + 1))};
        std::string base = h.Id;
        for (int n = 2;; ++n) {
            bool taken = false;
            for (const Heading& other : found)
                taken = taken || other.Id == h.Id;
            if (!taken)
                break;
            h.Id = base + "-" + std::to_string(n);
        }
        found.push_back(h);
    }
    return found;
}

void WriteContents(FILE* html, FILE* text, const std::vector<Heading>& headings)
{
    fprintf(html, "<nav class=\"contents\">\n<h2>Contents</h2>\n<ul>\n");
    fprintf(text, "Contents\n--------\n\n");
    bool sub = false;
    for (size_t i = 0; i < headings.size(); ++i) {
        const Heading& h = headings[i];
        if (h.Level == 3 && !sub) {
            fprintf(html, "<ul>\n");
            sub = true;
        } else if (h.Level == 2 && sub) {
            fprintf(html, "</ul></li>\n");
            sub = false;
        } else if (i > 0) {
            fprintf(html, "</li>\n");
        }
        fprintf(html, "<li><a href=\"#%s\">%s</a>", h.Id.c_str(), Html(h.Text).c_str());
        fprintf(text, "%s%s\n", h.Level == 3 ? "    " : "  ", Plain(h.Text).c_str());
    }
    if (!headings.empty())
        fprintf(html, sub ? "</li>\n</ul></li>\n" : "</li>\n");
    fprintf(html, "</ul>\n</nav>\n");
    fprintf(text, "\n");
}

void WriteTable(FILE* html, FILE* text, const FactTable& t)
{
    fprintf(html, "<table>\n<tr>");
    for (const std::string& h : t.Head)
        fprintf(html, "<th>%s</th>", Html(h, false).c_str());
    fprintf(html, "</tr>\n");
    for (const std::vector<std::string>& row : t.Rows) {
        fprintf(html, "<tr>");
        for (const std::string& cell : row)
            fprintf(html, "<td>%s</td>", Html(cell, false).c_str());
        fprintf(html, "</tr>\n");
    }
    fprintf(html, "</table>\n");
    // The plain text: one item a row, each cell after its column's name.
    for (const std::vector<std::string>& row : t.Rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            if (c > 0 && c < t.Head.size() && !t.Head[c].empty())
                line += "; " + t.Head[c] + ": ";
            else if (c > 0)
                line += ": ";
            line += row[c];
        }
        Wrap(text, line, "  - ", "    ");
    }
    fprintf(text, "\n");
}

// Lines shown as they are: preformatted in the page, indented in the text.
void WriteVerbatim(FILE* html, FILE* text, const std::vector<std::string>& lines)
{
    fprintf(html, "<pre>");
    for (const std::string& s : lines) {
        fprintf(html, "%s\n", Html(s, false).c_str());
        fprintf(text, "    %s\n", s.c_str());
    }
    fprintf(html, "</pre>\n");
    fprintf(text, "\n");
}

int Build(const char* source, const char* sample, const char* outDir, const char* imagesDir)
{
    std::vector<std::string> lines, sampleLines;
    if (!ReadLines(source, &lines) || !ReadLines(sample, &sampleLines)) {
        fprintf(stderr, "guidegen: cannot read %s or %s\n", source, sample);
        return 2;
    }
    std::string htmlPath = std::string(outDir) + "/guide.html", textPath = std::string(outDir) + "/guide.txt";
    Writer w;
    w.html = fopen(htmlPath.c_str(), "w");
    w.text = fopen(textPath.c_str(), "w");
    if (!w.html || !w.text) {
        fprintf(stderr, "guidegen: cannot write into %s\n", outDir);
        return 2;
    }
    int failures = 0;
    std::string title = lines.empty() ? "" : Plain(lines[0].substr(lines[0].find(' ') + 1));
    fprintf(w.html,
            "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"windows-1252\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>%s</title>\n"
            "<style>body{font-family:Tahoma,Arial,sans-serif;max-width:60em;margin:1em auto;padding:0 1em;"
            "overflow-wrap:break-word}"
            "blockquote.message{border-left:4px solid #0000c0;background:#f0f0f8;margin:.5em 0;padding:.4em .8em;"
            "font-family:'MS Sans Serif',Tahoma,sans-serif}figure{margin:1em 0}figcaption{font-style:italic}"
            "img{max-width:100%%;height:auto}"
            "pre{background:#f4f4f4;padding:.5em;white-space:pre-wrap;overflow-wrap:anywhere}"
            "code{overflow-wrap:anywhere}table{border-collapse:collapse;margin:.5em 0}"
            "th,td{border:1px solid #c0c0c0;padding:.2em .5em;text-align:left;vertical-align:top}"
            "nav.contents ul{padding-left:1.5em}</style>\n</head>\n<body>\n",
            Html(title).c_str());
    std::vector<Heading> headings = Headings(lines);
    size_t nextHeading = 0;
    for (size_t n = 0; n < lines.size(); ++n) {
        const std::string& l = lines[n];
        if (l.compare(0, 4, "    ") == 0 && w.paragraph.empty() && !w.inList) {
            if (!w.inPre) {
                fprintf(w.html, "<pre>");
                w.inPre = true;
            }
            fprintf(w.html, "%s\n", Html(Plain(l.substr(4)), false).c_str());
            fprintf(w.text, "    %s\n", Plain(l.substr(4)).c_str());
            continue;
        }
        if (l.empty()) {
            w.EndParagraph();
            continue;
        }
        if (l[0] == '#') {
            w.EndParagraph();
            size_t level = l.find(' ');
            std::string head = Plain(l.substr(level + 1));
            std::string id;
            if (nextHeading < headings.size() && headings[nextHeading].Text == l.substr(level + 1) &&
                headings[nextHeading].Level == level)
                id = " id=\"" + headings[nextHeading++].Id + "\"";
            fprintf(w.html, "<h%zu%s>%s</h%zu>\n", level, id.c_str(), Html(l.substr(level + 1)).c_str(), level);
            fprintf(w.text, "%s\n%s\n\n", head.c_str(),
                    std::string(head.size(),
                                level == 1       ? '='
                                    : level == 2 ? '-'
                                                 : '.')
                        .c_str());
            // The contents follow the title.
            if (level == 1 && n == 0)
                WriteContents(w.html, w.text, headings);
        } else if (l.compare(0, 2, "- ") == 0) {
            if (!w.paragraph.empty() || w.inPre)
                w.EndParagraph();
            if (!w.inList) {
                fprintf(w.html, "<ul>\n");
                w.inList = true;
            }
            // Continuation lines of an item are indented by two blanks.
            std::string item = l.substr(2);
            while (n + 1 < lines.size() && lines[n + 1].compare(0, 2, "  ") == 0 &&
                   lines[n + 1].compare(0, 4, "    ") != 0)
                item += " " + Trim(lines[++n]);
            fprintf(w.html, "<li>%s</li>\n", Html(item).c_str());
            Wrap(w.text, Plain(item), "  - ", "    ");
        } else if (l.compare(0, 6, "@shot ") == 0) {
            w.EndParagraph();
            size_t sp = l.find(' ', 6);
            std::string name = l.substr(6, sp == std::string::npos ? std::string::npos : sp - 6);
            std::string caption = sp == std::string::npos ? name : l.substr(sp + 1);
            std::string file = "images/" + name + ".png";
            if (imagesDir) {
                std::string there = std::string(imagesDir) + "/" + name + ".png";
                FILE* f = fopen(there.c_str(), "rb");
                if (!f) {
                    printf("%s:%zu: no picture %s\n", source, n + 1, there.c_str());
                    ++failures;
                } else {
                    fclose(f);
                }
            }
            fprintf(w.html, "<figure><img src=\"%s\" alt=\"%s\"><figcaption>%s</figcaption></figure>\n", file.c_str(),
                    Html(caption).c_str(), Html(caption).c_str());
            fprintf(w.text, "[Picture: %s, %s]\n\n", Plain(caption).c_str(), file.c_str());
        } else if (l.compare(0, 9, "@message ") == 0) {
            w.EndParagraph();
            std::string msg;
            if (!MessageText(l, &msg)) {
                printf("%s:%zu: no string-table text %s\n", source, n + 1, l.c_str() + 9);
                ++failures;
                continue;
            }
            fprintf(w.html, "<blockquote class=\"message\">%s</blockquote>\n", Html(msg, false).c_str());
            size_t start = 0;
            while (start <= msg.size()) {
                size_t end = msg.find('\n', start);
                std::string part = msg.substr(start, end == std::string::npos ? std::string::npos : end - start);
                Wrap(w.text, part, "  | ", "  | ");
                if (end == std::string::npos)
                    break;
                start = end + 1;
            }
            fprintf(w.text, "\n");
        } else if (l.compare(0, 9, "@include ") == 0) {
            w.EndParagraph();
            std::vector<std::string> included;
            if (!ReadInclude(Trim(l.substr(9)), &included)) {
                printf("%s:%zu: nothing to include for %s (--include NAME=FILE)\n", source, n + 1, l.c_str() + 9);
                ++failures;
                continue;
            }
            WriteVerbatim(w.html, w.text, included);
        } else if (l.compare(0, 7, "@table ") == 0) {
            w.EndParagraph();
            FactTable table;
            if (!MakeFactTable(Trim(l.substr(7)), &table)) {
                printf("%s:%zu: no table %s\n", source, n + 1, l.c_str() + 7);
                ++failures;
                continue;
            }
            WriteTable(w.html, w.text, table);
        } else if (l == "@sample") {
            w.EndParagraph();
            WriteVerbatim(w.html, w.text, sampleLines);
        } else {
            if (w.inList || w.inPre)
                w.EndParagraph();
            w.paragraph += (w.paragraph.empty() ? "" : " ") + Trim(l);
        }
    }
    w.EndParagraph();
    fprintf(w.html, "</body>\n</html>\n");
    fclose(w.html);
    fclose(w.text);
    return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    // --include NAME=FILE options may follow the build arguments.
    while (argc > 2 && strcmp(argv[argc - 2], "--include") == 0 && strchr(argv[argc - 1], '=')) {
        const char* pair = argv[argc - 1];
        IncludeNames.push_back(std::string(pair, strchr(pair, '=')));
        IncludeFiles.push_back(strchr(pair, '=') + 1);
        argc -= 2;
    }
    if (argc == 4 && strcmp(argv[1], "check") == 0) {
        if (!ReadStringTable(argv[3])) {
            fprintf(stderr, "guidegen: cannot read %s\n", argv[3]);
            return 2;
        }
        return Check(argv[2]);
    }
    if ((argc == 7 || argc == 8) && strcmp(argv[1], "build") == 0) {
        if (!ReadStringTable(argv[3])) {
            fprintf(stderr, "guidegen: cannot read %s\n", argv[3]);
            return 2;
        }
        Version = argv[5];
        int checked = Check(argv[2]);
        int built = Build(argv[2], argv[4], argv[6], argc == 8 ? argv[7] : 0);
        return checked ? checked : built;
    }
    fprintf(stderr,
            "usage: guidegen check SOURCE TEXTS | guidegen build SOURCE TEXTS SAMPLE VERSION OUT_DIR [IMAGES_DIR]"
            " [--include NAME=FILE]...\n");
    return 2;
}
