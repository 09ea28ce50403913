// tarnivo-batch FILE: runs a batch file written by Tarnivo in the current folder.
#include "BatchFile.h"

#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: tarnivo-batch FILE\n";
        return 2;
    }
    std::ostringstream text;
    {
        // Read and closed before anything runs: the programs must not inherit the file.
        std::ifstream file(argv[1], std::ios::binary);
        if (!file) {
            std::cerr << "tarnivo-batch: cannot read " << argv[1] << "\n";
            return 2;
        }
        text << file.rdbuf();
    }
    return tarnivo::RunBatchCommands(tarnivo::ParseBatchText(text.str()));
}
