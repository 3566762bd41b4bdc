// depthwright-batch: the headless pipeline of Depthwright 2D.
#include "batch/BatchCommands.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        batch::PrintUsage(std::cerr);
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        // "help COMMAND" is "COMMAND --help"
        if (args.size() > 1 && batch::PrintUsage(std::cout, args[1]))
            return 0;
        batch::PrintUsage(std::cout);
        return 0;
    }
    std::string command = args[0];
    args.erase(args.begin());
    for (const std::string &a : args)
        if (a == "--help" || a == "-h") {
            if (!batch::PrintUsage(std::cout, command))
                break; // an unknown command is reported below
            return 0;
        }
    try {
        if (command == "info")
            return batch::RunInfo(args, std::cout, std::cerr);
        if (command == "convert")
            return batch::RunConvert(args, std::cout, std::cerr);
        if (command == "chart")
            return batch::RunChart(args, std::cout, std::cerr);
        if (command == "render")
            return batch::RunRender(args, std::cout, std::cerr);
        if (command == "formats")
            return batch::RunFormats(args, std::cout, std::cerr);
    } catch (const std::exception &e) {
        std::cerr << "depthwright-batch " << command << ": " << e.what() << "\n";
        return 1;
    }
    std::cerr << "depthwright-batch: unknown command " << command
              << " (allowed: info, convert, render, chart, formats)\n";
    return 2;
}
