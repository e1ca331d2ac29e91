// Running a command-line tool from a test: its exit code and output, and
// the files it reads and writes.
#ifndef TESTS_EMU_TOOL_RUN_H
#define TESTS_EMU_TOOL_RUN_H

#include <string>
#include <vector>

struct RunResult {
    int ExitCode;
    std::string Out;
    std::string Err;
};

// A temporary folder for this test program.
std::string Folder();
std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& data);
// Runs the program with arguments through the shell (so redirections work).
RunResult RunProgram(const std::string& program, const std::string& arguments);
std::vector<std::string> Lines(const std::string& text);
bool Has(const std::string& text, const std::string& part);

#endif
