#include "cli/Tesser.h"

#include <clocale>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // Dates and times in stamps follow the user's locale.
    std::setlocale(LC_ALL, "");
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return tesser::cli::RunTesser(arguments);
}
