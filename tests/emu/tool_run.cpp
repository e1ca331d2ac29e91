#include "tool_run.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

std::string Folder()
{
    static std::string folder;
    if (folder.empty()) {
        char pattern[] = "/tmp/pelmixctl_test_XXXXXX";
        folder = mkdtemp(pattern);
    }
    return folder;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteAll(const std::string& path, const std::string& data)
{
    std::ofstream file(path, std::ios::binary);
    file << data;
}

RunResult RunProgram(const std::string& program, const std::string& arguments)
{
    std::string err = Folder() + "/stderr.txt";
    std::string command = program + " " + arguments + " 2>" + err;
    RunResult result = {-1, "", ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0)
        result.Out.append(chunk, got);
    int status = pclose(pipe);
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.Err = ReadAll(err);
    return result;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::stringstream stream(text);
    std::string line;
    while (std::getline(stream, line))
        lines.push_back(line);
    return lines;
}

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}
