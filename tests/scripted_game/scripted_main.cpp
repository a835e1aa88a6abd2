// The game with scripted input (scripted_input.h): the program tests' player.
#include "app/real_main.h"
#include "tests/scripted_game/scripted_input.h"

#include <string>

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    installScriptedInput();
    return programEntry(commandLine.c_str());
}
