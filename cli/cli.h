// The command-line converter: parses its arguments and runs the program's pipeline.
#pragma once

#include <string>
#include <vector>

// Runs one command; returns the exit status (0 success, 1 failed, 2 usage error).
int RunCli(const std::vector<std::string>& arguments);
