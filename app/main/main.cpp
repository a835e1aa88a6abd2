// The process entry of the game.
#include "app/real_main.h"

#include <string>

int main(int argc, char** argv) {
    // The command line is passed on as one text, as the system hands it to a program.
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    return programEntry(commandLine.c_str());
}
